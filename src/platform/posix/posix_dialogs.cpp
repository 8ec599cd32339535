#include "platform/posix/posix_dialogs.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

extern char** environ;

namespace {

const char kDialogTitle[] = "Data to transform";

// The search list posix_spawnp (like execvp) uses when PATH is unset.
const char kDefaultSearchPath[] = "/bin:/usr/bin";

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

// Starts `arguments` through PATH with stdin and stderr on /dev/null (the
// dialog programs' toolkit chatter would bury the program's own messages) and
// stdout into `captured`, or /dev/null when that is nullptr, then waits for
// it. Returns false when it could not be started; otherwise *exited_ok tells
// whether it exited normally with status 0.
bool run_program(const Arguments& arguments, std::string* captured, bool* exited_ok) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    int pipe_ends[2] = {-1, -1};
    if (captured != nullptr && pipe2(pipe_ends, O_CLOEXEC) != 0) return false;

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
    if (spawn_error != 0) return false;

    int status = 0;
    *exited_ok = wait_for_exit(child, &status) && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return true;
}

}  // namespace

DialogOutcome run_file_dialog(DialogKind kind, std::string* path) {
    DialogProgram program = find_dialog_program();
    if (program == DialogProgram::none) return DialogOutcome::unavailable;
    Arguments arguments =
        program == DialogProgram::zenity ? zenity_file_arguments(kind) : kdialog_file_arguments(kind);
    std::string captured;
    bool exited_ok = false;
    if (!run_program(arguments, &captured, &exited_ok)) return DialogOutcome::unavailable;
    if (!exited_ok) return DialogOutcome::cancelled;

    // The chooser ends the name with one newline; anything before it, spaces
    // and newlines included, belongs to the name. A zero byte cannot.
    if (!captured.empty() && captured.back() == '\n') captured.pop_back();
    if (captured.empty() || captured.find('\0') != std::string::npos) {
        return DialogOutcome::cancelled;
    }
    *path = std::move(captured);
    return DialogOutcome::chosen;
}

void show_desktop_message(const FailureMessage& message) {
    DialogProgram program = find_dialog_program();
    if (program == DialogProgram::none) return;
    // --no-markup: the text is shown as it is, even with a '<' or '&' in it.
    Arguments arguments;
    if (program == DialogProgram::zenity) {
        arguments = {"zenity", "--warning", "--no-markup", std::string("--title=") + message.caption,
                     std::string("--text=") + message.text};
    } else {
        arguments = {"kdialog", "--title", message.caption, "--sorry", message.text};
    }
    bool exited_ok = false;
    run_program(arguments, nullptr, &exited_ok);
}
