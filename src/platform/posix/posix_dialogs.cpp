#include "platform/posix/posix_dialogs.h"

#include "platform/platform.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

extern char** environ;

namespace {

const char kDialogTitle[] = "Data to transform";

// The search list posix_spawnp (like execvp) uses when PATH is unset.
const char kDefaultSearchPath[] = "/bin:/usr/bin";

// zenity and kdialog both exit with this status when the user cancels; GTK
// exits with it too when it cannot open the display.
constexpr int kCancelStatus = 1;

// How long a TCP connection to an X server may take to be accepted.
constexpr int kConnectMillis = 3000;

enum class DialogProgram { none, zenity, kdialog };

typedef std::vector<std::string> Arguments;

bool has_display() {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && x11[0] != '\0') || (wayland != nullptr && wayland[0] != '\0');
}

// True when some PATH entry holds an executable regular file `name`: the file
// posix_spawnp would start. An empty entry stands for the current directory.
bool is_on_search_path(const char* name) {
    const char* search_path = std::getenv("PATH");
    if (search_path == nullptr) search_path = kDefaultSearchPath;
    const char* entry = search_path;
    for (;;) {
        const char* end = std::strchr(entry, ':');
        size_t length = end != nullptr ? static_cast<size_t>(end - entry) : std::strlen(entry);
        std::string candidate = length == 0 ? std::string(".") : std::string(entry, length);
        candidate += '/';
        candidate += name;
        struct stat status;
        if (stat(candidate.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
            faccessat(AT_FDCWD, candidate.c_str(), X_OK, AT_EACCESS) == 0) {
            return true;
        }
        if (end == nullptr) return false;
        entry = end + 1;
    }
}

DialogProgram find_dialog_program() {
    if (!has_display()) return DialogProgram::none;
    if (is_on_search_path("zenity")) return DialogProgram::zenity;
    if (is_on_search_path("kdialog")) return DialogProgram::kdialog;
    return DialogProgram::none;
}

// Each "--option=value" is one argument: nothing passes through a shell.
Arguments zenity_file_arguments(DialogKind kind) {
    std::string title = std::string("--title=") + kDialogTitle;
    if (kind == DialogKind::open_input) {
        return {"zenity", "--file-selection", title,
                "--file-filter=ASCII data | *.txt *.dat *.asc *.inp *.in", "--file-filter=All files | *"};
    }
    return {"zenity",
            "--file-selection",
            "--save",
            "--confirm-overwrite",
            title,
            "--file-filter=ASCII data | *.txt *.dat *.asc *.out *.otp",
            "--file-filter=All files | *"};
}

// kdialog separates filters by a newline; its save chooser asks before
// replacing a file without being told.
Arguments kdialog_file_arguments(DialogKind kind) {
    if (kind == DialogKind::open_input) {
        return {"kdialog",           "--title", kDialogTitle,
                "--getopenfilename", ".",       "*.txt *.dat *.asc *.inp *.in|ASCII data\n*|All files"};
    }
    return {"kdialog",           "--title", kDialogTitle,
            "--getsavefilename", ".",       "*.txt *.dat *.asc *.out *.otp|ASCII data\n*|All files"};
}

// True when a stream socket of `family` connects to `address`: something
// listens there.
bool can_connect(int family, const sockaddr* address, socklen_t length) {
    const int fd = socket(family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return false;
    bool connected = connect(fd, address, length) == 0;
    if (!connected && errno == EINPROGRESS) {
        pollfd wait_for{fd, POLLOUT, 0};
        int error = 0;
        socklen_t size = sizeof error;
        connected = poll(&wait_for, 1, kConnectMillis) == 1 &&
                    getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
    }
    close(fd);
    return connected;
}

// A local socket by its path, or in the abstract namespace (Linux) by name.
bool can_connect_local(const std::string& name, bool abstract) {
    sockaddr_un address;
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    const size_t start = abstract ? 1 : 0;
    if (name.empty() || start + name.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path + start, name.data(), name.size());
    const size_t length = offsetof(sockaddr_un, sun_path) + start + name.size() + (abstract ? 0 : 1);
    return can_connect(AF_UNIX, reinterpret_cast<const sockaddr*>(&address), static_cast<socklen_t>(length));
}

bool can_connect_tcp(const std::string& host, int port) {
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return false;
    bool connected = false;
    for (const addrinfo* entry = found; entry != nullptr && !connected; entry = entry->ai_next) {
        connected = can_connect(entry->ai_family, entry->ai_addr, entry->ai_addrlen);
    }
    freeaddrinfo(found);
    return connected;
}

// An X display named [protocol/][host]:number[.screen]: a local server
// (no host, or "unix") listens on /tmp/.X11-unix/X<number>, in the abstract
// namespace or as a file; a host starting with '/' is the socket's path;
// any other host on TCP port 6000 + number. A name that does not parse
// names no display.
bool x_display_reachable(std::string name) {
    std::string protocol;
    const size_t slash = name.find('/');
    if (slash != std::string::npos && slash != 0) {
        protocol = name.substr(0, slash);
        name.erase(0, slash + 1);
    }
    const size_t colon = name.rfind(':');
    if (colon == std::string::npos) return false;
    std::string host = name.substr(0, colon);
    const std::string number = name.substr(colon + 1, name.find('.', colon) - colon - 1);
    if (number.empty() || number.size() > 5 || number.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    if (!host.empty() && host[0] == '/') return can_connect_local(host, false);
    if (protocol != "tcp" && (host.empty() || host == "unix")) {
        const std::string socket_name = "/tmp/.X11-unix/X" + number;
        if (can_connect_local(socket_name, true) || can_connect_local(socket_name, false)) return true;
        if (!host.empty() || protocol == "unix") return false;
        host = "localhost";
    }
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    return can_connect_tcp(host, 6000 + std::atoi(number.c_str()));
}

// A Wayland display: an absolute path, or a name in XDG_RUNTIME_DIR.
bool wayland_display_reachable(const std::string& name) {
    if (name[0] == '/') return can_connect_local(name, false);
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime == nullptr || runtime[0] == '\0') return false;
    return can_connect_local(std::string(runtime) + '/' + name, false);
}

// Whether a display named in the environment accepts connections; when none
// does, *failure says which could not be reached.
bool display_reachable(std::string* failure) {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    std::string names;
    if (wayland != nullptr && wayland[0] != '\0') {
        if (wayland_display_reachable(wayland)) return true;
        names = std::string("Wayland display ") + wayland;
    }
    if (x11 != nullptr && x11[0] != '\0') {
        if (x_display_reachable(x11)) return true;
        names = std::string("display ") + x11 + (names.empty() ? "" : " nor to " + names);
    }
    *failure = "cannot connect to " + names;
    return false;
}

void read_all(int descriptor, std::string* captured) {
    char block[4096];
    for (;;) {
        ssize_t count = read(descriptor, block, sizeof block);
        if (count > 0) {
            captured->append(block, static_cast<size_t>(count));
        } else if (count == 0 || errno != EINTR) {
            return;
        }
    }
}

bool wait_for_exit(pid_t child, int* status) {
    for (;;) {
        if (waitpid(child, status, 0) == child) return true;
        if (errno != EINTR) return false;
    }
}

// How a dialog program ended.
struct ProgramEnd {
    int spawn_error;  // non-zero: it could not be started (an errno value)
    bool waited;      // false: waiting for it failed
    int status;       // the wait status
};

// Starts `arguments` through PATH with stdin and stderr on /dev/null (the
// dialog programs' toolkit chatter would bury the program's own messages) and
// stdout into `captured`, or /dev/null when that is nullptr, then waits for
// it.
ProgramEnd run_program(const Arguments& arguments, std::string* captured) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    int pipe_ends[2] = {-1, -1};
    if (captured != nullptr && pipe2(pipe_ends, O_CLOEXEC) != 0) return ProgramEnd{errno, false, 0};

    // stdout first: if our own stdin was closed, the pipe may sit on fd 0.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (captured != nullptr) {
        posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], STDOUT_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

    pid_t child = 0;
    int spawn_error = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (captured != nullptr) {
        // Our copy of the write end must go, or the read below never sees EOF.
        close(pipe_ends[1]);
        if (spawn_error == 0) read_all(pipe_ends[0], captured);
        close(pipe_ends[0]);
    }
    if (spawn_error != 0) return ProgramEnd{spawn_error, false, 0};

    int status = 0;
    const bool waited = wait_for_exit(child, &status);
    return ProgramEnd{0, waited, status};
}

// Why a dialog program that did not exit with status 0 showed no dialog, or
// empty for a cancel: its cancel status while a display can be reached.
std::string failure_of(const std::string& program, const ProgramEnd& end) {
    if (end.spawn_error != 0) return program + " could not be started: " + std::strerror(end.spawn_error);
    if (!end.waited) return "waiting for " + program + " failed";
    if (WIFSIGNALED(end.status))
        return program + " was killed by signal " + std::to_string(WTERMSIG(end.status));
    if (!WIFEXITED(end.status)) return program + " ended abnormally";
    const int status = WEXITSTATUS(end.status);
    if (status != kCancelStatus) return program + " exited with status " + std::to_string(status);
    std::string unreachable;
    return display_reachable(&unreachable) ? std::string() : unreachable;
}

}  // namespace

DialogOutcome run_file_dialog(DialogKind kind, std::string* path, std::string* failure) {
    DialogProgram program = find_dialog_program();
    if (program == DialogProgram::none) return DialogOutcome::unavailable;
    Arguments arguments =
        program == DialogProgram::zenity ? zenity_file_arguments(kind) : kdialog_file_arguments(kind);
    std::string captured;
    const ProgramEnd end = run_program(arguments, &captured);
    if (end.spawn_error != 0 || !end.waited || !WIFEXITED(end.status) || WEXITSTATUS(end.status) != 0) {
        *failure = failure_of(arguments[0], end);
        return failure->empty() ? DialogOutcome::cancelled : DialogOutcome::failed;
    }

    // The chooser ends the name with one newline; anything before it, spaces
    // and newlines included, belongs to the name. A zero byte cannot.
    if (!captured.empty() && captured.back() == '\n') captured.pop_back();
    if (captured.empty() || captured.find('\0') != std::string::npos) {
        return DialogOutcome::cancelled;
    }
    *path = std::move(captured);
    return DialogOutcome::chosen;
}

namespace {

// A warning box, when one can be shown.
void show_box(const char* caption, const std::string& text) {
    DialogProgram program = find_dialog_program();
    if (program == DialogProgram::none) return;
    // --no-markup: the text is shown as it is, even with a '<' or '&' in it.
    Arguments arguments;
    if (program == DialogProgram::zenity) {
        arguments = {"zenity", "--warning", "--no-markup", std::string("--title=") + caption, "--text=" + text};
    } else {
        arguments = {"kdialog", "--title", caption, "--sorry", text};
    }
    run_program(arguments, nullptr);
}

}  // namespace

void show_desktop_message(const FailureMessage& message) {
    // The detail, where there is one, as a second line.
    std::string text = message.text;
    if (message.detail[0] != '\0') text += std::string("\n") + message.detail;
    show_box(message.caption, text);
}

void show_note(const char* text, bool dialog_mode) {
    std::fprintf(stderr, "fftext: note: %s\n", text);
    if (dialog_mode) show_box(kCaptionWarning, text);
}
