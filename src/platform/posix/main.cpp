#include "driver/driver.h"
#include "os/os.h"

int main(int argc, char** argv) {
    keep_arguments(argc, argv);
    return run_transform();
}
