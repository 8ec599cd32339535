// fftext-plot on Linux and other POSIX systems: a command-line program.
#include "plot/posix/plot_posix.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "plot/plot_platform.h"

namespace {

int kept_argc = 0;
char** kept_argv = nullptr;

int descriptor(FileHandle file) { return static_cast<int>(file); }

bool write_all(int fd, const char* bytes, size_t count) {
    while (count > 0) {
        const ssize_t written = write(fd, bytes, count);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes += written;
        count -= static_cast<size_t>(written);
    }
    return true;
}

// New files get 0666 less the umask, as any program's do; mkstemp makes 0600.
mode_t new_file_mode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

void keep_plot_arguments(int argc, char** argv) {
    kept_argc = argc;
    kept_argv = argv;
}

int plot_argument_count() { return kept_argc; }

const PathChar* plot_argument(int index) { return kept_argv[index]; }

bool is_path_separator(PathChar c) { return c == '/'; }

bool has_open_dialog() { return false; }

bool ask_spectrum_path(PlotPath*) { return false; }

std::string display_name(const PathChar* path) { return path; }

bool open_spectrum(const PathChar* path, FileHandle* file) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat status;
    if (fstat(fd, &status) != 0 || S_ISDIR(status.st_mode)) {
        close(fd);
        return false;
    }
    *file = fd;
    return true;
}

bool spectrum_size(FileHandle file, uint64_t* size) {
    struct stat status;
    if (fstat(descriptor(file), &status) != 0) return false;
    // Only a regular file has a size; anything else reads as empty.
    *size = S_ISREG(status.st_mode) ? static_cast<uint64_t>(status.st_size) : 0;
    return true;
}

bool read_spectrum_at(FileHandle file, uint64_t offset, char* buffer, uint32_t count, uint32_t* got) {
    *got = 0;
    while (*got < count) {
        const ssize_t n = pread(descriptor(file), buffer + *got, count - *got, static_cast<off_t>(offset + *got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        *got += static_cast<uint32_t>(n);
    }
    return true;
}

void close_spectrum(FileHandle file) { close(descriptor(file)); }

bool write_picture(const PathChar* path, const std::string& bytes) {
    std::string folder = path;
    const size_t slash = folder.rfind('/');
    folder = (slash == std::string::npos) ? std::string(".") : folder.substr(0, slash + 1);
    std::string temporary = folder + "/.fftext-plot-XXXXXX";
    const int fd = mkstemp(&temporary[0]);
    if (fd < 0) return false;
    bool written = write_all(fd, bytes.data(), bytes.size()) && fchmod(fd, new_file_mode()) == 0;
    written = (close(fd) == 0) && written;
    if (written && rename(temporary.c_str(), path) == 0) return true;
    unlink(temporary.c_str());
    return false;
}

bool open_picture(const PathChar*) { return true; }

void show_failure(const std::string& text) {
    std::fprintf(stderr, "fftext-plot: %s\n", text.c_str());
}
