// The operating-system layer on Windows: each operation is one Windows call
// (or a short sequence of them) made with exactly the arguments listed here.
#include <windows.h>

#include <commdlg.h>
#include <shellapi.h>

#include <cstring>

#include "platform/platform.h"

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

HANDLE handle_of(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

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
    return GetOpenFileNameW(&dialog_record) ? input_path : nullptr;
}

const PathChar* ask_output_path() {
    // Only these four fields change; the title stays and so does the filter index.
    dialog_record.nMaxFile = kPathChars;
    output_path[0] = L'\0';
    dialog_record.lpstrFile = output_path;
    dialog_record.lpstrFilter = kSaveFilter;
    dialog_record.Flags = kSaveFlags;
    return GetSaveFileNameW(&dialog_record) ? output_path : nullptr;
}

bool open_input(const PathChar* path, FileHandle* file) {
    HANDLE handle = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    *file = file_of(handle);
    return true;
}

bool query_size(FileHandle file, uint64_t* size) {
    LARGE_INTEGER length;
    if (!GetFileSizeEx(handle_of(file), &length)) return false;
    *size = static_cast<uint64_t>(length.QuadPart);
    return true;
}

bool read_whole(FileHandle file, void* buffer, uint32_t size) {
    // One call for the whole file; a short count is not an error (the rest of
    // the buffer stays zero).
    DWORD delivered = 0;
    return ReadFile(handle_of(file), buffer, size, &delivered, nullptr) != 0;
}

void close_input(FileHandle file) { CloseHandle(handle_of(file)); }

void* allocate_pages(size_t bytes) {
    if (bytes == 0) return nullptr;
    return VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

bool create_output(const PathChar* path, FileHandle* file) {
    HANDLE handle = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    *file = file_of(handle);
    return true;
}

bool write_output(FileHandle file, const void* bytes, size_t count) {
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

bool close_output(FileHandle file) { return CloseHandle(handle_of(file)) != 0; }

void remove_output(const PathChar* path) {
    // Only a plain file goes: never a directory, a device or what a link points at.
    const DWORD kept = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_REPARSE_POINT;
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & kept) != 0) return;
    DeleteFileW(path);
}

void show_message(const FailureMessage& message, bool /*dialog_mode*/) {
    // The box is the only report on Windows, whether or not dialogs were used.
    MessageBoxA(nullptr, message.text, message.caption, MB_OK | MB_ICONEXCLAMATION);
}
