// What fftext-plot needs of the operating system beyond the shared layer of
// os/ (arguments, files, writing beside and renaming): the open dialog,
// opening the picture in a viewer, and messages. Exactly one of posix/ and
// win32/ is compiled in.
#pragma once

#include <string>

#include "os/os.h"

// The whole program: arguments or dialog, reading, drawing, writing. Returns
// the exit code: 0 when the picture was written, 1 on a failure, 2 on a
// command line that cannot be used.
int run_plot();

// The open dialog for the spectrum file. has_open_dialog() is false where the
// program is used from the command line only; ask_spectrum_path is false when
// the user cancelled.
bool has_open_dialog();
bool ask_spectrum_path(Path* path);

// Opens the written picture with the user's viewer, where that is the custom
// (a file dropped on the program); false when it could not be opened.
bool open_picture(const PathChar* path);

// Reports a failure (or the usage): standard error, or a message box
// captioned "fftext-plot".
void show_failure(const std::string& text);
