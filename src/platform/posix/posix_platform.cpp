// The operating-system layer on Linux and other POSIX systems.
#include "platform/posix/posix_platform.h"

#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/fault_injection.h"
#include "platform/platform.h"
#include "platform/posix/posix_dialogs.h"
#include "platform/processors.h"

namespace {

constexpr size_t kPageBytes = 4096;

int kept_argc = 0;
char** kept_argv = nullptr;
std::string chosen_input;
std::string chosen_output;

// The input file, to recognise it again when it is also named as the output.
bool input_known = false;
struct stat input_status;

// When the output is the input file itself, the spectrum goes to a new file
// beside it that replaces the input only once it is complete: a failed write
// must not destroy the user's data.
std::string replacement_path;  // the new file, empty when writing directly
std::string replaced_path;     // the input's real path, renamed over at the close

int descriptor(FileHandle file) { return static_cast<int>(file); }

// The usage line, unchanged since the first release, and a few lines for
// someone who ran the program without knowing it.
void print_usage() {
    std::fputs(
        "usage: fftext INPUT OUTPUT\n"
        "Computes the Fourier spectrum of INPUT, a text file of \"abscissa ordinate\"\n"
        "lines with equidistant abscissae, and writes frequency, magnitude and phase\n"
        "rows to OUTPUT. Without both paths, file dialogs ask for them on a desktop.\n"
        "Exit code: 1 when the spectrum was written, 0 otherwise.\n"
        "Manual: man fftext (input format, messages, scripting, reading the output).\n",
        stderr);
}

const PathChar* ask_path(DialogKind kind, std::string* path) {
    std::string failure;
    switch (run_file_dialog(kind, path, &failure)) {
        case DialogOutcome::chosen:
            return path->c_str();
        case DialogOutcome::cancelled:
            return nullptr;
        case DialogOutcome::unavailable:
        case DialogOutcome::failed:
            break;
    }
    print_usage();
    if (!failure.empty())
        std::fprintf(stderr, "fftext: the file dialog could not be shown: %s\n", failure.c_str());
    return nullptr;
}

bool is_input_file(const char* path) {
    struct stat status;
    return input_known && stat(path, &status) == 0 && status.st_dev == input_status.st_dev &&
           status.st_ino == input_status.st_ino;
}

// True when this process may write the file at `path` itself, as opening it
// for output would: an open for writing, without truncating it, asks the
// kernel under the same rules (permission bits, ACLs, a read-only mount, an
// immutable file, root's rights) instead of imitating them. The file opened
// must still be the input.
bool may_write_in_place(const char* path) {
    const int fd = open(path, O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat status;
    const bool same = fstat(fd, &status) == 0 && status.st_dev == input_status.st_dev &&
                      status.st_ino == input_status.st_ino;
    close(fd);
    return same;
}

// A new file in the directory of the input's real path (a link is followed),
// with the input's permissions, and its owner and group where this process
// may give them (root may; another user may keep the group if a member).
int create_replacement(const char* path) {
    if (!may_write_in_place(path)) return -1;
    char* real = realpath(path, nullptr);
    if (real == nullptr) return -1;
    replaced_path = real;
    std::free(real);
    const size_t slash = replaced_path.rfind('/');
    std::string name = replaced_path.substr(0, slash + 1) + ".fftext-XXXXXX";
    int fd = mkostemp(&name[0], O_CLOEXEC);
    if (fd < 0) return -1;
    replacement_path = name;
    // Owner before mode: a change of owner clears the set-user-ID bit.
    if (fchown(fd, input_status.st_uid, input_status.st_gid) != 0 &&
        fchown(fd, static_cast<uid_t>(-1), input_status.st_gid) != 0) {
        // Neither may be given: the new file stays the running user's.
    }
    fchmod(fd, input_status.st_mode & 07777);
    return fd;
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
    if (injected_failure(Operation::open)) return false;
    int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    if (fstat(fd, &input_status) != 0 || S_ISDIR(input_status.st_mode)) {
        close(fd);
        return false;
    }
    input_known = true;
    *file = fd;
    return true;
}

bool query_size(FileHandle file, uint64_t* size) {
    if (injected_failure(Operation::size)) return false;
    struct stat status;
    if (fstat(descriptor(file), &status) != 0 || status.st_size < 0) return false;
    // Only regular files have a size; a pipe or a device reads as empty.
    *size = S_ISREG(status.st_mode) ? static_cast<uint64_t>(status.st_size) : 0;
    return true;
}

// Reads [offset, offset + size) of the file into bytes; stops early at its end.
struct ReadPiece {
    int descriptor;
    char* bytes;
    uint64_t offset;
    size_t size;
    bool ok;
};

void read_piece(void* context) {
    ReadPiece* piece = static_cast<ReadPiece*>(context);
    size_t done = 0;
    while (done < piece->size) {
        const ssize_t got = pread(piece->descriptor, piece->bytes + done, piece->size - done,
                                  static_cast<off_t>(piece->offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            piece->ok = false;
            return;
        }
        if (got == 0) return;  // the file shrank: the rest stays zero, like a shorter file
        done += static_cast<size_t>(got);
    }
}

bool read_whole(FileHandle file, void* buffer, uint32_t size, const Workers& workers) {
    if (injected_failure(Operation::read)) return false;
    // Copying a large file out of the page cache and faulting in the pages it
    // lands on goes faster on several cores: each reads a piece of its own.
    constexpr uint32_t kPieceAlign = 1u << 20;
    constexpr uint32_t kParallelBytes = 16u << 20;
    constexpr int kMostPieces = 8;
    int pieces = size < kParallelBytes || workers.count < 1 ? 1 : workers.count;
    if (pieces > kMostPieces) pieces = kMostPieces;
    const uint32_t share =
        (size / static_cast<uint32_t>(pieces) + kPieceAlign - 1u) / kPieceAlign * kPieceAlign;

    ReadPiece piece[kMostPieces];
    void* contexts[kMostPieces];
    for (int i = 0; i < pieces; ++i) {
        uint64_t begin = static_cast<uint64_t>(share) * static_cast<uint32_t>(i);
        if (begin > size) begin = size;
        const uint64_t end = i + 1 == pieces || size - begin < share ? size : begin + share;
        piece[i] = ReadPiece{descriptor(file), static_cast<char*>(buffer) + begin, begin,
                             static_cast<size_t>(end - begin), true};
        contexts[i] = &piece[i];
    }
    workers.run(read_piece, contexts, pieces);
    for (int i = 0; i < pieces; ++i) {
        if (!piece[i].ok) return false;
    }
    return true;
}

void close_input(FileHandle file) { close(descriptor(file)); }

void* allocate_pages(size_t bytes) {
    if (injected_failure(Operation::allocate)) return nullptr;
    if (bytes == 0 || bytes > SIZE_MAX - kPageBytes) return nullptr;
    size_t rounded = (bytes + kPageBytes - 1) / kPageBytes * kPageBytes;
    void* block = mmap(nullptr, rounded, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return block == MAP_FAILED ? nullptr : block;
}

bool create_output(const PathChar* path, FileHandle* file) {
    if (injected_failure(Operation::create)) return false;
    int fd = is_input_file(path) ? create_replacement(path)
                                 : open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    *file = fd;
    return true;
}

bool write_output(FileHandle file, const void* bytes, size_t count) {
    const char* cursor = static_cast<const char*>(bytes);
    if (injected_failure(Operation::write)) return false;
    while (count > 0) {
        ssize_t written = write(descriptor(file), cursor, count);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        cursor += written;
        count -= static_cast<size_t>(written);
    }
    return true;
}

// Removes what create_output made: the replacement beside the input, or the
// file itself if it is a regular one (never a device such as /dev/full,
// whatever the rights of the user).
static void remove_output(const char* path) {
    if (!replacement_path.empty()) {
        unlink(replacement_path.c_str());
        replacement_path.clear();
        return;
    }
    struct stat status;
    if (lstat(path, &status) == 0 && S_ISREG(status.st_mode)) unlink(path);
}

bool close_output(FileHandle file, const PathChar* path) {
    bool closed = close(descriptor(file)) == 0 && !injected_failure(Operation::close);
    if (closed && !replacement_path.empty()) {
        closed = rename(replacement_path.c_str(), replaced_path.c_str()) == 0;
        if (closed) replacement_path.clear();
    }
    if (!closed) remove_output(path);
    return closed;
}

void discard_output(FileHandle file, const PathChar* path) {
    close(descriptor(file));
    remove_output(path);
}

namespace {

struct ThreadTask {
    void (*task)(void*);
    void* context;
};

void* run_thread_task(void* argument) {
    const ThreadTask* work = static_cast<const ThreadTask*>(argument);
    work->task(work->context);
    return nullptr;
}

}  // namespace

void run_parallel(void (*task)(void*), void* const* contexts, int count) {
    constexpr int kMostThreads = 64;
    pthread_t threads[kMostThreads];
    ThreadTask work[kMostThreads];
    bool started[kMostThreads] = {};
    for (int i = 1; i < count; ++i) {
        bool on_thread = false;
        if (i < kMostThreads) {
            work[i] = ThreadTask{task, contexts[i]};
            on_thread = started[i] = pthread_create(&threads[i], nullptr, run_thread_task, &work[i]) == 0;
        }
        if (!on_thread) task(contexts[i]);
    }
    if (count > 0) task(contexts[0]);
    for (int i = 1; i < count && i < kMostThreads; ++i) {
        if (started[i]) pthread_join(threads[i], nullptr);
    }
}

int processor_count() {
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online < 1 ? 1 : static_cast<int>(online < 64 ? online : 64);
}

void show_message(const FailureMessage& message, bool dialog_mode) {
    std::fprintf(stderr, "%s: %s\n", message.caption, message.text);
    if (message.detail[0] != '\0') std::fprintf(stderr, "fftext: %s\n", message.detail);
    if (dialog_mode) show_desktop_message(message);
}
