#include "ui/dialogs/BoxInput.h"

namespace {

bool KeyHeld(int virtKey) {
    return HIBYTE(static_cast<WORD>(::GetKeyState(virtKey))) == 0xFF;
}

} // namespace

BOOL IsIgnoredBoxInput(const MSG* msg) {
    if (msg->message == WM_RBUTTONDOWN)
        return TRUE;
    return msg->message == WM_KEYDOWN && (KeyHeld(VK_RETURN) || KeyHeld(VK_ESCAPE) || KeyHeld(VK_SPACE));
}

bool IsKeyDown(int virtKey) {
    return (::GetKeyState(virtKey) & 0x8000) != 0;
}
