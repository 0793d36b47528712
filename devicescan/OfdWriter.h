// The OFD writer: the page JPEGs of a several-page scan packed into one OFD document (GB/T 33190-2016), a zip of
// XML files and the page images. The XML tree and copies of the page JPEGs are built in a fresh work folder under the
// temporary folder and zipped beside it by minizip (loaded at run time as "zlibwapi.dll"); the archive is then moved
// to the output path.
//
//   zip entry                         content
//   Doc_0/                            document folder
//   Doc_0/Document.xml                pages and MaxUnitID; page area always 0 0 210 297
//   Doc_0/DocumentRes.xml             one MultiMedia per image (IDs 1..N)
//   Doc_0/Pages/, Doc_0/Pages/Page_i/ page folders, i from 0
//   Doc_0/Pages/Page_i/Content.xml    the page's box in mm, one layer (2N+1+2i) holding one image (2N+2+2i)
//   Doc_0/Res/, Doc_0/Res/<name>      the page JPEGs under their own file names
//   OFD.xml                           the entry document
// Page IDs are N+1..2N and MaxUnitID is 4N. Every entry, the page images included, is deflated (method 8) at the
// default level (-1).
#pragma once

#include "platform/base/cstring.h"
#include "platform/base/windows.h"

#include <minizip/zip.h>

#include <memory>
#include <string>
#include <vector>

class OfdWriter {
public:
    OfdWriter();
    ~OfdWriter();
    OfdWriter(const OfdWriter&) = delete;
    OfdWriter& operator=(const OfdWriter&) = delete;

    // 1 when the document was written to `output`, else 0. On success the page JPEGs are deleted; on failure
    // nothing reaches `output` and the page JPEGs stay. `widths` and `heights` (pixels) need an entry per page.
    int SaveAsOfd(const std::vector<CString>& pages, const std::vector<int>& widths, const std::vector<int>& heights,
                  int dpi, const WCHAR* output);

    void LoadZipLibrary();
    bool WriteOfdXml(const std::u16string& workName);
    bool WriteDocumentXml(const std::u16string& docFolder);
    bool CreatePageFolders(const std::u16string& pagesFolder, const std::vector<int>& widths,
                           const std::vector<int>& heights);
    bool WritePageContent(const std::u16string& pageFolder, int page, float widthMm, float heightMm);

    // The page box in millimetres as the XML writes it ("%0.5f" of a single-precision value).
    static std::string FormatMm(float mm);
    static float PixelsToMm(int pixels, int dpi);
    // Deletes everything below `folder` (not the folder itself); failures are ignored.
    static void DeleteFolderTree(const std::u16string& folder);

private:
    bool CreateResFolder(const std::u16string& resFolder);
    bool ZipFileToOfd();
    bool AddFileToZip(zipFile zip, const std::u16string& entryName, const std::u16string& sourcePath);

    using ZipOpenFn = zipFile (*)(const char* path, int append);
    using ZipCloseFn = int (*)(zipFile file, const char* comment);
    using ZipOpenNewFileInZipFn = int (*)(zipFile file, const char* name, const zip_fileinfo* info,
                                          const void* localExtra, uInt localExtraSize, const void* globalExtra,
                                          uInt globalExtraSize, const char* comment, int method, int level);
    using ZipWriteInFileInZipFn = int (*)(zipFile file, const void* buffer, unsigned length);
    using ZipCloseFileInZipFn = int (*)(zipFile file);

    std::u16string m_strTempBase; // the temporary folder as GetTempPathW gives it
    int m_nNextUnitID = 1;
    std::vector<std::u16string> m_arrImageNames;
    std::vector<std::u16string> m_arrPagePaths;
    int m_nResolution = 0;
    HMODULE m_hZipLib = nullptr;
    ZipOpenFn m_zipOpen = nullptr;
    ZipCloseFn m_zipClose = nullptr;
    ZipOpenNewFileInZipFn m_zipOpenNewFileInZip = nullptr;
    ZipWriteInFileInZipFn m_zipWriteInFileInZip = nullptr;
    ZipCloseFileInZipFn m_zipCloseFileInZip = nullptr;

    std::unique_ptr<BYTE[]> m_buffer; // one 10 MiB block for streaming the page images, made on first use
    std::u16string m_workFolder;      // temporary base + "\" + the work folder's name
    std::u16string m_archivePath;     // the work folder + ".ofd"
};

// The part of a path after its last backslash (the whole path when it has none).
std::u16string GetFileNameFromPath(const std::u16string& path);
