// fftext-import on Windows: a GUI-subsystem program. A file dropped on it is
// converted beside itself and the summary shown in a box; without an argument
// it asks for the export; with EXPORT and DATA (scripts) only a failure
// shows a box.
#include <windows.h>
// After windows.h, which it needs.
#include <commdlg.h>

#include <string>

#include "import/import_program.h"

namespace {

constexpr DWORD kPathChars = 32768;
const wchar_t kCaption[] = L"fftext-import";

std::wstring wide_of(const std::string& text) {
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

}  // namespace

bool has_open_dialog() { return true; }

bool ask_export_path(Path* path) {
    static wchar_t chosen[kPathChars];
    chosen[0] = L'\0';
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.lpstrFilter =
        L"Exports (*.csv;*.txt;*.tsv;*.dat)\0*.csv;*.txt;*.tsv;*.dat\0All files (*.*)\0*.*\0";
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = chosen;
    dialog.nMaxFile = kPathChars;
    dialog.lpstrTitle = L"Export to convert";
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (!GetOpenFileNameW(&dialog)) return false;
    *path = chosen;
    return true;
}

bool ask_to_replace(const std::string& question) {
    return MessageBoxW(nullptr, wide_of(question).c_str(), kCaption,
                       MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

void show_summary(const std::string& text, bool dropped) {
    if (dropped) MessageBoxW(nullptr, wide_of(text).c_str(), kCaption, MB_OK | MB_ICONINFORMATION);
}

void show_failure(const std::string& text) {
    MessageBoxW(nullptr, wide_of(text).c_str(), kCaption, MB_OK | MB_ICONEXCLAMATION);
}

void show_help(const std::string& text) { MessageBoxW(nullptr, wide_of(text).c_str(), kCaption, MB_OK); }

// The command line is split by the operating-system layer; the arguments
// here are not used.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return run_import(); }
