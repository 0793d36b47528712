#include "platform/base/windows.h"
