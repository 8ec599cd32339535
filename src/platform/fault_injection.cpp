#include "platform/fault_injection.h"

#ifdef FFTEXT_FAULTS

#include <cstdlib>
#include <cstring>

namespace {

const char* const kNames[] = {"open", "size", "allocate", "read", "create", "write", "close", "dialog"};
constexpr int kOperations = 8;

}  // namespace

bool injected_failure(Operation operation) {
    static unsigned calls[kOperations];
    const int index = static_cast<int>(operation);
    ++calls[index];
    const char* setting = std::getenv("FFTEXT_FAIL");
    if (setting == nullptr) return false;
    const char* colon = std::strchr(setting, ':');
    if (colon == nullptr) return false;
    const size_t length = static_cast<size_t>(colon - setting);
    if (std::strlen(kNames[index]) != length || std::strncmp(kNames[index], setting, length) != 0)
        return false;
    return std::strtoul(colon + 1, nullptr, 10) == calls[index];
}

#endif  // FFTEXT_FAULTS
