// The operating-system layer on Windows: each operation is one Windows call
// (or a short sequence of them) made with exactly the arguments listed here.
// clang-format off: commdlg.h and shellapi.h need the types of windows.h.
#include <windows.h>
// clang-format on

#include <commdlg.h>
#include <shellapi.h>

#include <cstring>
#include <string>

#include "platform/fault_injection.h"
#include "platform/platform.h"
#include "platform/processors.h"

#if defined(__i386__) || defined(_M_IX86)
// The record size the dialogs are given is the full 32-bit structure,
// including the Windows 2000 fields (pvReserved, dwReserved, FlagsEx).
static_assert(sizeof(OPENFILENAMEW) == 88, "OPENFILENAMEW must be the full 88-byte record");
#endif

namespace {

constexpr DWORD kPathChars = 260;  // MAX_PATH: each dialog's path buffer

constexpr DWORD kOpenFlags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
constexpr DWORD kSaveFlags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
static_assert(kOpenFlags == 0x81004, "open dialog flags");
static_assert(kSaveFlags == 0x80006, "save dialog flags");
static_assert((MB_OK | MB_ICONEXCLAMATION) == 0x30, "message box style");

// Pairs of description and pattern list; the literal's own terminator ends
// the list with the second zero.
const wchar_t kOpenFilter[] = L"ASCII data\0*.txt;*.dat;*.asc;*.inp;*.in\0All files\0*.*\0";
const wchar_t kSaveFilter[] = L"ASCII data\0*.txt;*.dat;*.asc;*.out;*.otp\0All files\0*.*\0";
const wchar_t kDialogTitle[] = L"Data to transform";

// The split command line, made on first use and kept (never freed) for the
// run. A command line that cannot be split counts as no arguments at all,
// which means dialogs.
bool command_line_split = false;
int kept_count = 0;
wchar_t** kept_vector = nullptr;

// One record serves both dialogs: the save dialog inherits whatever the open
// dialog left in it, the filter index the user picked included.
OPENFILENAMEW dialog_record;
wchar_t input_path[kPathChars];
wchar_t output_path[kPathChars];

void split_command_line() {
    if (command_line_split) return;
    command_line_split = true;
    int count = 0;
    wchar_t** vector = CommandLineToArgvW(GetCommandLineW(), &count);
    if (vector == nullptr || count < 0) return;
    kept_count = count;
    kept_vector = vector;
}

// The input file's identity (volume and file index), to recognise it when the
// output names it too.
bool input_known = false;
BY_HANDLE_FILE_INFORMATION input_identity;

// When the output is the input file itself, the spectrum goes to a new file
// beside it that replaces the input only once it is complete: a failed write
// must not destroy the user's data.
std::wstring replacement_path;  // the new file, empty when writing directly
std::wstring replaced_path;     // the input's final path (links resolved)

bool same_file(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow;
}

HANDLE handle_of(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

// A dialog that returns no path was cancelled when CommDlgExtendedError() is
// 0; otherwise it failed (a chosen path longer than the buffer, say), and the
// run ends with one box naming the call. A test build can take a path chosen
// in it for such a failure.
const PathChar* dialog_result(BOOL chosen, wchar_t* path, const char* failed_call) {
    const bool injected = injected_failure(Operation::dialog);
    if (chosen && !injected) return path;
    if (injected || CommDlgExtendedError() != 0) show_message(failure(kCaptionError, failed_call), true);
    return nullptr;
}

FileHandle file_of(HANDLE handle) { return reinterpret_cast<FileHandle>(handle); }

}  // namespace

int argument_count() {
    split_command_line();
    return kept_count;
}

const PathChar* argument(int index) {
    split_command_line();
    return kept_vector[index];
}

const PathChar* ask_input_path() {
    std::memset(&dialog_record, 0, sizeof dialog_record);
    dialog_record.lStructSize = sizeof dialog_record;
    dialog_record.hwndOwner = nullptr;
    dialog_record.lpstrFilter = kOpenFilter;
    dialog_record.nFilterIndex = 0;
    input_path[0] = L'\0';
    dialog_record.lpstrFile = input_path;
    dialog_record.nMaxFile = kPathChars;
    dialog_record.lpstrTitle = kDialogTitle;
    dialog_record.Flags = kOpenFlags;
    return dialog_result(GetOpenFileNameW(&dialog_record), input_path, "GetOpenFileNameW failed");
}

const PathChar* ask_output_path() {
    // Only these four fields change; the title stays and so does the filter index.
    dialog_record.nMaxFile = kPathChars;
    output_path[0] = L'\0';
    dialog_record.lpstrFile = output_path;
    dialog_record.lpstrFilter = kSaveFilter;
    dialog_record.Flags = kSaveFlags;
    return dialog_result(GetSaveFileNameW(&dialog_record), output_path, "GetSaveFileNameW failed");
}

bool open_input(const PathChar* path, FileHandle* file) {
    if (injected_failure(Operation::open)) return false;
    HANDLE handle = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    input_known = GetFileInformationByHandle(handle, &input_identity) != 0;
    *file = file_of(handle);
    return true;
}

bool query_size(FileHandle file, uint64_t* size) {
    if (injected_failure(Operation::size)) return false;
    LARGE_INTEGER length;
    if (!GetFileSizeEx(handle_of(file), &length)) return false;
    *size = static_cast<uint64_t>(length.QuadPart);
    return true;
}

namespace {

constexpr uint32_t kPageBytes = 4096;

// Pages [first, end) of a block, made present by writing the zero they hold.
struct PageRange {
    volatile char* first;
    volatile char* end;
};

void touch_pages(void* context) {
    const PageRange* range = static_cast<const PageRange*>(context);
    for (volatile char* page = range->first; page < range->end; page += kPageBytes) *page = 0;
}

// Faulting in the pages of a large buffer costs about as much as copying the
// file into it; here the cores share it before the read.
void make_present(void* buffer, uint32_t size, const Workers& workers) {
    constexpr uint32_t kParallelBytes = 16u << 20;
    constexpr int kMostParts = 8;
    int parts = size < kParallelBytes || workers.count < 1 ? 1 : workers.count;
    if (parts > kMostParts) parts = kMostParts;
    if (parts == 1) return;
    PageRange range[kMostParts];
    void* contexts[kMostParts];
    const uint32_t pages = (size + kPageBytes - 1u) / kPageBytes;
    volatile char* bytes = static_cast<volatile char*>(buffer);
    for (int i = 0; i < parts; ++i) {
        const uint32_t first =
            static_cast<uint32_t>(uint64_t{pages} * static_cast<uint32_t>(i) / static_cast<uint32_t>(parts));
        const uint32_t end = static_cast<uint32_t>(uint64_t{pages} * static_cast<uint32_t>(i + 1) /
                                                   static_cast<uint32_t>(parts));
        range[i] = PageRange{bytes + static_cast<size_t>(first) * kPageBytes,
                             bytes + static_cast<size_t>(end) * kPageBytes};
        contexts[i] = &range[i];
    }
    workers.run(touch_pages, contexts, parts);
}

}  // namespace

bool read_whole(FileHandle file, void* buffer, uint32_t size, const Workers& workers) {
    // One call for the whole file; a short count is not an error (the rest of
    // the buffer stays zero).
    if (injected_failure(Operation::read)) return false;
    make_present(buffer, size, workers);
    DWORD delivered = 0;
    return ReadFile(handle_of(file), buffer, size, &delivered, nullptr) != 0;
}

void close_input(FileHandle file) { CloseHandle(handle_of(file)); }

void* allocate_pages(size_t bytes) {
    if (injected_failure(Operation::allocate)) return nullptr;
    if (bytes == 0) return nullptr;
    return VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

namespace {

// The path a handle was opened through with its links resolved, where the
// system can tell (Vista and later; earlier ones have no file links, and the
// program still loads there): otherwise `path` itself.
std::wstring final_path(HANDLE handle, const PathChar* path) {
    typedef DWORD(WINAPI * FinalPathFunction)(HANDLE, wchar_t*, DWORD, DWORD);
    const FARPROC found = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetFinalPathNameByHandleW");
    // Through void (*)(), the type GCC lets any function pointer pass through
    // without -Wcast-function-type.
    const FinalPathFunction get_final_path =
        reinterpret_cast<FinalPathFunction>(reinterpret_cast<void (*)()>(found));
    if (get_final_path != nullptr) {
        const DWORD room = get_final_path(handle, nullptr, 0, FILE_NAME_NORMALIZED);
        std::wstring resolved(room, L'\0');
        const DWORD length = room == 0 ? 0 : get_final_path(handle, &resolved[0], room, FILE_NAME_NORMALIZED);
        if (length > 0 && length < room) return resolved.substr(0, length);
    }
    return path;
}

// Whether `path` names the input file (by another name or a link too); if so,
// the path to replace goes to replaced_path. The existing file is opened for
// its attributes only, so that neither another program's sharing mode nor a
// missing right can stand in the way.
bool find_input_path(const PathChar* path) {
    if (!input_known) return false;
    HANDLE handle = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION identity;
    const bool same =
        GetFileInformationByHandle(handle, &identity) != 0 && same_file(identity, input_identity);
    // Renaming over a link would replace the link and leave the input as it was.
    if (same) replaced_path = final_path(handle, path);
    CloseHandle(handle);
    return same;
}

// A new file in the input's folder, named after this process so that two runs
// never meet. A read-only input cannot be replaced, exactly as CREATE_ALWAYS
// could not truncate it.
HANDLE create_replacement() {
    if ((input_identity.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) return INVALID_HANDLE_VALUE;
    const size_t separator = replaced_path.find_last_of(L"\\/:");
    const std::wstring folder =
        separator == std::wstring::npos ? L"" : replaced_path.substr(0, separator + 1);
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::wstring name = folder + L".fftext-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                  std::to_wstring(attempt) + L".tmp";
        HANDLE handle = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            replacement_path = name;
            return handle;
        }
        if (GetLastError() != ERROR_FILE_EXISTS) break;
    }
    return INVALID_HANDLE_VALUE;
}

}  // namespace

bool create_output(const PathChar* path, FileHandle* file) {
    if (injected_failure(Operation::create)) return false;
    HANDLE handle = INVALID_HANDLE_VALUE;
    if (find_input_path(path)) {
        handle = create_replacement();
    } else {
        handle = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (handle == INVALID_HANDLE_VALUE) return false;
    *file = file_of(handle);
    return true;
}

bool write_output(FileHandle file, const void* bytes, size_t count) {
    if (injected_failure(Operation::write)) return false;
    // WriteFile takes a 32-bit count; 2^31 keeps every chunk clear of it.
    constexpr size_t kChunkBytes = size_t{1} << 31;
    const char* cursor = static_cast<const char*>(bytes);
    while (count > 0) {
        const DWORD chunk = static_cast<DWORD>(count < kChunkBytes ? count : kChunkBytes);
        DWORD written = 0;
        if (!WriteFile(handle_of(file), cursor, chunk, &written, nullptr) || written == 0) return false;
        cursor += written;
        count -= written;
    }
    return true;
}

namespace {

// Whether a failed output may be deleted: only a file on disk (not NUL, CON or
// a pipe), not a directory or a link.
bool removable(HANDLE handle, const PathChar* path) {
    if (GetFileType(handle) != FILE_TYPE_DISK) return false;
    const DWORD kept = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_REPARSE_POINT;
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & kept) == 0;
}

// Removes what create_output made once its handle is closed: the new file
// beside the input (never the input), or the output itself if removable.
void remove_output(bool may_remove, const PathChar* path) {
    if (!replacement_path.empty()) {
        DeleteFileW(replacement_path.c_str());
        replacement_path.clear();
        return;
    }
    if (may_remove) DeleteFileW(path);
}

}  // namespace

bool close_output(FileHandle file, const PathChar* path) {
    // Asked while the handle is open: a closed handle has no type.
    const bool may_remove = replacement_path.empty() && removable(handle_of(file), path);
    bool closed = CloseHandle(handle_of(file)) != 0 && !injected_failure(Operation::close);
    if (closed && !replacement_path.empty()) {
        closed = MoveFileExW(replacement_path.c_str(), replaced_path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
        if (closed) replacement_path.clear();
    }
    if (!closed) remove_output(may_remove, path);
    return closed;
}

void discard_output(FileHandle file, const PathChar* path) {
    const bool may_remove = replacement_path.empty() && removable(handle_of(file), path);
    CloseHandle(handle_of(file));
    remove_output(may_remove, path);
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
            threads[i] = CreateThread(nullptr, 0, run_thread_task, &work[i], 0, nullptr);
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

int processor_count() {
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const DWORD count = system.dwNumberOfProcessors;
    return count < 1 ? 1 : static_cast<int>(count < 64 ? count : 64);
}

void show_message(const FailureMessage& message, bool /*dialog_mode*/) {
    // The box is the only report on Windows, whether or not dialogs were used.
    MessageBoxA(nullptr, message.text, message.caption, MB_OK | MB_ICONEXCLAMATION);
}
