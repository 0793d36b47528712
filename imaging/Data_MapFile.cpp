#include "imaging/Data_MapFile.h"

#include <cstdint>

namespace {
constexpr DWORD kTempPathBufferSize = 256;
}

Data_MapFile::~Data_MapFile() {
    if (m_hMapping) {
        CloseHandle(m_hMapping);
        m_hMapping = nullptr;
    }
    if (!m_strPath.IsEmpty()) {
        DeleteFileW(m_strPath);
        m_strPath.Empty();
    }
}

int Data_MapFile::MakeTempFileName(CString& path) {
    WCHAR folder[kTempPathBufferSize] = {};
    DWORD length = GetTempPathW(kTempPathBufferSize, folder);
    // A result as large as the buffer is the size it would need: such a path does not fit and is not used.
    if (length == 0 || length >= kTempPathBufferSize)
        return 2;
    WCHAR name[MAX_PATH] = {};
    if (GetTempFileNameW(folder, u"Kor", 0, name) == 0)
        return 2;
    path = name;
    return 0;
}

int Data_MapFile::MapFile_Create(unsigned size, CString path) {
    if (path.IsEmpty())
        MakeTempFileName(path); // an empty path then fails at CreateFileW below
    CString line;
    line.Format(u"Data_MapFile::MapFile_Create : FileName:(%s)", path.GetString());
    OutputDebugStringW(line);

    HANDLE file = path.IsEmpty() ? INVALID_HANDLE_VALUE
                                 : CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        line.Format(u"Data_MapFile::MapFile_Create: CreateFile error :(%d)", static_cast<int>(GetLastError()));
        OutputDebugStringW(line);
        return 1;
    }
    m_strPath = path;
    m_nSize = size;
    m_hMapping = CreateFileMappingW(file, nullptr, PAGE_READWRITE, 0, size, nullptr);
    CloseHandle(file);
    if (!m_hMapping) {
        line.Format(u"CreateFileMapping error :(%d)", static_cast<int>(GetLastError()));
        OutputDebugStringW(line);
        return 1;
    }
    return 0;
}

void* Data_MapFile::GetDataHandle(unsigned offset, unsigned length, BYTE** data) {
    // In 64 bits, so an offset and a length that add up beyond 4 GiB cannot wrap into the section.
    // An empty window maps nothing (a zero byte count would stand for the whole rest of the section).
    if (static_cast<std::uint64_t>(m_nSize) < static_cast<std::uint64_t>(offset) + length || length == 0 ||
        !m_hMapping) {
        OutputDebugStringW(u"GetDataHandle : size error");
        return nullptr;
    }
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    const unsigned granularity = info.dwAllocationGranularity ? info.dwAllocationGranularity : 65536;
    const unsigned base = offset - offset % granularity;
    const SIZE_T bytes = static_cast<SIZE_T>(offset - base) + length;
    void* view = MapViewOfFile(m_hMapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, base, bytes);
    if (!view) {
        CString line;
        line.Format(u"MapViewOfFile error :(%d)", static_cast<int>(GetLastError()));
        OutputDebugStringW(line);
        return nullptr;
    }
    if (data)
        *data = static_cast<BYTE*>(view) + (offset - base);
    return view;
}

void Data_MapFile::ReleaseDataHandle(void* view) {
    if (view)
        UnmapViewOfFile(view);
}
