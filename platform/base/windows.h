// The Windows base services the system calls: kernel, files, INI, registry, modules, resources.
#pragma once

#include "platform/base/wintypes.h"
#include "platform/base/winerror.h"
#include "platform/base/wstring.h"
#include "platform/base/winbase.h"
