// The Windows base services the system calls: kernel, files, INI, registry, modules, resources.
#pragma once

#include "platform/base/wintypes.h"
#include "platform/base/winerror.h"
#include "platform/base/wstring.h"
#include "platform/base/winbase.h"
#include "platform/base/module.h"
#include "platform/base/resource.h"
#include "platform/base/profile.h"
#include "platform/base/registry.h"
#include "platform/base/commandline.h"
