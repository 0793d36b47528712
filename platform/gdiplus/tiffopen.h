// libtiff's wide-path entry of its Windows build: opens a TIFF by a path of the system (a DOS path) through the
// platform's files. Modes as TIFFOpen's ("r", "w", ...).
#pragma once

#include "platform/base/wintypes.h"

#include <tiffio.h>

TIFF* TIFFOpenW(const WCHAR* path, const char* mode);
