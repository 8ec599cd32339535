// The GUI entry point of fftext-plot; its own arguments are not used (the
// command line is read by the platform layer).
#include <windows.h>

#include "plot/plot_platform.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return run_plot(); }
