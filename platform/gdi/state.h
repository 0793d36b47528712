// The renderer's process-wide state. Every module links its own copy of platform, yet an HDC or HBITMAP made by
// one module is drawn with by another (a control's paint DC handed to a dialog of another module), and the tests
// read the text log of all of them: so the first copy publishes this state and the others use it.
// Only plain data and function pointers live here, no virtual functions, so any copy can use what another made.
#pragma once

#include "platform/gdi/testing.h"
#include "platform/gdi/wingdi.h"

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

struct FT_LibraryRec_;

namespace platform::gdi {

struct Pen;
struct Brush;
struct Font;
struct Bitmap;
struct FontFace;
struct SizedFace;

struct SharedState {
    SharedState();

    // Every live object and DC -> its OBJ_ type, so a stale or foreign handle is refused instead of followed.
    std::mutex handleMutex;
    std::unordered_map<void*, int> live;
    int counts[16] = {}; // live objects by OBJ_ type, stock objects not included

    Brush* stockBrushes[6] = {}; // WHITE_BRUSH .. NULL_BRUSH
    Pen* stockPens[3] = {};      // WHITE_PEN .. NULL_PEN
    Font* guiFont = nullptr;
    Font* systemFont = nullptr;
    Brush* dcBrush = nullptr;
    Pen* dcPen = nullptr;
    Bitmap* defaultBitmap = nullptr; // the 1x1 monochrome bitmap of a new memory DC

    // Installed by platform/user.
    std::atomic<COLORREF (*)(int)> sysColors{nullptr};
    std::atomic<int> screenWidth{1920};
    std::atomic<int> screenHeight{1080};

    // Text: FreeType objects are not thread-safe, so every text operation holds textMutex.
    std::mutex textMutex;
    FT_LibraryRec_* library = nullptr;
    // Never freed: font objects, faces and mapped files live as long as the process.
    std::map<std::string, FontFace*> faces;                                   // file|height|Han region
    std::map<std::string, SizedFace*> sizedFaces;                             // file#index@pixels
    std::map<std::string, std::pair<const unsigned char*, size_t>> fontFiles; // path -> mapped bytes
    std::vector<DrawnText> log;
};

SharedState& G();

} // namespace platform::gdi
