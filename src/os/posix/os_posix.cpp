// The shared operating-system layer on Linux and other POSIX systems.
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "os/os.h"

namespace {

int kept_argc = 0;
char** kept_argv = nullptr;

int descriptor(FileHandle file) { return static_cast<int>(file); }

// New files get 0666 less the umask, as any program's do; mkostemp makes 0600.
mode_t usual_mode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// Gives the new file the replaced one's owner and group where this process
// may (root may; another user may keep the group if a member of it), then
// its mode. Owner first: a change of owner clears the set-user-ID bit.
void take_rights_of(int fd, const struct stat& replaced) {
    if (fchown(fd, replaced.st_uid, replaced.st_gid) != 0 &&
        fchown(fd, static_cast<uid_t>(-1), replaced.st_gid) != 0) {
        // Neither may be given: the new file stays the running user's.
    }
    fchmod(fd, replaced.st_mode & 07777);
}

}  // namespace

void keep_arguments(int argc, char** argv) {
    kept_argc = argc;
    kept_argv = argv;
}

int argument_count() { return kept_argc; }

const PathChar* argument(int index) { return kept_argv[index]; }

bool is_path_separator(PathChar c) { return c == '/'; }

std::string display_name(const PathChar* path) { return path; }

Path path_of(const std::string& utf8) { return utf8; }

std::string system_reason() {
    // strerror's texts in a program that never sets a locale: the C locale's.
    const int error = errno;
    const char* text = std::strerror(error);
    return text != nullptr ? text : "error " + std::to_string(error);
}

bool open_for_reading(const PathChar* path, FileHandle* file) {
    // Non-blocking, so that a FIFO without a writer cannot hang the open.
    const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat status;
    if (fstat(fd, &status) != 0 || S_ISDIR(status.st_mode)) {
        const int error = S_ISDIR(status.st_mode) ? EISDIR : errno;
        close(fd);
        errno = error;
        return false;
    }
    *file = fd;
    return true;
}

bool file_size(FileHandle file, uint64_t* size) {
    struct stat status;
    if (fstat(descriptor(file), &status) != 0 || status.st_size < 0) return false;
    *size = S_ISREG(status.st_mode) ? static_cast<uint64_t>(status.st_size) : 0;
    return true;
}

bool read_at(FileHandle file, uint64_t offset, void* buffer, size_t count, size_t* got) {
    char* bytes = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = pread(descriptor(file), bytes + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) break;  // a pipe opened without blocking: nothing there
        if (n < 0) {
            *got = done;
            return false;
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    *got = done;
    return true;
}

void close_file(FileHandle file) { close(descriptor(file)); }

bool identity_of(FileHandle file, FileIdentity* identity) {
    struct stat status;
    if (fstat(descriptor(file), &status) != 0) return false;
    *identity = FileIdentity{static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
    return true;
}

bool identity_of_path(const PathChar* path, FileIdentity* identity) {
    struct stat status;
    if (stat(path, &status) != 0) return false;
    *identity = FileIdentity{static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
    return true;
}

bool create_beside(const PathChar* destination, NewFileRights rights, BesideFile* beside) {
    // An existing destination is replaced where its links lead, so that a link
    // stays a link; a new one goes where its name says.
    std::string target = destination;
    struct stat replaced;
    const bool exists = stat(destination, &replaced) == 0;
    if (exists) {
        char* real = realpath(destination, nullptr);
        if (real == nullptr) return false;
        target = real;
        std::free(real);
    }
    const size_t slash = target.rfind('/');
    std::string name = (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + ".fftext-XXXXXX";
    const int fd = mkostemp(&name[0], O_CLOEXEC);
    if (fd < 0) return false;
    if (rights == NewFileRights::like_replaced && exists) {
        take_rights_of(fd, replaced);
    } else {
        fchmod(fd, usual_mode());
    }
    *beside = BesideFile{fd, name, target};
    return true;
}

bool write_all(FileHandle file, const void* bytes, size_t count) {
    const char* cursor = static_cast<const char*>(bytes);
    while (count > 0) {
        const ssize_t written = write(descriptor(file), cursor, count);
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return false;
        if (written == 0) {
            errno = ENOSPC;
            return false;
        }
        cursor += written;
        count -= static_cast<size_t>(written);
    }
    return true;
}

namespace {

// Renames without replacing: link() fails where the name exists, on every
// file system that has links; one that has none (vfat) is asked first.
bool rename_new(const std::string& from, const std::string& to) {
    if (link(from.c_str(), to.c_str()) == 0) {
        unlink(from.c_str());  // the new name holds the file already
        return true;
    }
    if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP) return false;
    struct stat status;
    if (lstat(to.c_str(), &status) == 0) {
        errno = EEXIST;
        return false;
    }
    return rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace

bool commit_beside(BesideFile* beside, bool may_replace) {
    bool done = close(descriptor(beside->file)) == 0;
    if (done) {
        done = may_replace ? rename(beside->temporary.c_str(), beside->destination.c_str()) == 0
                           : rename_new(beside->temporary, beside->destination);
    }
    if (!done) {
        const int error = errno;
        unlink(beside->temporary.c_str());
        errno = error;
    }
    beside->temporary.clear();
    return done;
}

void abandon_beside(BesideFile* beside) {
    const int error = errno;
    close(descriptor(beside->file));
    unlink(beside->temporary.c_str());
    beside->temporary.clear();
    errno = error;
}

int processor_count() {
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online < 1 ? 1 : static_cast<int>(online < 64 ? online : 64);
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
    pthread_attr_t attributes;
    const bool sized = pthread_attr_init(&attributes) == 0;
    if (sized) pthread_attr_setstacksize(&attributes, kThreadStackBytes);
    for (int i = 1; i < count; ++i) {
        bool on_thread = false;
        if (i < kMostThreads) {
            work[i] = ThreadTask{task, contexts[i]};
            on_thread = started[i] =
                pthread_create(&threads[i], sized ? &attributes : nullptr, run_thread_task, &work[i]) == 0;
        }
        if (!on_thread) task(contexts[i]);
    }
    if (count > 0) task(contexts[0]);
    for (int i = 1; i < count && i < kMostThreads; ++i) {
        if (started[i]) pthread_join(threads[i], nullptr);
    }
    if (sized) pthread_attr_destroy(&attributes);
}
