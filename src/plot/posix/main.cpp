#include "plot/posix/plot_posix.h"
#include "plot/plot_platform.h"

int main(int argc, char** argv) {
    keep_plot_arguments(argc, argv);
    return run_plot();
}
