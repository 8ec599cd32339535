// fftext-plot on Linux and other POSIX systems: a command-line program with
// no dialog, which leaves opening the picture to the user.
#include <cstdio>

#include "plot/plot_platform.h"

bool has_open_dialog() { return false; }

bool ask_spectrum_path(Path*) { return false; }

bool open_picture(const PathChar*) { return true; }

void show_failure(const std::string& text) { std::fprintf(stderr, "fftext-plot: %s\n", text.c_str()); }
