#include "os/os.h"
#include "plot/plot_platform.h"

int main(int argc, char** argv) {
    keep_arguments(argc, argv);
    return run_plot();
}
