// The resource compiler: string tables, manifests and the faults it must report with their place.
#include "platform/rc/manifest.h"
#include "platform/rc/writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

namespace {

using platform::rc::InputError;

std::vector<std::pair<std::uint32_t, std::u16string>> Parse(const std::string& text) {
    return platform::rc::ParseStringTable(text, "t.str");
}

std::string FaultOf(const std::string& text) {
    try {
        Parse(text);
    } catch (const InputError& e) {
        return e.what();
    }
    return "no fault";
}

TEST(StringTable, DecodesUtf8AndTheCEscapes) {
    const auto strings = Parse("\xEF\xBB\xBF# comment\n\n1000 \"Scan\"\n"
                               "  1001\t\"a\\n\\r\\t\\\"\\\\b\"  # trailing comment\n"
                               "1002 \"\\u05D0\xC3\xA9\xF0\x9F\x98\x80\"\n1003 \"\"\n");
    ASSERT_EQ(strings.size(), 4u);
    EXPECT_EQ(strings[0], (std::pair<std::uint32_t, std::u16string>{1000, u"Scan"}));
    EXPECT_EQ(strings[1].second, u"a\n\r\t\"\\b");
    EXPECT_EQ(strings[2].second, u"\u05D0\u00E9\U0001F600") << "a character beyond the BMP becomes a pair";
    EXPECT_EQ(strings[3].second, u"");
}

TEST(StringTable, FaultsNameTheFileAndLine) {
    EXPECT_EQ(FaultOf("1 \"ok\"\n2 \"open"), "t.str:2: missing closing quote");
    EXPECT_EQ(FaultOf("1 \"\\q\""), "t.str:1: unknown escape \\q");
    EXPECT_EQ(FaultOf("1 \"a\" b"), "t.str:1: unexpected text after the closing quote");
    EXPECT_EQ(FaultOf("65536 \"big\""), "t.str:1: id 65536 is larger than 65535");
    EXPECT_EQ(FaultOf("x1 \"a\""), "t.str:1: bad id 'x1'");
    EXPECT_EQ(FaultOf("1 \"\\u12\""), "t.str:1: \\u needs four hex digits");
    EXPECT_EQ(FaultOf("1 \"\xC3\""), "t.str:1: invalid UTF-8");
    EXPECT_EQ(FaultOf("1 \"\xE0\x80\x80\""), "t.str:1: invalid UTF-8") << "overlong forms are refused";
    EXPECT_EQ(FaultOf("7"), "t.str:1: expected <id> \"text\"");
}

TEST(StringTable, BlocksHoldSixteenLengthPrefixedStrings) {
    const auto blocks = platform::rc::PackStringBlocks({{17, u"ab"}, {31, u"z"}, {0, u"x"}});
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0].id, 1u) << "ids 0-15";
    EXPECT_EQ(blocks[0].data.size(), (16u + 1u) * 2u);
    EXPECT_EQ(blocks[1].id, 2u) << "ids 16-31";
    const std::vector<unsigned char> expected = {0, 0, 2, 0, 'a', 0, 'b', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,   0,
                                                 0, 0, 0, 0, 0,   0, 0,   0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 'z', 0};
    EXPECT_EQ(blocks[1].data, expected);
}

class Manifest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("rc_" + std::to_string(getpid()) + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    void Write(const std::string& name, const std::string& bytes) {
        std::ofstream(dir_ / name, std::ios::binary) << bytes;
    }
    std::string FaultOf(const std::string& manifest) {
        Write("m.rcl", manifest);
        try {
            platform::rc::CompileManifest(dir_ / "m.rcl");
        } catch (const InputError& e) {
            const std::string text = e.what();
            return text.substr(text.find("m.rcl") == std::string::npos ? 0 : text.find("m.rcl"));
        }
        return "no fault";
    }
    std::filesystem::path dir_;
};

TEST_F(Manifest, CompilesEveryTypeSortedByTypeAndId) {
    Write("a.str", "20 \"twenty\"\n");
    Write("b.str", "1 \"one\"\n");
    Write("pic.bmp", "BM" + std::string(12, '\0') + std::string(40, '\x28') + "px");
    Write("d.dlg", "dialog");
    Write("r.bin", std::string("\0\1", 2));
    Write("m.rcl", "# resources\nRCDATA 7 r.bin\nSTRINGTABLE - a.str\nBITMAP 10431 pic.bmp\n"
                   "STRINGTABLE - b.str\nDIALOG 7 d.dlg\n");
    const auto compiled = platform::rc::CompileManifest(dir_ / "m.rcl");
    std::vector<std::pair<std::uint32_t, std::uint32_t>> keys;
    for (const auto& r : compiled.resources)
        keys.emplace_back(r.type, r.id);
    EXPECT_EQ(keys,
              (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{2, 10431}, {5, 7}, {6, 1}, {6, 2}, {10, 7}}));
    EXPECT_EQ(compiled.resources[0].data.size(), 42u) << "the bitmap loses its 14-byte file header";
    EXPECT_EQ(compiled.inputs.size(), 6u) << "the manifest and every file it names";
}

TEST_F(Manifest, FaultsNameTheManifestLine) {
    Write("a.str", "5 \"five\"\n");
    Write("b.str", "5 \"again\"\n");
    Write("r.bin", "x");
    EXPECT_EQ(FaultOf("ICONS 1 r.bin\n"), "m.rcl:1: unknown resource type 'ICONS'");
    EXPECT_EQ(FaultOf("RCDATA 1 r.bin\nRCDATA 1 r.bin\n").rfind("m.rcl:2: RCDATA 1 is listed twice", 0), 0u);
    EXPECT_EQ(FaultOf("RCDATA 1 missing.bin\n").rfind("m.rcl:1: cannot read", 0), 0u);
    EXPECT_EQ(FaultOf("STRINGTABLE 3 a.str\n"), "m.rcl:1: a STRINGTABLE line takes '-' as its id");
    EXPECT_EQ(FaultOf("BITMAP 3 r.bin\n"), "m.rcl:1: not a BMP file");
    EXPECT_EQ(FaultOf("RCDATA 0 r.bin\n"), "m.rcl:1: id 0 cannot be looked up");
    EXPECT_EQ(FaultOf("RCDATA 1\n"), "m.rcl:1: expected <TYPE> <id> <file>");
    EXPECT_NE(FaultOf("STRINGTABLE - a.str\nSTRINGTABLE - b.str\n").find("string 5 is defined twice"),
              std::string::npos);
}

TEST_F(Manifest, ACursorDrawnAsTextBecomesACursorFile) {
    std::string picture = "# a test cursor\nHOTSPOT 3 1\n";
    for (int y = 0; y < 32; ++y)
        picture += y == 0 ? "Xo" + std::string(30, '.') + "\n" : std::string(32, '.') + "\n";
    Write("c.cursor", picture);
    Write("raw.cur", "raw");
    Write("m.rcl", "CURSOR 10333 c.cursor\nCURSOR 10334 raw.cur\n");
    const auto compiled = platform::rc::CompileManifest(dir_ / "m.rcl");
    ASSERT_EQ(compiled.resources.size(), 2u);
    const auto& cur = compiled.resources[0].data;
    ASSERT_EQ(cur.size(), 6u + 16 + 40 + 8 + 2 * 128);
    EXPECT_EQ(cur[2], 2) << "a cursor directory";
    EXPECT_EQ(cur[6], 32);
    EXPECT_EQ(cur[10], 3) << "hot spot x";
    EXPECT_EQ(cur[12], 1) << "hot spot y";
    EXPECT_EQ(cur[22 + 8], 64) << "the height counts both masks";
    const std::size_t xorMask = 22 + 40 + 8;
    const std::size_t andMask = xorMask + 128;
    // The top row is stored last: 'X' black and shown, 'o' white and shown, '.' transparent.
    EXPECT_EQ(cur[xorMask + 31 * 4], 0x40);
    EXPECT_EQ(cur[andMask + 31 * 4], 0x3F);
    EXPECT_EQ(cur[andMask + 31 * 4 + 1], 0xFF);
    EXPECT_EQ(cur[andMask], 0xFF);
    EXPECT_EQ(compiled.resources[1].data, (std::vector<unsigned char>{'r', 'a', 'w'})) << "a .cur file is kept";

    Write("bad.cursor", "HOTSPOT 3 1\n" + std::string(31, '.') + "\n");
    EXPECT_NE(FaultOf("CURSOR 1 bad.cursor\n").find("bad.cursor:2: a cursor row is 32 of"), std::string::npos);
    Write("bad.cursor", std::string(32, '.') + "\n");
    EXPECT_NE(FaultOf("CURSOR 1 bad.cursor\n").find("the cursor has no HOTSPOT"), std::string::npos);
    Write("bad.cursor", "HOTSPOT 32 0\n");
    EXPECT_NE(FaultOf("CURSOR 1 bad.cursor\n").find("bad.cursor:1: expected HOTSPOT"), std::string::npos);
}

TEST(Writer, BytesBecomeLiteralsThatADigitCannotExtend) {
    platform::rc::Compiled compiled;
    compiled.resources.push_back({10, 1, {0, '9', '"', '\\', '?', 'A', 0xFF}});
    std::ostringstream out;
    platform::rc::WriteSource(out, compiled, platform::rc::OutputKind::Data, "m.rcl");
    const std::string source = out.str();
    EXPECT_NE(source.find("\"\\0009\\042\\134\\077A\\377\""), std::string::npos) << source;
    EXPECT_NE(source.find("extern \"C\" __attribute__((visibility(\"default\"))) const platform::resource::Table "
                          "platform_resource_table"),
              std::string::npos);
    EXPECT_NE(source.find("{10, 1, 7, r0}"), std::string::npos);
}

} // namespace
