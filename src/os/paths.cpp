// The path and argument helpers of os.h that need no system call.
#include "os/os.h"

bool argument_is(const PathChar* argument, const char* word) {
    for (; *word != '\0'; ++argument, ++word) {
        if (*argument != static_cast<PathChar>(*word)) return false;
    }
    return *argument == 0;
}

size_t extension_start(const Path& path) {
    size_t name = path.size();
    while (name > 0 && !is_path_separator(path[name - 1])) --name;
    const size_t dot = path.rfind(static_cast<PathChar>('.'));
    return dot != Path::npos && dot > name ? dot : path.size();
}

bool ends_with_any_case(const Path& path, const char* suffix) {
    size_t length = 0;
    while (suffix[length] != '\0') ++length;
    if (path.size() < length) return false;
    const PathChar* end = path.c_str() + path.size() - length;
    for (size_t i = 0; i < length; ++i) {
        const PathChar c = (end[i] >= 'A' && end[i] <= 'Z') ? static_cast<PathChar>(end[i] + ('a' - 'A')) : end[i];
        const char want = (suffix[i] >= 'A' && suffix[i] <= 'Z') ? static_cast<char>(suffix[i] + ('a' - 'A')) : suffix[i];
        if (c != static_cast<PathChar>(want)) return false;
    }
    return true;
}
