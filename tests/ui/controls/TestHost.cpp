#include "TestHost.h"

#include <cstdlib>

namespace controls_test {

// The tests drive input themselves: no X windows (and no real pointer) even when DISPLAY is set.
const int g_headless = setenv("PLATFORM_HEADLESS", "1", 0);

BEGIN_MESSAGE_MAP(TestHost, CDialog)
ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

} // namespace controls_test
