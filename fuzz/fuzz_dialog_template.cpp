// The dialog template reader (the text form of DIALOG resources): any text either parses or is refused with a
// message, never past its end.

#include "FuzzSupport.h"

#include "platform/user/dialog_template.h"

#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly the input's size, so a read past its end is caught.
    const std::string text(reinterpret_cast<const char*>(data), size);
    platform::user::DialogTemplate dialog;
    std::string error;
    const bool parsed = platform::user::ParseDialogTemplate(std::string_view(text.data(), text.size()), dialog, &error);
    fuzz::Check(parsed || !error.empty(), "a refused template says why");
    return 0;
}
