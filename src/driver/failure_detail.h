// What the Linux build says after a failure's message: where in the input
// and why. Each routine runs on the failure path only, rescanning the text
// where it needs physical lines, and fills message->detail.
#pragma once

#include <cstdint>

#include "common/failure.h"
#include "common/records.h"

// Where record `record` (1-based) of the text lies: its physical line
// (1-based; CR LF, LF and CR each end one) and that line's bytes, without
// its line end. Records are the lines that hold a byte other than
// whitespace, up to the text's first zero byte, as parse_samples reads
// them. False when the text has fewer records.
struct RecordLine {
    uint32_t line;
    const char* begin;
    const char* end;
};
bool find_record_line(const TextBuffer& text, uint32_t record, RecordLine* place);

// `name` is the input as the user named it, shown safely.
// After parse_samples: the line of the failing record and its text, the
// line where the room ran out, or how many samples were read (`count`).
void describe_parse_failure(FailureMessage* message, const char* name, const TextBuffer& text,
                            uint32_t count);
// After check_step: the first interval that breaks the rule (its lines, the
// interval, the mean step), or, where none does, the first and last
// abscissa, their lines and the step.
void describe_step_failure(FailureMessage* message, const char* name, const TextBuffer& text,
                           const SamplePoint* points, uint32_t count, const StepInfo& step);
// After load_input_file: the name before what the loader said.
void describe_file_failure(FailureMessage* message, const char* name);
