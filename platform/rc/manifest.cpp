#include "platform/rc/manifest.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <tuple>

namespace platform::rc {
namespace {

constexpr std::uint32_t kMaxId = 0xFFFF; // ids are 16-bit, as MAKEINTRESOURCE takes them

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
    throw InputError(where + ": " + what);
}

std::string ReadFile(const std::filesystem::path& path, const std::string& where) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        Fail(where, "cannot read " + path.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

std::uint32_t ParseId(const std::string& text, const std::string& where) {
    if (text.empty() || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; }))
        Fail(where, "bad id '" + text + "'");
    const auto id = static_cast<std::uint32_t>(std::stoul(text));
    if (id > kMaxId)
        Fail(where, "id " + text + " is larger than 65535");
    return id;
}

// Appends one code point as UTF-16.
void AppendUtf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

// Decodes one UTF-8 sequence at s[i], advancing i; rejects overlong forms, surrogates and truncation.
char32_t DecodeUtf8(const std::string& s, std::size_t& i, const std::string& where) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    int extra = 0;
    char32_t cp = 0;
    if (b0 < 0x80) {
        ++i;
        return b0;
    } else if ((b0 & 0xE0) == 0xC0) {
        extra = 1;
        cp = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2;
        cp = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3;
        cp = b0 & 0x07;
    } else {
        Fail(where, "invalid UTF-8");
    }
    if (i + extra >= s.size())
        Fail(where, "truncated UTF-8");
    for (int k = 1; k <= extra; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80)
            Fail(where, "invalid UTF-8");
        cp = (cp << 6) | (b & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        Fail(where, "invalid UTF-8");
    i += 1 + extra;
    return cp;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Decodes the quoted text starting at line[pos] (the opening quote); nothing but blanks or a comment may follow.
std::u16string ParseQuoted(const std::string& line, std::size_t pos, const std::string& where) {
    if (pos >= line.size() || line[pos] != '"')
        Fail(where, "expected a quoted text");
    std::u16string out;
    std::size_t i = pos + 1;
    for (;;) {
        if (i >= line.size())
            Fail(where, "missing closing quote");
        const char c = line[i];
        if (c == '"')
            break;
        if (c != '\\') {
            AppendUtf16(out, DecodeUtf8(line, i, where));
            continue;
        }
        if (i + 1 >= line.size())
            Fail(where, "escape at end of line");
        const char e = line[i + 1];
        i += 2;
        switch (e) {
        case 'n':
            out.push_back(u'\n');
            break;
        case 'r':
            out.push_back(u'\r');
            break;
        case 't':
            out.push_back(u'\t');
            break;
        case '"':
            out.push_back(u'"');
            break;
        case '\\':
            out.push_back(u'\\');
            break;
        case 'u': {
            if (i + 4 > line.size())
                Fail(where, "\\u needs four hex digits");
            unsigned v = 0;
            for (int k = 0; k < 4; ++k) {
                const int h = HexValue(line[i + k]);
                if (h < 0)
                    Fail(where, "\\u needs four hex digits");
                v = v * 16 + static_cast<unsigned>(h);
            }
            i += 4;
            out.push_back(static_cast<char16_t>(v));
            break;
        }
        default:
            Fail(where, std::string("unknown escape \\") + e);
        }
    }
    const std::string rest = Trim(line.substr(i + 1));
    if (!rest.empty() && rest[0] != '#')
        Fail(where, "unexpected text after the closing quote");
    return out;
}

std::vector<unsigned char> ToBytes(const std::string& s) {
    return {s.begin(), s.end()};
}

// A BITMAP resource is the file without its BITMAPFILEHEADER (14 bytes), as the run time expects a packed DIB.
std::vector<unsigned char> BitmapResource(const std::string& file, const std::string& where) {
    constexpr std::size_t kFileHeader = 14, kInfoHeader = 40;
    if (file.size() < kFileHeader + kInfoHeader || file[0] != 'B' || file[1] != 'M')
        Fail(where, "not a BMP file");
    return {file.begin() + kFileHeader, file.end()};
}

// A cursor drawn as text becomes a monochrome 32 x 32 cursor file (.cur). The picture:
//   # comments
//   HOTSPOT <x> <y>
//   32 rows of 32 characters: '.' lets the screen show, 'X' is black, 'o' is white.
// The file: ICONDIR (6 bytes) and one ICONDIRENTRY (16) with the hot spot, then the image: BITMAPINFOHEADER (its
// height counts both masks), a black-and-white colour table, the colour (XOR) mask and the transparency (AND) mask,
// each bottom row first, 4 bytes a row, most significant bit leftmost.
std::vector<unsigned char> CursorFromPicture(const std::string& text, const std::string& file) {
    constexpr int kSide = 32;
    constexpr int kRowBytes = kSide / 8;
    constexpr int kMaskBytes = kRowBytes * kSide;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    int hotX = -1;
    int hotY = -1;
    std::vector<std::string> rows;
    while (std::getline(in, line)) {
        ++number;
        const std::string where = file + ":" + std::to_string(number);
        const std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] == '#')
            continue;
        if (trimmed.rfind("HOTSPOT", 0) == 0) {
            std::istringstream fields(trimmed.substr(7));
            std::string rest;
            if (!(fields >> hotX >> hotY) || (fields >> rest) || hotX < 0 || hotY < 0 || hotX >= kSide || hotY >= kSide)
                Fail(where, "expected HOTSPOT <x> <y> inside the 32 x 32 picture");
            continue;
        }
        if (trimmed.size() != kSide || trimmed.find_first_not_of(".Xo") != std::string::npos)
            Fail(where, "a cursor row is 32 of '.', 'X' and 'o'");
        if (rows.size() == kSide)
            Fail(where, "more than 32 cursor rows");
        rows.push_back(trimmed);
    }
    if (hotX < 0)
        Fail(file, "the cursor has no HOTSPOT");
    if (rows.size() != kSide)
        Fail(file, "a cursor has 32 rows");

    std::vector<unsigned char> out;
    auto put16 = [&out](unsigned v) {
        out.push_back(static_cast<unsigned char>(v & 0xFF));
        out.push_back(static_cast<unsigned char>(v >> 8));
    };
    auto put32 = [&](std::uint32_t v) {
        put16(v & 0xFFFF);
        put16(v >> 16);
    };
    constexpr std::uint32_t kImageBytes = 40 + 8 + 2 * kMaskBytes;
    put16(0); // ICONDIR: reserved, type 2 (cursor), one image
    put16(2);
    put16(1);
    out.push_back(kSide); // ICONDIRENTRY: size, 2 colours, reserved
    out.push_back(kSide);
    out.push_back(2);
    out.push_back(0);
    put16(static_cast<unsigned>(hotX));
    put16(static_cast<unsigned>(hotY));
    put32(kImageBytes);
    put32(6 + 16);
    put32(40); // BITMAPINFOHEADER
    put32(kSide);
    put32(2 * kSide);
    put16(1);
    put16(1);
    put32(0);
    put32(2 * kMaskBytes);
    for (int i = 0; i < 4; ++i)
        put32(0);
    put32(0x00000000);                  // black
    put32(0x00FFFFFF);                  // white
    for (const char set : {'o', '.'}) { // XOR: white pixels; AND: transparent ones
        for (int y = kSide - 1; y >= 0; --y)
            for (int b = 0; b < kRowBytes; ++b) {
                unsigned char bits = 0;
                for (int i = 0; i < 8; ++i)
                    if (rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(b * 8 + i)] == set)
                        bits |= static_cast<unsigned char>(0x80 >> i);
                out.push_back(bits);
            }
    }
    return out;
}

std::optional<Type> TypeFromName(const std::string& name) {
    static const std::map<std::string, Type> kTypes = {{"STRINGTABLE", Type::String}, {"BITMAP", Type::Bitmap},
                                                       {"DIALOG", Type::Dialog},      {"CURSOR", Type::Cursor},
                                                       {"ICON", Type::Icon},          {"RCDATA", Type::RcData}};
    const auto it = kTypes.find(name);
    if (it == kTypes.end())
        return std::nullopt;
    return it->second;
}

} // namespace

std::vector<std::pair<std::uint32_t, std::u16string>> ParseStringTable(const std::string& text,
                                                                       const std::string& where) {
    std::vector<std::pair<std::uint32_t, std::u16string>> strings;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        const std::string here = where + ":" + std::to_string(number);
        if (number == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0)
            line.erase(0, 3);
        const std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] == '#')
            continue;
        const auto idEnd = trimmed.find_first_of(" \t");
        if (idEnd == std::string::npos)
            Fail(here, "expected <id> \"text\"");
        const std::uint32_t id = ParseId(trimmed.substr(0, idEnd), here);
        const auto quote = trimmed.find_first_not_of(" \t", idEnd);
        strings.emplace_back(id, ParseQuoted(trimmed, quote, here));
    }
    return strings;
}

std::vector<Resource> PackStringBlocks(const std::vector<std::pair<std::uint32_t, std::u16string>>& strings) {
    std::map<std::uint32_t, std::map<std::uint32_t, const std::u16string*>> blocks; // block id -> slot -> text
    for (const auto& [id, text] : strings)
        blocks[(id >> 4) + 1][id & 15] = &text;
    std::vector<Resource> out;
    for (const auto& [blockId, slots] : blocks) {
        Resource r{static_cast<std::uint32_t>(Type::String), blockId, {}};
        for (std::uint32_t slot = 0; slot < 16; ++slot) {
            const auto it = slots.find(slot);
            const std::u16string empty;
            const std::u16string& s = it == slots.end() ? empty : *it->second;
            for (const char16_t unit : std::u16string(1, static_cast<char16_t>(s.size())) + s) {
                r.data.push_back(static_cast<unsigned char>(unit & 0xFF)); // little-endian UTF-16
                r.data.push_back(static_cast<unsigned char>(unit >> 8));
            }
        }
        out.push_back(std::move(r));
    }
    return out;
}

Compiled CompileManifest(const std::filesystem::path& manifest) {
    Compiled result;
    result.inputs.push_back(manifest);
    const std::string text = ReadFile(manifest, manifest.string());
    const std::filesystem::path base = manifest.parent_path();

    std::vector<std::pair<std::uint32_t, std::u16string>> strings;
    std::map<std::uint32_t, std::string> stringOrigin; // id -> where it was defined, to report duplicates
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::string> seen;

    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        const std::string where = manifest.string() + ":" + std::to_string(number);
        const std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] == '#')
            continue;
        std::istringstream fields(trimmed);
        std::string typeName, idText;
        fields >> typeName >> idText;
        std::string fileName;
        std::getline(fields, fileName);
        fileName = Trim(fileName);
        if (fileName.empty())
            Fail(where, "expected <TYPE> <id> <file>");
        const auto type = TypeFromName(typeName);
        if (!type)
            Fail(where, "unknown resource type '" + typeName + "'");
        const std::filesystem::path file = base / fileName;
        result.inputs.push_back(file);
        const std::string content = ReadFile(file, where);

        if (*type == Type::String) {
            if (idText != "-")
                Fail(where, "a STRINGTABLE line takes '-' as its id");
            for (auto& entry : ParseStringTable(content, file.string())) {
                const auto [it, fresh] = stringOrigin.emplace(entry.first, file.string());
                if (!fresh)
                    Fail(file.string(), "string " + std::to_string(entry.first) + " is defined twice");
                strings.push_back(std::move(entry));
            }
            continue;
        }
        const std::uint32_t id = ParseId(idText, where);
        if (id == 0)
            Fail(where, "id 0 cannot be looked up");
        const auto key = std::make_pair(static_cast<std::uint32_t>(*type), id);
        if (!seen.emplace(key, where).second)
            Fail(where, typeName + " " + idText + " is listed twice (first at " + seen[key] + ")");
        std::vector<unsigned char> data;
        if (*type == Type::Bitmap)
            data = BitmapResource(content, where);
        else if (*type == Type::Cursor && file.extension() == ".cursor")
            data = CursorFromPicture(content, file.string());
        else
            data = ToBytes(content);
        result.resources.push_back({key.first, id, std::move(data)});
    }

    for (auto& block : PackStringBlocks(strings))
        result.resources.push_back(std::move(block));
    std::sort(result.resources.begin(), result.resources.end(),
              [](const Resource& a, const Resource& b) { return std::tie(a.type, a.id) < std::tie(b.type, b.id); });
    return result;
}

} // namespace platform::rc
