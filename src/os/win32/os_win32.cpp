// The shared operating-system layer on Windows.
// clang-format off: shellapi.h needs the types of windows.h.
#include <windows.h>
// clang-format on

#include <shellapi.h>

#include "os/os.h"

namespace {

bool command_line_split = false;
int kept_count = 0;
wchar_t** kept_vector = nullptr;

// The split command line, made on first use and kept (never freed) for the
// run. A command line that cannot be split counts as no arguments at all.
void split_command_line() {
    if (command_line_split) return;
    command_line_split = true;
    int count = 0;
    wchar_t** vector = CommandLineToArgvW(GetCommandLineW(), &count);
    if (vector == nullptr || count < 0) return;
    kept_count = count;
    kept_vector = vector;
}

HANDLE handle_of(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

FileHandle file_of(HANDLE handle) { return reinterpret_cast<FileHandle>(handle); }

FileIdentity identity_from(const BY_HANDLE_FILE_INFORMATION& information) {
    return FileIdentity{information.dwVolumeSerialNumber,
                        (uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow};
}

// The path a handle was opened through with its links resolved, where the
// system can tell (Vista and later; earlier ones have no file links, and the
// programs still load there): otherwise an empty string.
std::wstring final_path(HANDLE handle) {
    typedef DWORD(WINAPI * FinalPathFunction)(HANDLE, wchar_t*, DWORD, DWORD);
    const FARPROC found = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetFinalPathNameByHandleW");
    // Through void (*)(), the type GCC lets any function pointer pass through
    // without -Wcast-function-type.
    const FinalPathFunction get_final_path =
        reinterpret_cast<FinalPathFunction>(reinterpret_cast<void (*)()>(found));
    if (get_final_path == nullptr) return std::wstring();
    const DWORD room = get_final_path(handle, nullptr, 0, FILE_NAME_NORMALIZED);
    std::wstring resolved(room, L'\0');
    const DWORD length = room == 0 ? 0 : get_final_path(handle, &resolved[0], room, FILE_NAME_NORMALIZED);
    return length > 0 && length < room ? resolved.substr(0, length) : std::wstring();
}

// `path` made absolute, in the "\\?\" form that lifts MAX_PATH from the
// file calls, so that a new name beside a long one can still be made; the
// path as given where it cannot be.
std::wstring long_form(const PathChar* path) {
    const DWORD room = GetFullPathNameW(path, 0, nullptr, nullptr);
    if (room == 0) return path;
    std::wstring full(room, L'\0');
    const DWORD length = GetFullPathNameW(path, room, &full[0], nullptr);
    if (length == 0 || length >= room) return path;
    full.resize(length);
    if (full.compare(0, 4, L"\\\\?\\") == 0 || full.compare(0, 4, L"\\\\.\\") == 0) return full;
    if (full.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

// Opens whatever is at `path` for its attributes only, so that neither
// another program's sharing mode nor a missing right stands in the way.
HANDLE open_for_attributes(const PathChar* path) {
    return CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

}  // namespace

void keep_arguments(int, char**) {}

int argument_count() {
    split_command_line();
    return kept_count;
}

const PathChar* argument(int index) {
    split_command_line();
    return kept_vector[index];
}

bool is_path_separator(PathChar c) { return c == L'\\' || c == L'/' || c == L':'; }

std::string display_name(const PathChar* path) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, path, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) return std::string();
    std::string name(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, path, -1, &name[0], length, nullptr, nullptr);
    name.resize(static_cast<size_t>(length - 1));
    return name;
}

Path path_of(const std::string& utf8) {
    const int size = static_cast<int>(utf8.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    if (length <= 0) return Path();
    Path wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, &wide[0], length);
    return wide;
}

std::string system_reason() {
    const DWORD error = GetLastError();
    char text[512];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                                  MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), text, sizeof text, nullptr);
    if (length == 0) {
        length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                                sizeof text, nullptr);
    }
    while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == ' ' ||
                          text[length - 1] == '.')) {
        --length;
    }
    return length > 0 ? std::string(text, length) : "error " + std::to_string(error);
}

bool open_for_reading(const PathChar* path, FileHandle* file) {
    HANDLE handle = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    *file = file_of(handle);
    return true;
}

bool file_size(FileHandle file, uint64_t* size) {
    LARGE_INTEGER length;
    if (!GetFileSizeEx(handle_of(file), &length)) return false;
    *size = static_cast<uint64_t>(length.QuadPart);
    return true;
}

bool read_at(FileHandle file, uint64_t offset, void* buffer, size_t count, size_t* got) {
    // ReadFile takes a 32-bit count; 2^30 keeps every piece clear of it.
    constexpr size_t kPieceBytes = size_t{1} << 30;
    char* bytes = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < count) {
        OVERLAPPED at = {};
        const uint64_t position = offset + done;
        at.Offset = static_cast<DWORD>(position);
        at.OffsetHigh = static_cast<DWORD>(position >> 32);
        const DWORD piece = static_cast<DWORD>(count - done < kPieceBytes ? count - done : kPieceBytes);
        DWORD read = 0;
        if (!ReadFile(handle_of(file), bytes + done, piece, &read, &at)) {
            *got = done;
            return GetLastError() == ERROR_HANDLE_EOF;
        }
        if (read == 0) break;
        done += read;
    }
    *got = done;
    return true;
}

void close_file(FileHandle file) { CloseHandle(handle_of(file)); }

bool identity_of(FileHandle file, FileIdentity* identity) {
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(handle_of(file), &information)) return false;
    *identity = identity_from(information);
    return true;
}

bool identity_of_path(const PathChar* path, FileIdentity* identity) {
    HANDLE handle = open_for_attributes(path);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const bool known = identity_of(file_of(handle), identity);
    CloseHandle(handle);
    return known;
}

bool create_beside(const PathChar* destination, NewFileRights, BesideFile* beside) {
    // An existing destination is replaced where its links lead; renaming over
    // a link would replace the link itself.
    std::wstring target;
    HANDLE existing = open_for_attributes(destination);
    if (existing != INVALID_HANDLE_VALUE) {
        target = final_path(existing);
        CloseHandle(existing);
    }
    if (target.empty()) target = long_form(destination);
    size_t name = target.size();
    while (name > 0 && !is_path_separator(target[name - 1])) --name;
    const std::wstring folder = target.substr(0, name);
    // A name of this process's own, so that two runs never meet.
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::wstring temporary = folder + L".fftext-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                       std::to_wstring(attempt) + L".tmp";
        HANDLE handle = CreateFileW(temporary.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            *beside = BesideFile{file_of(handle), temporary, target};
            return true;
        }
        if (GetLastError() != ERROR_FILE_EXISTS) break;
    }
    return false;
}

bool write_all(FileHandle file, const void* bytes, size_t count) {
    // WriteFile takes a 32-bit count; 2^30 keeps every chunk clear of it.
    constexpr size_t kChunkBytes = size_t{1} << 30;
    const char* cursor = static_cast<const char*>(bytes);
    while (count > 0) {
        const DWORD chunk = static_cast<DWORD>(count < kChunkBytes ? count : kChunkBytes);
        DWORD written = 0;
        if (!WriteFile(handle_of(file), cursor, chunk, &written, nullptr)) return false;
        if (written == 0) {
            SetLastError(ERROR_DISK_FULL);
            return false;
        }
        cursor += written;
        count -= written;
    }
    return true;
}

bool commit_beside(BesideFile* beside, bool may_replace) {
    bool done = CloseHandle(handle_of(beside->file)) != 0;
    if (done) {
        const DWORD flags = may_replace ? MOVEFILE_REPLACE_EXISTING : 0;
        done = MoveFileExW(beside->temporary.c_str(), beside->destination.c_str(), flags) != 0;
    }
    if (!done) {
        const DWORD error = GetLastError();
        DeleteFileW(beside->temporary.c_str());
        SetLastError(error);
    }
    beside->temporary.clear();
    return done;
}

void abandon_beside(BesideFile* beside) {
    const DWORD error = GetLastError();
    CloseHandle(handle_of(beside->file));
    DeleteFileW(beside->temporary.c_str());
    beside->temporary.clear();
    SetLastError(error);
}

int processor_count() {
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const DWORD count = system.dwNumberOfProcessors;
    return count < 1 ? 1 : static_cast<int>(count < 64 ? count : 64);
}

namespace {

struct ThreadTask {
    void (*task)(void*);
    void* context;
};

DWORD WINAPI run_thread_task(void* argument) {
    const ThreadTask* work = static_cast<const ThreadTask*>(argument);
    work->task(work->context);
    return 0;
}

}  // namespace

void run_parallel(void (*task)(void*), void* const* contexts, int count) {
    constexpr int kMostThreads = 64;
    HANDLE threads[kMostThreads] = {};
    ThreadTask work[kMostThreads];
    for (int i = 1; i < count; ++i) {
        if (i < kMostThreads) {
            work[i] = ThreadTask{task, contexts[i]};
            threads[i] = CreateThread(nullptr, kThreadStackBytes, run_thread_task, &work[i],
                                      STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
        }
        if (i >= kMostThreads || threads[i] == nullptr) task(contexts[i]);
    }
    if (count > 0) task(contexts[0]);
    for (int i = 1; i < count && i < kMostThreads; ++i) {
        if (threads[i] == nullptr) continue;
        WaitForSingleObject(threads[i], INFINITE);
        CloseHandle(threads[i]);
    }
}
