// The device-scan program: its one application object, built before the program's entry.
#include "devicescan/CScanManagerApp.h"

CScanManagerApp theApp;
