// The Windows base services the system calls: kernel, files, INI, registry, modules, resources.
#pragma once

#include "platform/base/wintypes.h"
