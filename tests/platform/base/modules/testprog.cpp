// A program whose application object reports how the framework started it; its exit code is ExitInstance's.
#include "platform/base/afx.h"

#include <cstdio>
#include <cstdlib>

namespace {

class CTestProgApp : public CWinApp {
public:
    BOOL InitInstance() override {
        std::printf("init %s [%s]\n", platform::ToUtf8(m_pszAppName).c_str(), platform::ToUtf8(m_lpCmdLine).c_str());
        return std::getenv("TESTPROG_RUN") ? TRUE : FALSE;
    }
    int ExitInstance() override {
        std::printf("exit\n");
        return 7;
    }
};

CTestProgApp theApp;

} // namespace
