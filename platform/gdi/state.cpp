// The process-wide state of the renderer (see state.h): built by the first copy of platform that needs it and
// published in the environment, tagged with the process id so that a child process builds its own.
#include "platform/gdi/state.h"

#include "platform/gdi/internal.h"

#include "platform/base/lifetime.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

namespace platform::gdi {

namespace {

// Versioned: the layout of SharedState changes with it (V2: fonts and shaped-line caches).
constexpr const char* kStateVariable = "PLATFORM_GDI_STATE_V2";

// Stock objects are valid handles but never counted as live objects nor freed.
template <class T> T* Stock(SharedState& g, T* obj) {
    obj->stock = true;
    g.live.emplace(obj, static_cast<int>(obj->kind));
    return obj;
}

} // namespace

SharedState::SharedState() {
    const COLORREF greys[5] = {RGB(255, 255, 255), RGB(192, 192, 192), RGB(128, 128, 128), RGB(64, 64, 64),
                               RGB(0, 0, 0)};
    for (int i = 0; i < 5; ++i) {
        stockBrushes[i] = Stock(*this, new Brush);
        stockBrushes[i]->color = greys[i];
    }
    stockBrushes[NULL_BRUSH] = Stock(*this, new Brush);
    stockBrushes[NULL_BRUSH]->style = BS_NULL;
    stockPens[0] = Stock(*this, new Pen);
    stockPens[0]->color = RGB(255, 255, 255);
    stockPens[1] = Stock(*this, new Pen);
    stockPens[2] = Stock(*this, new Pen);
    stockPens[2]->style = PS_NULL;
    guiFont = Stock(*this, new Font);
    guiFont->log.lfHeight = -11;
    guiFont->log.lfWeight = FW_NORMAL;
    std::memcpy(guiFont->log.lfFaceName, u"MS Shell Dlg", sizeof(u"MS Shell Dlg"));
    systemFont = Stock(*this, new Font);
    systemFont->log.lfHeight = 16;
    systemFont->log.lfWeight = FW_BOLD;
    std::memcpy(systemFont->log.lfFaceName, u"System", sizeof(u"System"));
    dcBrush = Stock(*this, new Brush);
    dcPen = Stock(*this, new Pen);
    defaultBitmap = Stock(*this, new Bitmap);
    defaultBitmap->width = defaultBitmap->height = 1;
    defaultBitmap->mono = true;
    defaultBitmap->store.assign(1, 0);
}

SharedState& G() {
    // Lives as long as the process: DCs may be used during exit.
    static SharedState* state = platform::ProcessWide<SharedState>(kStateVariable);
    return *state;
}

} // namespace platform::gdi
