// The operating-system layer in memory, for fuzzing the whole run: the
// command line is "fftext in out", the input file is a byte range given per
// run, the output file is collected in a string and the message box is
// recorded instead of shown. Any misuse of the layer (a wrong handle, a second
// open, a write after the close) traps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/failure.h"

struct MemoryRun {
    int inputs_opened;
    int inputs_closed;
    int outputs_created;
    int outputs_closed;
    int outputs_discarded;
    std::string output;  // every byte written to the output file
    int messages_shown;
    FailureMessage message;  // the last one shown
    bool message_dialog_mode;
};

// Starts a run whose input file holds data[0 .. size).
void start_memory_run(const uint8_t* data, size_t size);

// Frees the pages the run allocated; the run's data are gone afterwards.
void end_memory_run();

// What the layer saw since start_memory_run.
const MemoryRun& memory_run();
