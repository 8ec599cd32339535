// The one failure a run can end with: a short ASCII text and a caption.
#pragma once

#include <cstdint>

struct FailureMessage {
    char text[128];       // empty: no failure
    const char* caption;  // "Error" or "Warning"
};

inline bool failed(const FailureMessage& message) { return message.text[0] != '\0'; }

FailureMessage no_failure();
FailureMessage failure(const char* caption, const char* text);
// `format` holds one "%u", replaced by the record number.
FailureMessage failure_at_record(const char* format, uint32_t record_number);

extern const char kCaptionError[];    // "Error"
extern const char kCaptionWarning[];  // "Warning"
