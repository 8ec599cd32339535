// fftext-plot on Windows: a GUI-subsystem program. A file dropped on it is
// its one argument; without one it asks for the file; every failure is one
// message box. Files and arguments come from the shared layer.
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>

#include <string>

#include "plot/plot_platform.h"

namespace {

constexpr DWORD kPathChars = 32768;

}  // namespace

bool has_open_dialog() { return true; }

bool ask_spectrum_path(Path* path) {
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

bool open_picture(const PathChar* path) {
    const HINSTANCE result = ShellExecuteW(nullptr, L"open", path, nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

void show_failure(const std::string& text) {
    MessageBoxW(nullptr, path_of(text).c_str(), L"fftext-plot", MB_OK | MB_ICONEXCLAMATION);
}
