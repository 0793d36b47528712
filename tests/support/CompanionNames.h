// The companion file names as the module has them when it loads. An engine puts the File Prefix in front of them
// once, as the module's one engine does; tests that build engines of their own put the names back first.
#pragma once

#include "settings/CompanionNames.h"

namespace testsupport {

inline void ResetCompanionNames() {
    wcscpy_s(g_szHelpFileName, u"twXXXX.chm");
    wcscpy_s(g_szAppHelpFileName, u"AppXXXX.chm");
    wcscpy_s(g_szResLibraryName, u"twrcXXXX.dll");
    wcscpy_s(g_szEffectLibName, u"Tonalis.dll");
}

} // namespace testsupport
