// The operating-system side of fftext-plot: its arguments, the open dialog,
// reading the spectrum, writing and opening the picture, and messages.
// Exactly one of posix/ and win32/ is compiled in.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"  // PathChar, FileHandle

typedef std::basic_string<PathChar> PlotPath;

// The whole program: arguments or dialog, reading, drawing, writing. Returns
// the exit code: 0 when the picture was written, 1 on a failure, 2 on a
// command line that cannot be used.
int run_plot();

// Arguments, the program itself included as argument 0.
int plot_argument_count();
const PathChar* plot_argument(int index);

// The separators of a path's folders: '/' on POSIX, '\\', '/' and ':' on Windows.
bool is_path_separator(PathChar c);

// The open dialog for the spectrum file. has_open_dialog() is false where the
// program is used from the command line only; ask_spectrum_path is false when
// the user cancelled.
bool has_open_dialog();
bool ask_spectrum_path(PlotPath* path);

// A path as UTF-8 text for messages and the title.
std::string display_name(const PathChar* path);

// The spectrum file: open for reading, its size, reads at an offset (*got <
// count only at the end of the file), close. False on failure.
bool open_spectrum(const PathChar* path, FileHandle* file);
bool spectrum_size(FileHandle file, uint64_t* size);
bool read_spectrum_at(FileHandle file, uint64_t offset, char* buffer, uint32_t count, uint32_t* got);
void close_spectrum(FileHandle file);

// Writes the picture to a new file in the folder of `path` and renames it to
// `path` once it is complete; on failure nothing is left behind and an
// existing file at `path` is untouched.
bool write_picture(const PathChar* path, const std::string& bytes);

// Opens the written picture with the user's viewer, where that is the custom
// (a file dropped on the program); false when it could not be opened.
bool open_picture(const PathChar* path);

// Reports a failure (or the usage): standard error, or a message box
// captioned "fftext-plot".
void show_failure(const std::string& text);
