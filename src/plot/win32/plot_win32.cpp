// fftext-plot on Windows: a GUI-subsystem program. A file dropped on it is
// its one argument; without one it asks for the file; every failure is one
// message box.
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>

#include <string>

#include "plot/plot_platform.h"

namespace {

constexpr DWORD kPathChars = 32768;

int kept_count = 0;
wchar_t** kept_vector = nullptr;
bool command_line_split = false;

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

std::wstring wide_of(const std::string& text) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

bool write_all(HANDLE file, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        const DWORD count = static_cast<DWORD>(bytes.size() - done);
        if (!WriteFile(file, bytes.data() + done, count, &written, nullptr) || written == 0) return false;
        done += written;
    }
    return true;
}

}  // namespace

int plot_argument_count() {
    split_command_line();
    return kept_count;
}

const PathChar* plot_argument(int index) {
    split_command_line();
    return kept_vector[index];
}

bool is_path_separator(PathChar c) { return c == L'\\' || c == L'/' || c == L':'; }

bool has_open_dialog() { return true; }

bool ask_spectrum_path(PlotPath* path) {
    static wchar_t chosen[kPathChars];
    chosen[0] = L'\0';
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.lpstrFilter = L"Spectrum files (*.txt;*.out;*.otp)\0*.txt;*.out;*.otp\0All files (*.*)\0*.*\0";
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = chosen;
    dialog.nMaxFile = kPathChars;
    dialog.lpstrTitle = L"Spectrum to draw";
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (!GetOpenFileNameW(&dialog)) return false;
    *path = chosen;
    return true;
}

std::string display_name(const PathChar* path) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, path, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) return std::string();
    std::string name(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, path, -1, &name[0], length, nullptr, nullptr);
    name.resize(static_cast<size_t>(length - 1));
    return name;
}

bool open_spectrum(const PathChar* path, FileHandle* file) {
    HANDLE handle = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    *file = reinterpret_cast<FileHandle>(handle);
    return true;
}

bool spectrum_size(FileHandle file, uint64_t* size) {
    LARGE_INTEGER length;
    if (!GetFileSizeEx(handle_of(file), &length)) return false;
    *size = static_cast<uint64_t>(length.QuadPart);
    return true;
}

bool read_spectrum_at(FileHandle file, uint64_t offset, char* buffer, uint32_t count, uint32_t* got) {
    *got = 0;
    while (*got < count) {
        OVERLAPPED at = {};
        const uint64_t position = offset + *got;
        at.Offset = static_cast<DWORD>(position);
        at.OffsetHigh = static_cast<DWORD>(position >> 32);
        DWORD read = 0;
        if (!ReadFile(handle_of(file), buffer + *got, count - *got, &read, &at)) {
            return GetLastError() == ERROR_HANDLE_EOF;
        }
        if (read == 0) break;
        *got += read;
    }
    return true;
}

void close_spectrum(FileHandle file) { CloseHandle(handle_of(file)); }

bool write_picture(const PathChar* path, const std::string& bytes) {
    std::wstring folder = path;
    size_t name = folder.size();
    while (name > 0 && !is_path_separator(folder[name - 1])) --name;
    folder = (name == 0) ? std::wstring(L".") : folder.substr(0, name);
    wchar_t temporary[MAX_PATH + 16];
    if (folder.size() > MAX_PATH - 14 || GetTempFileNameW(folder.c_str(), L"ffp", 0, temporary) == 0) return false;
    HANDLE file = CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    bool written = file != INVALID_HANDLE_VALUE && write_all(file, bytes);
    if (file != INVALID_HANDLE_VALUE) written = CloseHandle(file) && written;
    if (written && MoveFileExW(temporary, path, MOVEFILE_REPLACE_EXISTING)) return true;
    DeleteFileW(temporary);
    return false;
}

bool open_picture(const PathChar* path) {
    const HINSTANCE result = ShellExecuteW(nullptr, L"open", path, nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

void show_failure(const std::string& text) {
    MessageBoxW(nullptr, wide_of(text).c_str(), L"fftext-plot", MB_OK | MB_ICONEXCLAMATION);
}
