// The program around the core: the command line, the files, the messages.
// run_import is the same on every build; the few calls below are each
// entry's own (posix/: standard error; win32/: message boxes and dialogs).
#pragma once

#include <string>

#include "os/os.h"

// The whole program. Returns the exit code: 0 when the data file was written,
// 1 on a failure, 2 on a command line that cannot be used (the export named
// as the data file included).
int run_import();

// The open dialog for the export; false where there is none or the user
// cancelled.
bool has_open_dialog();
bool ask_export_path(Path* path);

// Asks whether an existing data file may be replaced (a file dropped on the
// program); false where nobody can be asked.
bool ask_to_replace(const std::string& question);

// The summary and warnings of a conversion. `dropped`: the file was dropped
// on the program or chosen in the dialog (only then does a window show it).
void show_summary(const std::string& text, bool dropped);
// A failure or the usage.
void show_failure(const std::string& text);
// --help and --version.
void show_help(const std::string& text);
