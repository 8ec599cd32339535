// What main hands to the POSIX layer before the run starts.
#pragma once

// Keeps argv for argument_count() and argument(); both stay valid for the run.
void keep_arguments(int argc, char** argv);
