// fftext-import on Linux: everything is said on standard error (the help on
// standard output); there are no dialogs.
#include <cstdio>
#include <string>

#include "import/import_program.h"

bool has_open_dialog() { return false; }
bool ask_export_path(Path*) { return false; }
bool ask_to_replace(const std::string&) { return false; }

// Each line of the summary and warnings with the program's name.
void show_summary(const std::string& text, bool) {
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::fprintf(stderr, "fftext-import: %s\n", text.substr(start, end - start).c_str());
        start = end + 1;
    }
}
void show_failure(const std::string& text) { std::fprintf(stderr, "fftext-import: %s\n", text.c_str()); }
void show_help(const std::string& text) { std::fputs(text.c_str(), stdout); }

int main(int argc, char** argv) {
    keep_arguments(argc, argv);
    return run_import();
}
