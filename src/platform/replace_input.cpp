#include "platform/replace_input.h"

#include "platform/fault_injection.h"

namespace {

bool replacing = false;
BesideFile replacement;

}  // namespace

bool start_replacement(const PathChar* path, FileHandle* file) {
    replacing = create_beside(path, NewFileRights::like_replaced, &replacement);
    if (replacing) *file = replacement.file;
    return replacing;
}

bool replacing_input() { return replacing; }

bool finish_replacement() {
    replacing = false;
    if (injected_failure(Operation::close)) {
        abandon_beside(&replacement);
        return false;
    }
    return commit_beside(&replacement, true);
}

void drop_replacement() {
    replacing = false;
    abandon_beside(&replacement);
}
