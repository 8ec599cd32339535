// What fftext prints about itself on Linux: for --help on standard output,
// and before the reason when no dialog could be shown on standard error.
#pragma once

// The usage line, unchanged since the first release, and a few lines for
// someone who ran the program without knowing it.
inline const char kUsageText[] =
    "usage: fftext INPUT OUTPUT\n"
    "Computes the Fourier spectrum of INPUT, a text file of \"abscissa ordinate\"\n"
    "lines with equidistant abscissae, and writes frequency, magnitude and phase\n"
    "rows to OUTPUT. Without both paths, file dialogs ask for them on a desktop.\n"
    "Exit code: 1 when the spectrum was written, 0 otherwise.\n"
    "Manual: man fftext (input format, messages, scripting, reading the output).\n";
