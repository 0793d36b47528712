// Scratch storage for whole scanned pages: an unnamed file mapping over a temporary file, reached window by window
// so a page never has to fit in the address space. Private to the process; used by one thread at a time.
#pragma once

#include "platform/base/windows.h"
#include "platform/base/cstring.h"

class Data_MapFile {
public:
    Data_MapFile() = default;
    // Closes the section, then deletes the backing file (every view must have been released).
    ~Data_MapFile();
    Data_MapFile(const Data_MapFile&) = delete;
    Data_MapFile& operator=(const Data_MapFile&) = delete;

    // Creates the backing file (a fresh temporary one when `path` is empty) and a section of `size` bytes over it.
    // 0 = success, 1 = failure.
    int MapFile_Create(unsigned size, CString path);
    // A fresh temporary file name with the prefix "Kor" (the file is created empty). 0 = success, 2 = failure.
    int MakeTempFileName(CString& path);
    // Maps bytes [offset, offset + length) for reading and writing. Answers the view to release later and sets *data
    // to the address of byte `offset`; null (and *data untouched) for an empty window, one beyond the section, or a
    // failed map.
    void* GetDataHandle(unsigned offset, unsigned length, BYTE** data);
    void ReleaseDataHandle(void* view);

    unsigned GetSize() const { return m_nSize; }
    const CString& GetPath() const { return m_strPath; }
    bool IsCreated() const { return m_hMapping != nullptr; }

private:
    HANDLE m_hMapping = nullptr;
    CString m_strPath;
    unsigned m_nSize = 0;
};
