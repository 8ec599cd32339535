// The one failure a run can end with: a short ASCII text and a caption, and
// what the Linux build says after them.
#pragma once

#include <cstddef>
#include <cstdint>

struct FailureMessage {
    char text[128];       // empty: no failure
    const char* caption;  // "Error" or "Warning"
    // The 1-based input record the failure lies at, 0 when it lies at none:
    // the record that cannot be read or finds no room, or the later sample
    // of the first interval that breaks the step rule.
    uint32_t record;
    // One more line, without its "fftext: " and line end, that says where
    // and why; empty when nothing more is known. Shown by the Linux build
    // only; at most 255 bytes, printable by construction (see
    // append_shown).
    char detail[256];
};

inline bool failed(const FailureMessage& message) { return message.text[0] != '\0'; }

FailureMessage no_failure();
FailureMessage failure(const char* caption, const char* text);
// `format` holds one "%u", replaced by the record number, which is also kept.
FailureMessage failure_at_record(const char* format, uint32_t record_number);

extern const char kCaptionError[];    // "Error"
extern const char kCaptionWarning[];  // "Warning"

// Appends to message->detail, cutting what does not fit: `text` as it stands
// (ASCII the program made itself), or `length` bytes from outside (a path, a
// line of the input) shown safely: control bytes, bytes that are not UTF-8
// and the backslash become \t, \r, \n, \\ or \xHH; after `most` bytes of
// them, "..." instead of the rest.
void append_detail(FailureMessage* message, const char* text);
void append_shown(FailureMessage* message, const char* bytes, size_t length, size_t most);
// A failure of a system call: `text`, with the system's reason (os.h's
// system_reason(), taken at once) as its detail.
FailureMessage system_failure(const char* text, const char* reason);
// An unsigned number in decimal digits.
void append_count(FailureMessage* message, uint64_t value);
