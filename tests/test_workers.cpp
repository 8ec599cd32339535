// The run's worker count: FFTEXT_THREADS when it is a whole number from 1 to
// 64 in plain decimal digits, else the processor count, always 1 ... 64.
#include <gtest/gtest.h>

#include "common/workers.h"

namespace {

struct CountCase {
    const char* setting;  // nullptr: not set
    int processors;
    int want;
};

TEST(WorkerCount, SettingOrProcessors) {
    const CountCase cases[] = {
        // Not set or empty: the processors.
        {nullptr, 1, 1},
        {nullptr, 2, 2},
        {"", 6, 6},
        // Taken as it stands, also above the processor count.
        {"1", 8, 1},
        {"2", 1, 2},
        {"3", 2, 3},
        {"64", 2, 64},
        {"007", 2, 7},
        {"064", 2, 64},
        // Out of range: ignored.
        {"0", 4, 4},
        {"65", 4, 4},
        {"100", 4, 4},
        // So large that a 32-bit value would wrap to 3 or to 1.
        {"4294967299", 4, 4},
        {"4294967297", 3, 3},
        {"99999999999999999999999999999999", 5, 5},
        // Anything but digits: ignored.
        {"abc", 4, 4},
        {"-2", 4, 4},
        {"+2", 4, 4},
        {" 2", 4, 4},
        {"2 ", 4, 4},
        {"2x", 4, 4},
        {"2.0", 4, 4},
        {"0x10", 4, 4},
        // The processor count is kept within 1 ... 64 too.
        {nullptr, 0, 1},
        {nullptr, -5, 1},
        {nullptr, 65, 64},
        {"abc", 1000, 64},
        {"7", 1000, 7},
    };
    for (const CountCase& c : cases) {
        EXPECT_EQ(worker_count(c.setting, c.processors), c.want)
            << "FFTEXT_THREADS=" << (c.setting == nullptr ? "(not set)" : c.setting) << " on " << c.processors
            << " processors";
    }
}

}  // namespace
