// When the output names the input file itself, the spectrum goes to a new
// file beside it that replaces the input only once it is complete and
// closed: a failed write must not destroy the user's data. Both platform
// layers decide whether the input may be replaced; this does the rest.
#pragma once

#include "os/os.h"

// Creates the new file beside `path` with the input's rights; false when it
// cannot be made.
bool start_replacement(const PathChar* path, FileHandle* file);
// True between a successful start_replacement and its finish or drop.
bool replacing_input();
// Closes the new file and renames it over the input; on a failure (an
// injected one included) removes it and leaves the input as it was.
bool finish_replacement();
// Closes and removes the new file.
void drop_replacement();
