#include "devicescan/OfdWriter.h"

#include "platform/base/path.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

constexpr char kOfdNamespace[] = "http://www.ofdspec.org/2016";
constexpr size_t kZipBlock = 10485760; // page images are streamed into the archive 10 MiB at a time

void Debug(const char* text) {
    OutputDebugStringA(text);
}
void Debug(const std::u16string& text) {
    OutputDebugStringW(text.c_str());
}

std::u16string Wide(const std::string& text) {
    return platform::ToUtf16(text);
}

std::u16string Declaration() {
    return u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
}

std::u16string RootOpen(const char* element, const char* more = "") {
    return Wide(std::string("<") + element + " xmlns:ofd=\"" + kOfdNamespace + "\"" + more + ">");
}

void ReplaceAll(std::u16string& text, std::u16string_view what, std::u16string_view with) {
    for (size_t at = text.find(what); at != std::u16string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

// Text for XML content and attribute values: the five characters with a meaning in XML as entities.
std::u16string EscapeXml(std::u16string_view text) {
    std::u16string escaped;
    escaped.reserve(text.size());
    for (char16_t c : text) {
        switch (c) {
        case u'&':
            escaped += u"&amp;";
            break;
        case u'<':
            escaped += u"&lt;";
            break;
        case u'>':
            escaped += u"&gt;";
            break;
        case u'"':
            escaped += u"&quot;";
            break;
        case u'\'':
            escaped += u"&apos;";
            break;
        default:
            escaped += c;
            break;
        }
    }
    return escaped;
}

// Entry points have their own signatures; FARPROC is only the carrier.
template <typename F> F Bind(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

std::u16string Int(int value) {
    return Wide(std::to_string(value));
}

// Converts to the ANSI code page into a buffer of MAX_PATH bytes; false when it does not fit.
bool ToAnsi(std::u16string_view text, char (&out)[MAX_PATH]) {
    if (text.empty()) {
        out[0] = 0;
        return true;
    }
    int n =
        WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out, MAX_PATH - 1, nullptr, nullptr);
    if (n <= 0)
        return false;
    out[n] = 0;
    return true;
}

// A path the C runtime and minizip can open (they do not know DOS paths here), within MAX_PATH bytes.
bool ToCrtPath(const std::u16string& dosPath, char (&out)[MAX_PATH]) {
    std::string host = platform::path::ToHostPath(dosPath);
    if (host.empty() || host.size() >= MAX_PATH)
        return false;
    std::memcpy(out, host.c_str(), host.size() + 1);
    return true;
}

bool WriteFileText(const std::u16string& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool good =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
    return CloseHandle(file) && good;
}

// The generated XML is wide text written in the ANSI code page, without a byte-order mark or terminating zero.
bool WriteXml(const std::u16string& path, const std::u16string& text) {
    return WriteFileText(path, platform::ToUtf8(text));
}

} // namespace

std::u16string GetFileNameFromPath(const std::u16string& path) {
    size_t slash = path.rfind(u'\\');
    return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

float OfdWriter::PixelsToMm(int pixels, int dpi) {
    return static_cast<float>(static_cast<float>(pixels) / static_cast<float>(dpi) * 25.4);
}

std::string OfdWriter::FormatMm(float mm) {
    char text[64];
    auto result = std::to_chars(text, text + sizeof text, static_cast<double>(mm), std::chars_format::fixed, 5);
    return std::string(text, result.ptr);
}

OfdWriter::OfdWriter() {
    LoadZipLibrary();
}

OfdWriter::~OfdWriter() {
    if (m_hZipLib)
        FreeLibrary(m_hZipLib);
}

void OfdWriter::LoadZipLibrary() {
    WCHAR path[MAX_PATH] = {};
    std::u16string library = u"zlibwapi.dll";
    DWORD n = GetModuleFileNameW(nullptr, path, 256);
    if (n > 0 && n < 256) {
        std::u16string program(path, n);
        size_t slash = program.rfind(u'\\');
        if (slash != std::u16string::npos)
            library = program.substr(0, slash + 1) + library;
    }
    m_hZipLib = LoadLibraryW(library.c_str());
    if (!m_hZipLib) {
        Debug("load zlibwapi.dll fail!");
        return;
    }
    m_zipOpen = Bind<ZipOpenFn>(m_hZipLib, "zipOpen");
    m_zipClose = Bind<ZipCloseFn>(m_hZipLib, "zipClose");
    m_zipOpenNewFileInZip = Bind<ZipOpenNewFileInZipFn>(m_hZipLib, "zipOpenNewFileInZip");
    m_zipWriteInFileInZip = Bind<ZipWriteInFileInZipFn>(m_hZipLib, "zipWriteInFileInZip");
    m_zipCloseFileInZip = Bind<ZipCloseFileInZipFn>(m_hZipLib, "zipCloseFileInZip");
    if (!m_zipOpen || !m_zipClose || !m_zipOpenNewFileInZip || !m_zipWriteInFileInZip || !m_zipCloseFileInZip)
        Debug("load zlibwapi.dll fail! 2");
}

bool OfdWriter::WriteOfdXml(const std::u16string& workName) {
    WCHAR temp[MAX_PATH] = {};
    DWORD n = GetTempPathW(MAX_PATH, temp);
    if (n == 0 || n >= MAX_PATH)
        return false;
    m_strTempBase = temp;
    // A fresh folder of our own: a left-over of an earlier run or another process's work is never reused.
    static LONG counter = 0;
    std::u16string folder = m_strTempBase + u"\\" + workName;
    bool created = CreateDirectoryW(folder.c_str(), nullptr);
    for (int attempt = 0; !created && attempt < 100; ++attempt) {
        folder = m_strTempBase + u"\\" + workName +
                 platform::Format(u"_%lu_%ld", static_cast<unsigned long>(GetCurrentProcessId()),
                                  static_cast<long>(InterlockedIncrement(&counter)));
        created = CreateDirectoryW(folder.c_str(), nullptr);
    }
    if (!created)
        return false;
    m_workFolder = folder;
    m_archivePath = folder + u".ofd";
    Debug(folder);
    std::string xml = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><ofd:OFD xmlns:ofd=\"") + kOfdNamespace +
                      "\" Version=\"1.1\" DocType=\"OFD\"><ofd:DocBody><ofd:DocInfo><ofd:Creator>GruvoOFDCreator"
                      "</ofd:Creator><ofd:CreatorVersion>1.0.9167</ofd:CreatorVersion></ofd:DocInfo><ofd:DocRoot>"
                      "Doc_0/Document.xml</ofd:DocRoot></ofd:DocBody></ofd:OFD>";
    return WriteFileText(folder + u"\\OFD.xml", xml);
}

bool OfdWriter::WriteDocumentXml(const std::u16string& docFolder) {
    if (!CreateDirectoryW(docFolder.c_str(), nullptr))
        return false;
    m_nNextUnitID = 1;
    int pages = static_cast<int>(m_arrImageNames.size());
    std::u16string multiMedia;
    for (int i = 0; i < pages; ++i)
        multiMedia += u"<ofd:MultiMedia ID=\"" + Int(m_nNextUnitID++) +
                      u"\" Type=\"Image\" Format=\"JPG\"><ofd:MediaFile>" + EscapeXml(m_arrImageNames[i]) +
                      u"</ofd:MediaFile></ofd:MultiMedia>";
    std::u16string pageList;
    for (int i = 0; i < pages; ++i)
        pageList +=
            u"<ofd:Page ID=\"" + Int(m_nNextUnitID++) + u"\" BaseLoc=\"Pages/Page_" + Int(i) + u"/Content.xml\"/>";
    int maxUnitId = m_nNextUnitID + 2 * pages - 1;

    std::u16string res = Declaration() + RootOpen("ofd:Res", " BaseLoc=\"Res\"") +
                         u"<ofd:MultiMedias><XXXXMultiMediaXXXX></ofd:MultiMedias></ofd:Res>";
    ReplaceAll(res, u"<XXXXMultiMediaXXXX>", multiMedia);
    std::u16string resPath = docFolder + u"\\DocumentRes.xml";
    if (!WriteXml(resPath, res)) {
        Debug(resPath);
        Debug("open false");
        return false;
    }
    std::u16string doc = Declaration() + RootOpen("ofd:Document") +
                         u"<ofd:CommonData><XXXXMaxUnitIDXXXX><ofd:PageArea><ofd:PhysicalBox>0 0 WidthXXXX HeightXXXX"
                         u"</ofd:PhysicalBox></ofd:PageArea><ofd:DocumentRes>DocumentRes.xml</ofd:DocumentRes>"
                         u"</ofd:CommonData><ofd:Pages><XXXXPageIDXXXX></ofd:Pages></ofd:Document>";
    ReplaceAll(doc, u"<XXXXMaxUnitIDXXXX>", u"<ofd:MaxUnitID>" + Int(maxUnitId) + u"</ofd:MaxUnitID>");
    ReplaceAll(doc, u"<XXXXPageIDXXXX>", pageList);
    ReplaceAll(doc, u"WidthXXXX", u"210");
    ReplaceAll(doc, u"HeightXXXX", u"297");
    return WriteXml(docFolder + u"\\Document.xml", doc);
}

// Each page JPEG is copied into Res under its own file name; the archive takes the images from there.
bool OfdWriter::CreateResFolder(const std::u16string& resFolder) {
    Debug("CreateResFolder");
    if (!CreateDirectoryW(resFolder.c_str(), nullptr))
        return false;
    for (size_t i = 0; i < m_arrPagePaths.size(); ++i) {
        std::u16string target = resFolder + u"\\" + m_arrImageNames[i];
        Debug(m_arrPagePaths[i]);
        Debug(target);
        if (!CopyFileW(m_arrPagePaths[i].c_str(), target.c_str(), FALSE))
            return false;
    }
    return true;
}

bool OfdWriter::CreatePageFolders(const std::u16string& pagesFolder, const std::vector<int>& widths,
                                  const std::vector<int>& heights) {
    if (!CreateDirectoryW(pagesFolder.c_str(), nullptr))
        return false;
    for (size_t i = 0; i < m_arrPagePaths.size(); ++i) {
        float widthMm = PixelsToMm(widths[i], m_nResolution);
        float heightMm = PixelsToMm(heights[i], m_nResolution);
        std::u16string folder = pagesFolder + u"/Page_" + Int(static_cast<int>(i));
        if (!WritePageContent(folder, static_cast<int>(i), widthMm, heightMm))
            return false;
    }
    return true;
}

bool OfdWriter::WritePageContent(const std::u16string& pageFolder, int page, float widthMm, float heightMm) {
    if (!CreateDirectoryW(pageFolder.c_str(), nullptr))
        return false;
    int layerId = m_nNextUnitID++;
    int objectId = m_nNextUnitID++;
    std::u16string xml = Declaration() + RootOpen("ofd:Page") +
                         u"<ofd:Area><ofd:PhysicalBox>0 0 WidthXXXX HeightXXXX</ofd:PhysicalBox></ofd:Area>"
                         u"<ofd:Content><ofd:Layer ID=\"LayerIDXXXX\" Type=\"Body\"><ofd:ImageObject ID=\"ObjIDXXXX\" "
                         u"CTM=\"WidthXXXX 0 0 HeightXXXX 0 0\" Boundary=\"0 0 WidthXXXX HeightXXXX\" ResourceIDXXXX/>"
                         u"</ofd:Layer></ofd:Content></ofd:Page>";
    ReplaceAll(xml, u"ResourceIDXXXX", u"ResourceID=\"" + Int(page + 1) + u"\"");
    ReplaceAll(xml, u"WidthXXXX", Wide(FormatMm(widthMm)));
    ReplaceAll(xml, u"HeightXXXX", Wide(FormatMm(heightMm)));
    ReplaceAll(xml, u"LayerIDXXXX", Int(layerId));
    ReplaceAll(xml, u"ObjIDXXXX", Int(objectId));
    return WriteXml(pageFolder + u"\\Content.xml", xml);
}

bool OfdWriter::AddFileToZip(zipFile zip, const std::u16string& entryName, const std::u16string& sourcePath) {
    Debug("AddFileToZip");
    Debug(entryName);
    char name[MAX_PATH];
    char source[MAX_PATH];
    if (!ToAnsi(entryName, name) || (!sourcePath.empty() && !ToCrtPath(sourcePath, source)))
        return false;
    zip_fileinfo info{};
    int err =
        m_zipOpenNewFileInZip(zip, name, &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION);
    if (err != ZIP_OK) {
        Debug("nErr != ZIP_OK");
        return false;
    }
    if (sourcePath.empty())
        return m_zipCloseFileInZip(zip) == ZIP_OK;
    FILE* src = std::fopen(source, "rb");
    if (!src) {
        Debug("NULL == srcfp");
        m_zipCloseFileInZip(zip);
        return false;
    }
    if (!m_buffer)
        m_buffer.reset(new (std::nothrow) BYTE[kZipBlock]);
    bool good = m_buffer != nullptr;
    while (good) {
        size_t got = std::fread(m_buffer.get(), 1, kZipBlock, src);
        if (got > 0)
            good = m_zipWriteInFileInZip(zip, m_buffer.get(), static_cast<unsigned>(got)) == ZIP_OK;
        if (got < kZipBlock) {
            good = good && !std::ferror(src);
            break;
        }
    }
    std::fclose(src);
    good = m_zipCloseFileInZip(zip) == ZIP_OK && good;
    Debug(sourcePath);
    return good;
}

bool OfdWriter::ZipFileToOfd() {
    Debug("ZipFileToOfd");
    char archive[MAX_PATH];
    zipFile zip = ToCrtPath(m_archivePath, archive) ? m_zipOpen(archive, APPEND_STATUS_CREATE) : nullptr;
    if (!zip) {
        Debug("zFile == NULL");
        Debug(m_archivePath);
        return false;
    }
    struct ZipEntry {
        std::u16string name;
        std::u16string source; // empty for a folder
    };
    // Each file entry is read from the work folder under its own name.
    auto file = [this](const std::u16string& name) {
        std::u16string source = m_workFolder;
        source += u'/';
        source += name;
        return ZipEntry{name, source};
    };
    std::vector<ZipEntry> entries = {
        {u"Doc_0/", u""},
        file(u"Doc_0/Document.xml"),
        file(u"Doc_0/DocumentRes.xml"),
        {u"Doc_0/Pages/", u""},
    };
    for (size_t i = 0; i < m_arrPagePaths.size(); ++i) {
        std::u16string page = u"Doc_0/Pages/Page_" + Int(static_cast<int>(i)) + u"/";
        entries.push_back({page, u""});
        entries.push_back(file(page + u"Content.xml"));
    }
    entries.push_back({u"Doc_0/Res/", u""});
    for (const std::u16string& image : m_arrImageNames)
        entries.push_back(file(u"Doc_0/Res/" + image));
    entries.push_back(file(u"OFD.xml"));

    bool good = true;
    for (const ZipEntry& entry : entries) {
        if (!AddFileToZip(zip, entry.name, entry.source)) {
            good = false;
            break;
        }
    }
    // A partly written archive is closed and then discarded with the rest of the work.
    good = m_zipClose(zip, nullptr) == ZIP_OK && good;
    return good;
}

void OfdWriter::DeleteFolderTree(const std::u16string& folder) {
    WIN32_FIND_DATAW data{};
    HANDLE find = FindFirstFileW((folder + u"/*.*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        std::u16string name = data.cFileName;
        if (name == u"." || name == u"..")
            continue;
        std::u16string path = folder + u"/" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            DeleteFolderTree(path);
            RemoveDirectoryW(path.c_str());
        } else {
            DeleteFileW(path.c_str());
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

int OfdWriter::SaveAsOfd(const std::vector<CString>& pages, const std::vector<int>& widths,
                         const std::vector<int>& heights, int dpi, const WCHAR* output) {
    if (!m_hZipLib || !m_zipOpen || !m_zipClose || !m_zipOpenNewFileInZip || !m_zipWriteInFileInZip ||
        !m_zipCloseFileInZip)
        return 0;
    if (pages.empty() || !output || widths.size() < pages.size() || heights.size() < pages.size() || dpi <= 0)
        return 0;
    m_arrPagePaths.clear();
    m_arrImageNames.clear();
    for (const CString& page : pages) {
        std::u16string path(static_cast<LPCWSTR>(page));
        m_arrPagePaths.push_back(path);
        m_arrImageNames.push_back(GetFileNameFromPath(path));
    }
    m_nResolution = dpi;
    Debug("SaveAsOfd");
    Debug(std::u16string(output));
    m_workFolder.clear();
    m_archivePath.clear();

    std::u16string name = GetFileNameFromPath(output);
    bool good = WriteOfdXml(name);
    good = good && WriteDocumentXml(m_workFolder + u"/Doc_0");
    good = good && CreateResFolder(m_workFolder + u"/Doc_0" + u"/Res");
    good = good && CreatePageFolders(m_workFolder + u"/Doc_0" + u"/Pages", widths, heights);
    good = good && ZipFileToOfd();

    if (!m_workFolder.empty()) {
        DeleteFolderTree(m_workFolder);
        RemoveDirectoryW(m_workFolder.c_str());
    }
    // The archive goes to its place in one move (a rename on the same volume, else a copy that cleans up after
    // itself); nothing reaches the output path unless the whole document was written.
    if (good && !MoveFileExW(m_archivePath.c_str(), output, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
        DeleteFileW(output);
        good = false;
    }
    // The page JPEGs go only once the document is in its place.
    if (good)
        for (const auto& page : m_arrPagePaths)
            DeleteFileW(page.c_str());
    if (!m_archivePath.empty())
        DeleteFileW(m_archivePath.c_str());
    return good ? 1 : 0;
}
