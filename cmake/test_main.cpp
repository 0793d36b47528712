// The main of every test program: the staged system's folders are known at build time, so a test binary finds
// them whether ctest or a person starts it; an environment that already names them wins.
#include <cstdlib>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    setenv("STAGE_DIR", PROJECT_STAGE_DIR, 0);
    setenv("MODULE_DIR", PROJECT_MODULE_DIR, 0);
    // A test ends its dialogs itself: none is declined by the clock (children started by the tests included).
    setenv("PLATFORM_DIALOG_TIMEOUT", "0", 0);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
