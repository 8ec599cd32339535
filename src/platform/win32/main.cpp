// The GUI entry point: the whole program is the run; the entry point's own
// arguments (instances, command-line string, show mode) are not used.
#include <windows.h>

#include "driver/driver.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return run_transform(); }
