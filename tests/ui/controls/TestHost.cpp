#include "TestHost.h"

namespace controls_test {

BEGIN_MESSAGE_MAP(TestHost, CDialog)
ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

} // namespace controls_test
