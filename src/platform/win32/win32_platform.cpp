// The operating-system layer of fftext on Windows: the dialogs, the input and
// output files and the message box, each one Windows call (or a short
// sequence of them) made with exactly the arguments listed here. Arguments,
// identity, the replacement file and threads come from the shared layer.
// clang-format off: commdlg.h needs the types of windows.h.
#include <windows.h>
// clang-format on

#include <commdlg.h>

#include <cstring>
#include <string>

#include "platform/fault_injection.h"
#include "platform/platform.h"
#include "platform/replace_input.h"

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

// One record serves both dialogs: the save dialog inherits whatever the open
// dialog left in it, the filter index the user picked included.
OPENFILENAMEW dialog_record;
wchar_t input_path[kPathChars];
wchar_t output_path[kPathChars];

// The input file's identity (volume and file index), to recognise it when the
// output names it too.
bool input_known = false;
FileIdentity input_identity;
bool input_read_only = false;

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
    *file = file_of(handle);
    input_known = identity_of(*file, &input_identity);
    const DWORD attributes = GetFileAttributesW(path);
    input_read_only = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    return true;
}

bool query_size(FileHandle file, uint64_t* size) {
    if (injected_failure(Operation::size)) return false;
    return file_size(file, size);
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
    int parts = size < kReadThreadBytes || workers.count < 1 ? 1 : workers.count;
    if (parts > kMostReadThreads) parts = kMostReadThreads;
    if (parts == 1) return;
    PageRange range[kMostReadThreads];
    void* contexts[kMostReadThreads];
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
    // One read for the whole file; a short count is not an error (the rest of
    // the buffer stays zero).
    if (injected_failure(Operation::read)) return false;
    make_present(buffer, size, workers);
    size_t delivered = 0;
    return read_at(file, 0, buffer, size, &delivered);
}

void close_input(FileHandle file) { close_file(file); }

void* allocate_pages(size_t bytes) {
    if (injected_failure(Operation::allocate)) return nullptr;
    if (bytes == 0) return nullptr;
    return VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

bool create_output(const PathChar* path, FileHandle* file) {
    if (injected_failure(Operation::create)) return false;
    FileIdentity identity;
    if (input_known && identity_of_path(path, &identity) && same_file(identity, input_identity)) {
        // A read-only input cannot be replaced, exactly as CREATE_ALWAYS
        // could not truncate it.
        return !input_read_only && start_replacement(path, file);
    }
    HANDLE handle = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    *file = file_of(handle);
    return true;
}

bool write_output(FileHandle file, const void* bytes, size_t count) {
    if (injected_failure(Operation::write)) return false;
    return write_all(file, bytes, count);
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

}  // namespace

bool close_output(FileHandle file, const PathChar* path) {
    if (replacing_input()) return finish_replacement();
    // Asked while the handle is open: a closed handle has no type.
    const bool may_remove = removable(handle_of(file), path);
    const bool closed = CloseHandle(handle_of(file)) != 0 && !injected_failure(Operation::close);
    if (!closed && may_remove) DeleteFileW(path);
    return closed;
}

void discard_output(FileHandle file, const PathChar* path) {
    if (replacing_input()) {
        drop_replacement();
        return;
    }
    const bool may_remove = removable(handle_of(file), path);
    CloseHandle(handle_of(file));
    if (may_remove) DeleteFileW(path);
}

void show_message(const FailureMessage& message, bool /*dialog_mode*/) {
    // The box is the only report on Windows, whether or not dialogs were used.
    MessageBoxA(nullptr, message.text, message.caption, MB_OK | MB_ICONEXCLAMATION);
}
