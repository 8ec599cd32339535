#include "common/workers.h"

int worker_count(const char* setting, int processors) {
    if (setting != nullptr && *setting != '\0') {
        // Digits are added up only while the value can still be in range,
        // so a long string of them cannot overflow.
        int value = 0;
        const char* cursor = setting;
        while (*cursor >= '0' && *cursor <= '9' && value <= kMaxWorkers) {
            value = value * 10 + (*cursor - '0');
            ++cursor;
        }
        const bool all_digits = *cursor == '\0';
        if (all_digits && value >= 1 && value <= kMaxWorkers) return value;
    }
    if (processors < 1) return 1;
    return processors < kMaxWorkers ? processors : kMaxWorkers;
}
