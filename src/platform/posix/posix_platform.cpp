// The operating-system layer of fftext on Linux and other POSIX systems:
// the usage, the dialogs and the messages are its own; files and threads go
// through the shared layer.
#include <errno.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/fault_injection.h"
#include "platform/platform.h"
#include "platform/replace_input.h"
#include "platform/posix/posix_dialogs.h"

namespace {

constexpr size_t kPageBytes = 4096;

std::string chosen_input;
std::string chosen_output;

// The input file, to recognise it again when it is also named as the output.
bool input_known = false;
FileIdentity input_identity;

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
    FileIdentity identity;
    return input_known && identity_of_path(path, &identity) && same_file(identity, input_identity);
}

// True when this process may write the file at `path` itself, as opening it
// for output would: an open for writing, without truncating it, asks the
// kernel under the same rules (permission bits, ACLs, a read-only mount, an
// immutable file, root's rights) instead of imitating them. The file opened
// must still be the input.
bool may_write_in_place(const char* path) {
    const int fd = open(path, O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return false;
    FileIdentity identity;
    const bool same = identity_of(fd, &identity) && same_file(identity, input_identity);
    close(fd);
    return same;
}

}  // namespace

const PathChar* ask_input_path() { return ask_path(DialogKind::open_input, &chosen_input); }

const PathChar* ask_output_path() { return ask_path(DialogKind::save_output, &chosen_output); }

bool open_input(const PathChar* path, FileHandle* file) {
    // A directory cannot be opened as a file on Windows either.
    if (injected_failure(Operation::open)) return false;
    if (!open_for_reading(path, file)) return false;
    input_known = identity_of(*file, &input_identity);
    return true;
}

bool query_size(FileHandle file, uint64_t* size) {
    if (injected_failure(Operation::size)) return false;
    return file_size(file, size);
}

namespace {

// Reads [offset, offset + size) of the file into bytes; stops early at its end.
struct ReadPiece {
    FileHandle file;
    char* bytes;
    uint64_t offset;
    size_t size;
    bool ok;
};

void read_piece(void* context) {
    ReadPiece* piece = static_cast<ReadPiece*>(context);
    size_t got = 0;
    // A file that shrank leaves the rest zero, like a shorter file.
    piece->ok = read_at(piece->file, piece->offset, piece->bytes, piece->size, &got);
}

}  // namespace

bool read_whole(FileHandle file, void* buffer, uint32_t size, const Workers& workers) {
    if (injected_failure(Operation::read)) return false;
    // Copying a large file out of the page cache and faulting in the pages it
    // lands on goes faster on several cores: each reads a piece of its own.
    constexpr uint32_t kPieceAlign = 1u << 20;
    int pieces = size < kReadThreadBytes || workers.count < 1 ? 1 : workers.count;
    if (pieces > kMostReadThreads) pieces = kMostReadThreads;
    const uint32_t share =
        (size / static_cast<uint32_t>(pieces) + kPieceAlign - 1u) / kPieceAlign * kPieceAlign;

    ReadPiece piece[kMostReadThreads];
    void* contexts[kMostReadThreads];
    for (int i = 0; i < pieces; ++i) {
        uint64_t begin = static_cast<uint64_t>(share) * static_cast<uint32_t>(i);
        if (begin > size) begin = size;
        const uint64_t end = i + 1 == pieces || size - begin < share ? size : begin + share;
        piece[i] = ReadPiece{file, static_cast<char*>(buffer) + begin, begin, static_cast<size_t>(end - begin), true};
        contexts[i] = &piece[i];
    }
    workers.run(read_piece, contexts, pieces);
    for (int i = 0; i < pieces; ++i) {
        if (!piece[i].ok) return false;
    }
    return true;
}

void close_input(FileHandle file) { close_file(file); }

void* allocate_pages(size_t bytes) {
    if (injected_failure(Operation::allocate)) return nullptr;
    if (bytes == 0 || bytes > SIZE_MAX - kPageBytes) return nullptr;
    size_t rounded = (bytes + kPageBytes - 1) / kPageBytes * kPageBytes;
    void* block = mmap(nullptr, rounded, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return block == MAP_FAILED ? nullptr : block;
}

bool create_output(const PathChar* path, FileHandle* file) {
    if (injected_failure(Operation::create)) return false;
    if (is_input_file(path)) {
        return may_write_in_place(path) && start_replacement(path, file);
    }
    const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    *file = fd;
    return true;
}

bool write_output(FileHandle file, const void* bytes, size_t count) {
    if (injected_failure(Operation::write)) return false;
    return write_all(file, bytes, count);
}

namespace {

// Removes the output file itself if it is a regular one (never a device such
// as /dev/full, whatever the rights of the user).
void remove_output(const char* path) {
    struct stat status;
    if (lstat(path, &status) == 0 && S_ISREG(status.st_mode)) unlink(path);
}

}  // namespace

bool close_output(FileHandle file, const PathChar* path) {
    if (replacing_input()) return finish_replacement();
    const bool closed = close(static_cast<int>(file)) == 0 && !injected_failure(Operation::close);
    if (!closed) remove_output(path);
    return closed;
}

void discard_output(FileHandle file, const PathChar* path) {
    if (replacing_input()) {
        drop_replacement();
        return;
    }
    close(static_cast<int>(file));
    remove_output(path);
}

void show_message(const FailureMessage& message, bool dialog_mode) {
    std::fprintf(stderr, "%s: %s\n", message.caption, message.text);
    if (dialog_mode) show_desktop_message(message);
}
