// The operating-system calls that every program of the project needs, made
// once for each platform (posix/ or win32/): the command line, reading files,
// writing a file beside its destination and renaming it into place, telling
// whether two paths name the same file, the processors and threads. Dialogs
// and message boxes stay with each program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#ifdef _WIN32
typedef wchar_t PathChar;  // UTF-16 paths as the Windows API takes them
#else
typedef char PathChar;  // byte strings as the kernel takes them
#endif
typedef std::basic_string<PathChar> Path;

// An open file: a descriptor on POSIX, a HANDLE on Windows.
typedef intptr_t FileHandle;

// ---- The command line

// POSIX: main hands its arguments over before anything else. Windows splits
// GetCommandLineW itself into UTF-16 arguments (the arguments of main are not
// used there).
void keep_arguments(int argc, char** argv);

// The number of arguments, the program itself included, and argument `index`
// (0 <= index < count). Both stay valid for the whole run. A command line
// that cannot be split counts as no arguments.
int argument_count();
const PathChar* argument(int index);

// ---- Paths

// '/' on POSIX; '\\', '/' and ':' on Windows.
bool is_path_separator(PathChar c);

// A path as UTF-8 for messages (Windows converts; POSIX gives the bytes as
// they are: escape them before showing them anywhere).
std::string display_name(const PathChar* path);

// UTF-8 (or ASCII) text as a path, for building names such as "x.svg".
Path path_of(const std::string& utf8);

// The rest is the same on every system (paths.cpp).

// `argument` is exactly the ASCII text `word` ("--help").
bool argument_is(const PathChar* argument, const char* word);
// Where the extension of the path's last name begins (its last '.', not the
// name's first character), or path.size() when it has none.
size_t extension_start(const Path& path);
// The path ends in the ASCII text `suffix` (".svg"), whatever the case of
// its letters A to Z.
bool ends_with_any_case(const Path& path, const char* suffix);

// The system's reason for the last failed call of this layer on this thread,
// in English ("No such file or directory"), for messages.
std::string system_reason();

// ---- Reading

// Opens an existing file for reading; others may read it too. A folder is
// refused, and on POSIX a FIFO without a writer does not block the open.
bool open_for_reading(const PathChar* path, FileHandle* file);
// The size of a regular file; anything else (a pipe, a device) has size 0.
bool file_size(FileHandle file, uint64_t* size);
// Reads up to `count` bytes at `offset`; *got < count only at the end of the
// file. False on a read error.
bool read_at(FileHandle file, uint64_t offset, void* buffer, size_t count, size_t* got);
void close_file(FileHandle file);

// ---- Identity

// Which file a handle or a path reaches, whatever the spelling of its name
// (case, "..", links): device and inode on POSIX, volume serial number and
// file index on Windows.
struct FileIdentity {
    uint64_t volume;
    uint64_t index;
};
bool identity_of(FileHandle file, FileIdentity* identity);
// False when nothing can be found at `path` (it does not exist, or cannot be
// reached).
bool identity_of_path(const PathChar* path, FileIdentity* identity);
inline bool same_file(const FileIdentity& a, const FileIdentity& b) {
    return a.volume == b.volume && a.index == b.index;
}

// ---- Writing beside the destination

// The rights a file written beside its destination gets.
enum class NewFileRights {
    usual,          // those of any new file (0666 less the umask; the folder's inherited ones)
    like_replaced,  // the replaced file's mode, and its owner and group where this process may give them
};

// A file being written in the folder of its destination (links followed), to
// be renamed over it once complete, so that a failure never leaves a partial
// file or touches what was there.
struct BesideFile {
    FileHandle file;
    Path temporary;    // the new file's own name; empty once renamed or removed
    Path destination;  // the name it takes, with links resolved
};

// Creates the new file beside `destination`. The temporary name does not
// depend on the length of the folder's name beyond the system's own limits.
bool create_beside(const PathChar* destination, NewFileRights rights, BesideFile* beside);
// Writes all `count` bytes (any number; short writes and interruptions are
// retried).
bool write_all(FileHandle file, const void* bytes, size_t count);
// Closes the file and renames it over its destination. With `may_replace`
// false the rename fails where the destination exists by then. On any failure
// the new file is removed and the destination left as it was.
bool commit_beside(BesideFile* beside, bool may_replace);
// Closes and removes the new file.
void abandon_beside(BesideFile* beside);

// ---- Processors and threads

// The processors available to the run, 1 ... 64.
int processor_count();

// Threads are started with this stack size, whatever the system's default
// thread stack (128 KiB to 8 MiB, or the stack limit, depending on the C
// library). No step keeps large arrays on a stack: the deepest worker
// measured needs about 8 KiB (64 transform threads at 2^22 points), so this
// leaves a margin of 30 times.
constexpr size_t kThreadStackBytes = size_t{256} << 10;

// Runs task(contexts[i]) for i = 0 ... count - 1, on threads of their own
// where possible (the caller's thread takes the first), and returns when all
// are done. Where a thread cannot be started, the caller does its task.
void run_parallel(void (*task)(void*), void* const* contexts, int count);
