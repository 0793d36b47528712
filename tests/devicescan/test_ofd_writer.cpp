// The OFD document: its zip entries and XML texts read back, the standard tools, and the failure roads.
#include "devicescan/OfdWriter.h"
#include "platform/gdiplus/gdiplus.h"
#include "tests/platform/gdiplus/page_stream.h"
#include "tests/support/DebugLines.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include <unzip.h>

namespace {

constexpr char kNs[] = "xmlns:ofd=\"http://www.ofdspec.org/2016\"";
constexpr char kDecl[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";

std::string ReadText(const std::string& hostPath) {
    std::vector<BYTE> bytes = testpage::ReadAll(hostPath);
    return std::string(bytes.begin(), bytes.end());
}

struct Entry {
    std::string name;
    std::string data;
    unsigned long method = 0;
    unsigned long compressedSize = 0;
};

// Every entry of the archive in its stored order.
std::vector<Entry> ReadZip(const std::string& hostPath) {
    std::vector<Entry> entries;
    unzFile zip = unzOpen(hostPath.c_str());
    if (!zip)
        return entries;
    for (int r = unzGoToFirstFile(zip); r == UNZ_OK; r = unzGoToNextFile(zip)) {
        char name[512];
        unz_file_info info{};
        unzGetCurrentFileInfo(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0);
        Entry entry{name, std::string(info.uncompressed_size, '\0'), info.compression_method, info.compressed_size};
        unzOpenCurrentFile(zip);
        if (info.uncompressed_size)
            unzReadCurrentFile(zip, entry.data.data(), static_cast<unsigned>(info.uncompressed_size));
        unzCloseCurrentFile(zip);
        entries.push_back(std::move(entry));
    }
    unzClose(zip);
    return entries;
}

class OfdTest : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("PLATFORM_ZLIBWAPI");
        CreateDirectoryW(u"C:\\Scans", nullptr);
    }

    // A page JPEG in the temporary folder, as the transfer callback makes it.
    std::u16string MakeJpeg(const char16_t* name, int width, int height) {
        std::u16string path = std::u16string(u"C:\\Temp\\") + name;
        auto stream = testpage::StreamOf(testpage::MakePage(width, height, 24));
        Gdiplus::Bitmap image(stream.get());
        CLSID jpeg{0x557cf401, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
        EXPECT_EQ(image.Save(path.c_str(), &jpeg), Gdiplus::Ok);
        return path;
    }

    bool TempHoldsOnly(const std::vector<std::string>& names) {
        std::vector<std::string> found;
        for (const auto& item : std::filesystem::directory_iterator(root.path() / "Temp"))
            found.push_back(item.path().filename().string());
        std::sort(found.begin(), found.end());
        std::vector<std::string> expected = names;
        std::sort(expected.begin(), expected.end());
        return found == expected;
    }

    testpage::Root root;
};

TEST_F(OfdTest, OnePageDocumentHoldsItsEntriesInOrderWithTheirTexts) {
    std::u16string page = MakeJpeg(u"Jpg1A.tmp", 248, 351);
    std::string jpegBytes = ReadText(root.Host(page));
    OfdWriter writer;
    ASSERT_EQ(writer.SaveAsOfd({CString(page.c_str())}, {2480}, {3508}, 300, u"C:\\Scans\\img-1.ofd"), 1);

    std::string archive = root.Host(u"C:\\Scans\\img-1.ofd");
    std::vector<Entry> entries = ReadZip(archive);
    std::vector<std::string> names;
    for (const auto& e : entries)
        names.push_back(e.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Doc_0/", "Doc_0/Document.xml", "Doc_0/DocumentRes.xml", "Doc_0/Pages/",
                                               "Doc_0/Pages/Page_0/", "Doc_0/Pages/Page_0/Content.xml", "Doc_0/Res/",
                                               "Doc_0/Res/Jpg1A.tmp", "OFD.xml"}));
    ASSERT_EQ(entries.size(), 9u);
    EXPECT_EQ(entries[1].data,
              std::string(kDecl) + "<ofd:Document " + kNs +
                  "><ofd:CommonData><ofd:MaxUnitID>4</ofd:MaxUnitID><ofd:PageArea><ofd:PhysicalBox>0 0 "
                  "210 297</ofd:PhysicalBox></ofd:PageArea><ofd:DocumentRes>DocumentRes.xml</ofd:"
                  "DocumentRes></ofd:CommonData><ofd:Pages><ofd:Page ID=\"2\" BaseLoc=\"Pages/Page_0/"
                  "Content.xml\"/></ofd:Pages></ofd:Document>");
    EXPECT_EQ(entries[2].data, std::string(kDecl) + "<ofd:Res " + kNs +
                                   " BaseLoc=\"Res\"><ofd:MultiMedias><ofd:MultiMedia ID=\"1\" Type=\"Image\" "
                                   "Format=\"JPG\"><ofd:MediaFile>Jpg1A.tmp</ofd:MediaFile></ofd:MultiMedia></ofd:"
                                   "MultiMedias></ofd:Res>");
    EXPECT_EQ(entries[5].data,
              std::string(kDecl) + "<ofd:Page " + kNs +
                  "><ofd:Area><ofd:PhysicalBox>0 0 209.97333 297.01068</ofd:PhysicalBox></ofd:Area><ofd:Content>"
                  "<ofd:Layer ID=\"3\" Type=\"Body\"><ofd:ImageObject ID=\"4\" CTM=\"209.97333 0 0 297.01068 0 0\" "
                  "Boundary=\"0 0 209.97333 297.01068\" ResourceID=\"1\"/></ofd:Layer></ofd:Content></ofd:Page>");
    EXPECT_EQ(entries[7].data, jpegBytes);
    // Every entry is deflated at the default level, the page image included.
    for (const Entry& e : entries)
        EXPECT_EQ(e.method, static_cast<unsigned long>(Z_DEFLATED)) << e.name;
    EXPECT_LE(entries[7].compressedSize, jpegBytes.size() + 5 * (jpegBytes.size() / 16384 + 2));
    EXPECT_LT(entries[1].compressedSize, entries[1].data.size()) << "the XML parts are compressed";
    EXPECT_EQ(entries[8].data,
              std::string(kDecl) + "<ofd:OFD " + kNs +
                  " Version=\"1.1\" DocType=\"OFD\"><ofd:DocBody><ofd:DocInfo><ofd:Creator>"
                  "GruvoOFDCreator</ofd:Creator><ofd:CreatorVersion>1.0.9167</ofd:CreatorVersion>"
                  "</ofd:DocInfo><ofd:DocRoot>Doc_0/Document.xml</ofd:DocRoot></ofd:DocBody></ofd:OFD>");

    // Nothing temporary stays: no work folder, no archive, no page JPEG.
    EXPECT_TRUE(TempHoldsOnly({}));

    int tested = testpage::Tool("unzip", "-tqq '" + archive + "'");
    if (tested >= 0) {
        EXPECT_EQ(tested, 0) << "unzip -t rejects the archive";
    }
    for (size_t i : {1, 2, 5, 8}) {
        std::string part = (root.path() / ("part" + std::to_string(i) + ".xml")).string();
        std::ofstream(part, std::ios::binary) << entries[i].data;
        int checked = testpage::Tool("xmllint", "--noout '" + part + "'");
        if (checked >= 0) {
            EXPECT_EQ(checked, 0) << entries[i].name << " is not well-formed XML";
        }
    }
}

TEST_F(OfdTest, ThreePagesNumberTheirUnits) {
    std::vector<CString> pages;
    for (const char16_t* name : {u"JpgA.tmp", u"JpgB.tmp", u"JpgC.tmp"})
        pages.emplace_back(MakeJpeg(name, 50, 70).c_str());
    OfdWriter writer;
    ASSERT_EQ(writer.SaveAsOfd(pages, {510, 510, 510}, {660, 660, 660}, 600, u"C:\\Scans\\three.ofd"), 1);
    std::vector<Entry> entries = ReadZip(root.Host(u"C:\\Scans\\three.ofd"));
    std::map<std::string, std::string> byName;
    for (const auto& e : entries)
        byName[e.name] = e.data;
    ASSERT_EQ(entries.size(), 15u);
    EXPECT_EQ(entries.back().name, "OFD.xml");
    const std::string& doc = byName["Doc_0/Document.xml"];
    EXPECT_NE(doc.find("<ofd:MaxUnitID>12</ofd:MaxUnitID>"), std::string::npos);
    EXPECT_NE(doc.find("<ofd:Pages><ofd:Page ID=\"4\" BaseLoc=\"Pages/Page_0/Content.xml\"/><ofd:Page ID=\"5\" "
                       "BaseLoc=\"Pages/Page_1/Content.xml\"/><ofd:Page ID=\"6\" BaseLoc=\"Pages/Page_2/Content.xml\"/>"
                       "</ofd:Pages>"),
              std::string::npos);
    const std::string& res = byName["Doc_0/DocumentRes.xml"];
    EXPECT_NE(res.find("ID=\"3\" Type=\"Image\" Format=\"JPG\"><ofd:MediaFile>JpgC.tmp<"), std::string::npos);
    for (int i = 0; i < 3; ++i) {
        const std::string& content = byName["Doc_0/Pages/Page_" + std::to_string(i) + "/Content.xml"];
        EXPECT_NE(content.find("<ofd:Layer ID=\"" + std::to_string(7 + 2 * i) +
                               "\" Type=\"Body\"><ofd:ImageObject ID=\"" + std::to_string(8 + 2 * i) + "\""),
                  std::string::npos)
            << content;
        EXPECT_NE(content.find("ResourceID=\"" + std::to_string(i + 1) + "\""), std::string::npos);
        EXPECT_NE(content.find("0 0 21.59000 27.94000"), std::string::npos) << content;
    }
    EXPECT_TRUE(TempHoldsOnly({}));
}

// A page file's name is text in the resource list: characters that mean something in XML are written as entities,
// while the archive keeps the image under its real name.
TEST_F(OfdTest, FileNamesAreEscapedInTheXml) {
    std::u16string page = MakeJpeg(u"Scan & \"Co\" <1>'s.tmp", 40, 30);
    OfdWriter writer;
    ASSERT_EQ(writer.SaveAsOfd({CString(page.c_str())}, {40}, {30}, 75, u"C:\\Scans\\marks.ofd"), 1);
    std::vector<Entry> entries = ReadZip(root.Host(u"C:\\Scans\\marks.ofd"));
    ASSERT_EQ(entries.size(), 9u);
    EXPECT_EQ(entries[7].name, "Doc_0/Res/Scan & \"Co\" <1>'s.tmp");
    const std::string& res = entries[2].data;
    EXPECT_NE(res.find("<ofd:MediaFile>Scan &amp; &quot;Co&quot; &lt;1&gt;&apos;s.tmp</ofd:MediaFile>"),
              std::string::npos)
        << res;
    std::string part = (root.path() / "res.xml").string();
    std::ofstream(part, std::ios::binary) << res;
    int checked = testpage::Tool("xmllint", "--noout '" + part + "'");
    if (checked >= 0) {
        EXPECT_EQ(checked, 0) << "DocumentRes.xml is not well-formed XML";
    }
}

TEST_F(OfdTest, PageImagesAreCopiedIntoResAndZippedFromThere) {
    std::u16string page = MakeJpeg(u"JpgR.tmp", 40, 30);
    testsupport::DebugLines debug;
    debug.Capture();
    OfdWriter writer;
    int result = writer.SaveAsOfd({CString(page.c_str())}, {40}, {30}, 300, u"C:\\Scans\\res.ofd");
    debug.Release();
    const std::vector<std::u16string> lines = debug.Lines();
    ASSERT_EQ(result, 1);
    auto at = [&](std::u16string_view text) { return std::find(lines.begin(), lines.end(), text) - lines.begin(); };
    auto endsWith = [](const std::u16string& text, std::u16string_view tail) {
        return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
    };
    // "CreateResFolder", then the page JPEG and its copy in the work folder's Res.
    size_t res = at(u"CreateResFolder");
    ASSERT_LT(res + 2, lines.size());
    EXPECT_EQ(lines[res + 1], page);
    EXPECT_TRUE(endsWith(lines[res + 2], u"res.ofd/Doc_0/Res\\JpgR.tmp")) << platform::ToUtf8(lines[res + 2]);
    // The image entry is read from that copy, not from the page JPEG.
    size_t entry = at(u"Doc_0/Res/JpgR.tmp");
    ASSERT_LT(entry + 1, lines.size());
    EXPECT_TRUE(endsWith(lines[entry + 1], u"res.ofd/Doc_0/Res/JpgR.tmp")) << platform::ToUtf8(lines[entry + 1]);
    EXPECT_NE(lines[entry + 1], page);
    EXPECT_TRUE(TempHoldsOnly({}));
}

TEST_F(OfdTest, PagesFollowThePageListNotTheSizeArrays) {
    std::u16string page = MakeJpeg(u"JpgW.tmp", 30, 30);
    OfdWriter writer;
    ASSERT_EQ(writer.SaveAsOfd({CString(page.c_str())}, {300, 600, 900}, {300, 600, 900}, 300, u"C:\\Scans\\w.ofd"), 1);
    std::vector<Entry> entries = ReadZip(root.Host(u"C:\\Scans\\w.ofd"));
    EXPECT_EQ(entries.size(), 9u) << "one page folder for one page";
}

TEST(OfdUnits, MillimetresAreSinglePrecisionWithFiveDecimals) {
    EXPECT_EQ(OfdWriter::FormatMm(OfdWriter::PixelsToMm(2480, 300)), "209.97333");
    EXPECT_EQ(OfdWriter::FormatMm(OfdWriter::PixelsToMm(5100, 600)), "215.89999");
    EXPECT_EQ(GetFileNameFromPath(u"C:\\a\\b\\x.ofd"), u"x.ofd");
    EXPECT_EQ(GetFileNameFromPath(u"x.ofd"), u"x.ofd");
}

TEST_F(OfdTest, NothingHappensWithoutPagesOrWithoutTheZipLibrary) {
    OfdWriter writer;
    EXPECT_EQ(writer.SaveAsOfd({}, {}, {}, 300, u"C:\\Scans\\none.ofd"), 0);
    EXPECT_FALSE(testpage::Exists(root.Host(u"C:\\Scans\\none.ofd")));

    std::u16string page = MakeJpeg(u"JpgZ.tmp", 20, 20);
    setenv("PLATFORM_ZLIBWAPI", "/nonexistent/zlibwapi.so", 1);
    testsupport::DebugLines debug;
    debug.Capture();
    OfdWriter without;
    debug.Release();
    unsetenv("PLATFORM_ZLIBWAPI");
    const std::vector<std::u16string> lines = debug.Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), u"load zlibwapi.dll fail!"), lines.end());
    EXPECT_EQ(without.SaveAsOfd({CString(page.c_str())}, {20}, {20}, 300, u"C:\\Scans\\nozip.ofd"), 0);
    EXPECT_FALSE(testpage::Exists(root.Host(u"C:\\Scans\\nozip.ofd")));
    EXPECT_TRUE(testpage::Exists(root.Host(page))) << "the page JPEG stays";
}

TEST_F(OfdTest, FailuresDeliverNothingAndKeepThePageJpegs) {
    std::u16string page = MakeJpeg(u"JpgF.tmp", 300, 300);
    OfdWriter writer;
    // An output folder that cannot exist.
    EXPECT_EQ(writer.SaveAsOfd({CString(page.c_str())}, {300}, {300}, 300, u"C:\\Temp\\JpgF.tmp\\x.ofd"), 0);
    EXPECT_TRUE(TempHoldsOnly({"JpgF.tmp"})) << "no work folder or archive may stay";
    // A full disk while the archive is written.
    {
        testpage::FileSizeLimit full(4000);
        EXPECT_EQ(writer.SaveAsOfd({CString(page.c_str())}, {300}, {300}, 300, u"C:\\Scans\\full.ofd"), 0);
    }
    EXPECT_FALSE(testpage::Exists(root.Host(u"C:\\Scans\\full.ofd")));
    EXPECT_TRUE(TempHoldsOnly({"JpgF.tmp"}));
    // Widths and heights must cover every page.
    EXPECT_EQ(
        writer.SaveAsOfd({CString(page.c_str()), CString(page.c_str())}, {300}, {300}, 300, u"C:\\Scans\\short.ofd"),
        0);
    // A page whose path does not fit the ANSI buffers.
    std::u16string longName = u"C:\\Temp\\" + std::u16string(250, u'j') + u".tmp";
    CopyFileW(page.c_str(), longName.c_str(), FALSE);
    EXPECT_EQ(writer.SaveAsOfd({CString(longName.c_str())}, {300}, {300}, 300, u"C:\\Scans\\long.ofd"), 0);
    EXPECT_FALSE(testpage::Exists(root.Host(u"C:\\Scans\\long.ofd")));
    EXPECT_TRUE(testpage::Exists(root.Host(longName)));
}

TEST_F(OfdTest, ALeftOverWorkFolderIsNeitherReusedNorTouched) {
    std::u16string page = MakeJpeg(u"JpgS.tmp", 40, 40);
    CreateDirectoryW(u"C:\\Temp\\\\stale.ofd", nullptr);
    std::ofstream(root.Host(u"C:\\Temp\\stale.ofd\\keep.txt")) << "someone else's";
    OfdWriter writer;
    ASSERT_EQ(writer.SaveAsOfd({CString(page.c_str())}, {40}, {40}, 300, u"C:\\Scans\\stale.ofd"), 1);
    EXPECT_TRUE(testpage::Exists(root.Host(u"C:\\Temp\\stale.ofd\\keep.txt")));
    EXPECT_EQ(ReadZip(root.Host(u"C:\\Scans\\stale.ofd")).size(), 9u);
}

} // namespace
