// Fonts: Windows font requests resolved to the metric-compatible Liberation fonts, and per character to the faces
// installed for Hebrew, Arabic, Chinese, Japanese and Korean (Windows links fonts for scripts a face lacks; these
// stand in for that). Files are mapped once; FreeType renders the glyphs anti-aliased into a cache per face and size.
#include "platform/gdi/fonts.h"

#include "platform/base/winbase.h"
#include "platform/base/winnls.h"
#include "platform/gdi/internal.h"
#include "platform/gdi/state.h"
#include "platform/gdi/textlayout.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include <hb-ft.h>
#include <hb.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace platform::gdi {

namespace {

const char* kLatinDir = "/usr/share/fonts/truetype/liberation/";

struct Range {
    char32_t first, last;
};

constexpr Range kHebrew[] = {{0x0590, 0x05FF}, {0xFB1D, 0xFB4F}};
constexpr Range kArabic[] = {{0x0600, 0x06FF}, {0x0750, 0x077F}, {0x08A0, 0x08FF}, {0xFB50, 0xFDFF}, {0xFE70, 0xFEFF}};
constexpr Range kCjk[] = {{0x1100, 0x11FF}, {0x2E80, 0x2FDF},   {0x2FF0, 0x9FFF},  {0xA960, 0xA97F},
                          {0xAC00, 0xD7FF}, {0xF900, 0xFAFF},   {0xFE10, 0xFE1F},  {0xFE30, 0xFE4F},
                          {0xFF00, 0xFFEF}, {0x1F200, 0x1F2FF}, {0x20000, 0x3FFFF}};

// The faces tried, in order, for a character the requested font lacks. A face with ranges is only asked about
// characters in them, so a Hebrew word never opens the Chinese face.
struct FallbackFont {
    const char* regular;
    const char* bold;
    const Range* ranges; // null: any character
    size_t rangeCount;
    bool regional; // a collection with one face per Han region, in HanRegion's order
};

constexpr FallbackFont kFallbacks[] = {
    {"/usr/share/fonts/truetype/noto/NotoSansHebrew-Regular.ttf",
     "/usr/share/fonts/truetype/noto/NotoSansHebrew-Bold.ttf", kHebrew, std::size(kHebrew), false},
    {"/usr/share/fonts/truetype/noto/NotoSansArabicUI-Regular.ttf",
     "/usr/share/fonts/truetype/noto/NotoSansArabicUI-Bold.ttf", kArabic, std::size(kArabic), false},
    {"/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc", "/usr/share/fonts/opentype/noto/NotoSansCJK-Bold.ttc",
     kCjk, std::size(kCjk), true},
    {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf", nullptr,
     0, false},
    {"/usr/share/fonts/truetype/droid/DroidSansFallbackFull.ttf",
     "/usr/share/fonts/truetype/droid/DroidSansFallbackFull.ttf", nullptr, 0, false},
};

bool Covers(const FallbackFont& font, char32_t c) {
    if (!font.ranges)
        return true;
    return std::any_of(font.ranges, font.ranges + font.rangeCount,
                       [c](const Range& r) { return c >= r.first && c <= r.last; });
}

// Keeps the shared library that holds `symbol` loaded for the life of the process: the faces and shapers made
// from it outlive the module that loaded it (a data source is unloaded and loaded again within one host).
void Pin(const void* symbol) {
    Dl_info info{};
    if (dladdr(symbol, &info) != 0 && info.dli_fname)
        dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
}

FT_Library Library() {
    SharedState& g = G();
    if (!g.library) {
        Pin(reinterpret_cast<const void*>(&FT_Init_FreeType));
        Pin(reinterpret_cast<const void*>(&hb_shape));
        if (FT_Init_FreeType(&g.library) != 0)
            g.library = nullptr;
    }
    return g.library;
}

// The bytes of a font file, mapped for the life of the process; empty when it cannot be read.
std::pair<const unsigned char*, size_t> MappedFile(const std::string& path) {
    auto& files = G().fontFiles;
    auto it = files.find(path);
    if (it != files.end())
        return it->second;
    std::pair<const unsigned char*, size_t> mapped{nullptr, 0};
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd >= 0 && fstat(fd, &st) == 0 && st.st_size > 0) {
        void* data = mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (data != MAP_FAILED)
            mapped = {static_cast<const unsigned char*>(data), static_cast<size_t>(st.st_size)};
    }
    if (fd >= 0)
        close(fd);
    return files.emplace(path, mapped).first->second;
}

FT_Face NewFace(const std::string& path, int index) {
    auto [data, size] = MappedFile(path);
    FT_Library library = Library();
    FT_Face face = nullptr;
    if (!data || !library ||
        FT_New_Memory_Face(library, data, static_cast<FT_Long>(size), static_cast<FT_Long>(index), &face) != 0)
        return nullptr;
    return face;
}

// Face `index` of a font file at `ppem` pixels, shared by every font that needs it; null when missing.
SizedFace* Sized(const std::string& path, int index, int ppem) {
    std::string key = path + "#" + std::to_string(index) + "@" + std::to_string(ppem);
    auto& sized = G().sizedFaces;
    auto it = sized.find(key);
    if (it != sized.end())
        return it->second;
    SizedFace* result = nullptr;
    if (FT_Face face = NewFace(path, index)) {
        FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(ppem));
        result = new SizedFace; // lives as long as the process, like the fonts that use it
        result->face = face;
        result->ppem = ppem;
        result->family = face->family_name ? face->family_name : "";
        result->shaper = hb_ft_font_create_referenced(face);
        hb_ft_font_set_load_flags(result->shaper, FT_LOAD_DEFAULT); // hinted advances, as drawn
    }
    return sized.emplace(key, result).first->second;
}

std::string LatinFile(const LOGFONTW& lf) {
    std::u16string name(lf.lfFaceName, std::find(lf.lfFaceName, lf.lfFaceName + LF_FACESIZE, u'\0'));
    for (auto& c : name)
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
    std::string family = "LiberationSans";
    if (name == u"courier new" || name == u"courier" || name == u"consolas" || name == u"lucida console")
        family = "LiberationMono";
    else if (name == u"times new roman" || name == u"times")
        family = "LiberationSerif";
    bool bold = lf.lfWeight >= FW_SEMIBOLD;
    bool italic = lf.lfItalic != 0;
    std::string style = bold && italic ? "BoldItalic" : bold ? "Bold" : italic ? "Italic" : "Regular";
    return std::string(kLatinDir) + family + "-" + style + ".ttf";
}

// The Han forms of a Chinese, Japanese or Korean language; false for any other language.
bool RegionOfLanguage(LANGID lang, HanRegion& region) {
    switch (lang & 0x3FF) {
    case 0x04: // Chinese: Taiwan 1, PRC 2, Hong Kong 3, Singapore 4, Macao 5
        switch (lang >> 10) {
        case 1:
            region = HanRegion::Traditional;
            break;
        case 3:
        case 5:
            region = HanRegion::HongKong;
            break;
        default:
            region = HanRegion::Simplified;
            break;
        }
        return true;
    case 0x11:
        region = HanRegion::Japanese;
        return true;
    case 0x12:
        region = HanRegion::Korean;
        return true;
    default:
        return false;
    }
}

// The process's preferred user-interface language, 0 when none is set.
LANGID PreferredUiLanguage() {
    WCHAR list[16] = {};
    ULONG count = 0;
    ULONG size = 16;
    if (!GetProcessPreferredUILanguages(MUI_LANGUAGE_ID, &count, list, &size) || count == 0)
        return 0;
    return static_cast<LANGID>(wcstoul(list, nullptr, 16));
}

// Which regional forms Han characters take: the font's character set when it names one, else the language the
// user interface speaks when it is Chinese, Japanese or Korean (a Chinese window on any locale reads Chinese forms),
// else the system's locale; other locales get the Japanese forms first, as Windows links its Japanese face first.
HanRegion RegionOf(const LOGFONTW& lf) {
    switch (lf.lfCharSet) {
    case SHIFTJIS_CHARSET:
        return HanRegion::Japanese;
    case HANGUL_CHARSET:
        return HanRegion::Korean;
    case GB2312_CHARSET:
        return HanRegion::Simplified;
    case CHINESEBIG5_CHARSET:
        return HanRegion::Traditional;
    default:
        break;
    }
    HanRegion region = HanRegion::Japanese;
    if (RegionOfLanguage(PreferredUiLanguage(), region))
        return region;
    RegionOfLanguage(LANGIDFROMLCID(GetSystemDefaultLCID()), region);
    return region;
}

// The requested font at the size its height asks for, with the metrics Windows reports for it.
FontFace* OpenFont(const std::string& file, const LOGFONTW& lf, HanRegion han) {
    FT_Face probe = NewFace(file, 0);
    if (!probe)
        return nullptr;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(probe, FT_SFNT_OS2));
    double winAscent = os2 ? os2->usWinAscent : probe->ascender;
    double winDescent = os2 ? os2->usWinDescent : -probe->descender;
    double upem = probe->units_per_EM;
    // Negative heights ask for the character (em) height, positive ones for the cell height (ascent + descent).
    int ppem;
    if (lf.lfHeight < 0)
        ppem = -lf.lfHeight;
    else if (lf.lfHeight > 0)
        ppem = std::max(1, static_cast<int>(std::lround(lf.lfHeight * upem / (winAscent + winDescent))));
    else
        ppem = 16;
    ppem = std::min(ppem, 2000);
    auto* font = new FontFace; // lives as long as the process: font objects keep pointers to it
    font->primary = Sized(file, 0, ppem);
    font->ppem = ppem;
    font->bold = lf.lfWeight >= FW_SEMIBOLD;
    font->han = han;
    double scale = ppem / upem;
    font->ascent = static_cast<int>(std::lround(winAscent * scale));
    font->descent = static_cast<int>(std::lround(winDescent * scale));
    if (lf.lfHeight > 0)
        font->descent = std::max(0, static_cast<int>(lf.lfHeight) - font->ascent);
    font->internalLeading = std::max(0, font->ascent + font->descent - ppem);
    // The line spacing the font asks for beyond its cell (hhea), else its typographic line gap.
    double extra = probe->height - (winAscent + winDescent);
    if (extra <= 0)
        extra = os2 ? os2->sTypoLineGap : 0;
    font->externalLeading = std::max(0, static_cast<int>(std::lround(extra * scale)));
    font->aveCharWidth = os2 ? static_cast<int>(std::lround(os2->xAvgCharWidth * scale)) : ppem / 2;
    font->maxCharWidth = static_cast<int>(std::lround(probe->max_advance_width * scale));
    font->underlinePos = std::max(1, static_cast<int>(std::lround(-probe->underline_position * scale)));
    font->underlineThickness = std::max(1, static_cast<int>(std::lround(probe->underline_thickness * scale)));
    FT_Done_Face(probe);
    if (!font->primary) {
        delete font;
        return nullptr;
    }
    for (int i = 0; i < static_cast<int>(std::size(kFallbacks)); ++i)
        font->fallbacks.push_back(Fallback{i, false, nullptr});
    return font;
}

} // namespace

std::uint32_t SizedFace::glyphIndex(char32_t c) const {
    return FT_Get_Char_Index(face, c);
}

const Glyph& SizedFace::glyph(std::uint32_t index) {
    auto it = glyphs.find(index);
    if (it != glyphs.end())
        return it->second;
    Glyph g;
    if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT) == 0 && FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) == 0) {
        FT_GlyphSlot slot = face->glyph;
        g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
        g.left = slot->bitmap_left;
        g.top = slot->bitmap_top;
        g.width = static_cast<int>(slot->bitmap.width);
        g.height = static_cast<int>(slot->bitmap.rows);
        g.alpha.resize(static_cast<size_t>(g.width) * static_cast<size_t>(g.height));
        for (int y = 0; y < g.height; ++y)
            std::memcpy(g.alpha.data() + static_cast<size_t>(y) * static_cast<size_t>(g.width),
                        slot->bitmap.buffer + static_cast<std::ptrdiff_t>(y) * slot->bitmap.pitch,
                        static_cast<size_t>(g.width));
    }
    return glyphs.emplace(index, std::move(g)).first->second;
}

const ResolvedChar& FontFace::resolve(char32_t c) {
    if (c < 0x80) {
        if (!asciiReady) {
            // ASCII always comes from the requested face, control characters included.
            for (char32_t a = 0; a < 0x80; ++a) {
                std::uint32_t index = primary->glyphIndex(a);
                ascii[a] = ResolvedChar{primary, index, primary->glyph(index).advance};
            }
            asciiReady = true;
        }
        return ascii[c];
    }
    auto it = resolved.find(c);
    if (it != resolved.end())
        return it->second;
    SizedFace* face = primary;
    std::uint32_t index = primary->glyphIndex(c);
    for (size_t i = 0; !index && i < fallbacks.size(); ++i) {
        Fallback& fb = fallbacks[i];
        const FallbackFont& font = kFallbacks[fb.table];
        if (!Covers(font, c))
            continue;
        if (!fb.opened) {
            fb.opened = true;
            fb.face = Sized(bold ? font.bold : font.regular, font.regional ? static_cast<int>(han) : 0, ppem);
        }
        if (fb.face && (index = fb.face->glyphIndex(c)) != 0)
            face = fb.face;
    }
    return resolved.emplace(c, ResolvedChar{face, index, face->glyph(index).advance}).first->second;
}

FontFace* FaceOf(Font* font) {
    if (!font)
        return nullptr;
    if (!font->face) {
        std::string file = LatinFile(font->log);
        HanRegion han = RegionOf(font->log);
        std::string key = file + "|" + std::to_string(font->log.lfHeight) + "|" + std::to_string(static_cast<int>(han));
        auto& faces = G().faces;
        auto it = faces.find(key);
        if (it == faces.end()) // a font that fails to open is remembered as missing
            it = faces.emplace(key, OpenFont(file, font->log, han)).first;
        font->face = it->second;
    }
    return font->face;
}

} // namespace platform::gdi
