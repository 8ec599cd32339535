// The operating-system layer on Linux and other POSIX systems.
#include "platform/posix/posix_platform.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "platform/posix/posix_dialogs.h"

namespace {

constexpr size_t kPageBytes = 4096;

int kept_argc = 0;
char** kept_argv = nullptr;
std::string chosen_input;
std::string chosen_output;

int descriptor(FileHandle file) { return static_cast<int>(file); }

const PathChar* ask_path(DialogKind kind, std::string* path) {
    switch (run_file_dialog(kind, path)) {
        case DialogOutcome::chosen:
            return path->c_str();
        case DialogOutcome::cancelled:
            return nullptr;
        case DialogOutcome::unavailable:
            break;
    }
    std::fputs("usage: fftext INPUT OUTPUT\n", stderr);
    return nullptr;
}

}  // namespace

void keep_arguments(int argc, char** argv) {
    kept_argc = argc;
    kept_argv = argv;
}

int argument_count() { return kept_argc; }

const PathChar* argument(int index) { return kept_argv[index]; }

const PathChar* ask_input_path() { return ask_path(DialogKind::open_input, &chosen_input); }

const PathChar* ask_output_path() { return ask_path(DialogKind::save_output, &chosen_output); }

bool open_input(const PathChar* path, FileHandle* file) {
    // Non-blocking, so that a FIFO without a writer cannot hang the open. A
    // directory cannot be opened as a file on Windows either.
    int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat status;
    if (fstat(fd, &status) != 0 || S_ISDIR(status.st_mode)) {
        close(fd);
        return false;
    }
    *file = fd;
    return true;
}

bool query_size(FileHandle file, uint64_t* size) {
    struct stat status;
    if (fstat(descriptor(file), &status) != 0 || status.st_size < 0) return false;
    // Only regular files have a size; a pipe or a device reads as empty.
    *size = S_ISREG(status.st_mode) ? static_cast<uint64_t>(status.st_size) : 0;
    return true;
}

bool read_whole(FileHandle file, void* buffer, uint32_t size) {
    char* bytes = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < size) {
        ssize_t got = read(descriptor(file), bytes + done, size - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) break;  // the file shrank: the rest stays zero, like a shorter file
        done += static_cast<size_t>(got);
    }
    return true;
}

void close_input(FileHandle file) { close(descriptor(file)); }

void* allocate_pages(size_t bytes) {
    if (bytes == 0 || bytes > SIZE_MAX - kPageBytes) return nullptr;
    size_t rounded = (bytes + kPageBytes - 1) / kPageBytes * kPageBytes;
    void* block = mmap(nullptr, rounded, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return block == MAP_FAILED ? nullptr : block;
}

bool create_output(const PathChar* path, FileHandle* file) {
    int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    *file = fd;
    return true;
}

bool write_output(FileHandle file, const void* bytes, size_t count) {
    const char* cursor = static_cast<const char*>(bytes);
    while (count > 0) {
        ssize_t written = write(descriptor(file), cursor, count);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        cursor += written;
        count -= static_cast<size_t>(written);
    }
    return true;
}

bool close_output(FileHandle file) { return close(descriptor(file)) == 0; }

void remove_output(const PathChar* path) {
    // Only what a failed run left as a regular file goes: never a device such
    // as /dev/full, whatever the rights of the user.
    struct stat status;
    if (lstat(path, &status) == 0 && S_ISREG(status.st_mode)) unlink(path);
}

void show_message(const FailureMessage& message, bool dialog_mode) {
    std::fprintf(stderr, "%s: %s\n", message.caption, message.text);
    if (dialog_mode) show_desktop_message(message);
}
