// The entry of a program built on the framework: the global application object was built by static
// initialisation; this runs its InitInstance and then its message loop or ExitInstance.
#include "platform/base/afxcore.h"

int main() {
    return platform::afx::RunProgram();
}
