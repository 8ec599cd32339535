#include "driver/driver.h"
#include "platform/posix/posix_platform.h"

int main(int argc, char** argv) {
    keep_arguments(argc, argv);
    return run_transform();
}
