// Writing a whole settings file so that a write cut short never leaves it half written.
#pragma once

#include "platform/base/windows.h"

#include <cstddef>

// Writes `size` bytes as the whole new content of `path`: into "<path>.new" beside it first, flushed, then renamed
// over it. false, with the previous file as it was and no ".new" file left, when any step fails; GetLastError then
// tells why.
bool WriteFileReplacing(const WCHAR* path, const void* data, size_t size);
