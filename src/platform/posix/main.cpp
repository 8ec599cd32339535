#include <cstdio>
#include <cstring>

#include "driver/driver.h"
#include "os/os.h"
#include "platform/posix/usage.h"

int main(int argc, char** argv) {
    keep_arguments(argc, argv);
    // --help, -h or --version alone: the answer on standard output, never a
    // dialog. With two arguments they are paths like any others.
    if (argument_count() == 2) {
        const char* only = argument(1);
        if (std::strcmp(only, "--help") == 0 || std::strcmp(only, "-h") == 0) {
            std::fputs(kUsageText, stdout);
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
        if (std::strcmp(only, "--version") == 0) {
            std::fputs("fftext " FFTEXT_VERSION "\n", stdout);
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
    }
    return run_transform();
}
