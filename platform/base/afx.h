// The framework of base: CString, CObject and run-time classes, the application object, collections.
#pragma once

#include "platform/base/windows.h"
#include "platform/base/cstring.h"
#include "platform/base/afxcore.h"
