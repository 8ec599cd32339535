// What main hands to the POSIX layer of fftext-plot.
#pragma once

// Keeps argv for plot_argument_count() and plot_argument().
void keep_plot_arguments(int argc, char** argv);
