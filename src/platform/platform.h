// fftext's layer over the operating system: dialogs, its input and output
// files, pages and messages. Exactly one implementation is compiled into the
// program (posix/ or win32/), on the shared layer of os/ (paths, arguments,
// files, threads); the stages above never see what lies beneath.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/failure.h"
#include "common/workers.h"
#include "os/os.h"

// The open and save dialogs. Each returns the chosen path, valid for the rest
// of the run, or nullptr when the user cancelled or no dialog could be shown.
const PathChar* ask_input_path();
const PathChar* ask_output_path();

// Input file: open for reading (others may read too), its 64-bit size, one
// read of `size` bytes into `buffer` (short reads leave the rest untouched;
// a large file is read, or its buffer made present, on up to workers.count
// threads), and close. Each returns false on failure.
bool open_input(const PathChar* path, FileHandle* file);
bool query_size(FileHandle file, uint64_t* size);
bool read_whole(FileHandle file, void* buffer, uint32_t size, const Workers& workers);
void close_input(FileHandle file);

// Zero-filled read-write memory rounded up to whole 4096-byte pages, never
// released. nullptr on failure and for a request of 0 bytes.
void* allocate_pages(size_t bytes);

// Output file: create or truncate (others may read while it is written),
// write all `count` bytes, then either close it or discard it. Each returns
// false on failure. A failed close and a discard remove what create_output
// made, but only a regular file: never a device, never the input.
bool create_output(const PathChar* path, FileHandle* file);
bool write_output(FileHandle file, const void* bytes, size_t count);
bool close_output(FileHandle file, const PathChar* path);
void discard_output(FileHandle file, const PathChar* path);

// Shows a failure to the user: a message box with an exclamation icon and an
// OK button, owned by no window. `dialog_mode` is true when the paths come from
// dialogs (where a terminal may not be watched).
void show_message(const FailureMessage& message, bool dialog_mode);
