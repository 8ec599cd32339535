// Input: loading the file and turning its text into sample points.
#pragma once

#include <cstdint>

#include "common/failure.h"
#include "common/records.h"
#include "common/workers.h"
#include "platform/platform.h"

// The text's whitespace: the bytes 0x09 to 0x0D and the blank; CR and LF end
// a line. The parser and the rescans of a failed or all-zero run share them.
inline bool is_input_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
inline bool is_line_break(char c) { return c == '\n' || c == '\r'; }

// Files must be shorter than this (2^28 bytes).
constexpr uint32_t kMaxInputBytes = 268435456u;

// Reads the whole file at `path` into a zero-terminated text buffer and
// allocates the sample array: 8 * floor(size / 2) bytes, page-rounded, so its
// room is that rounded block in SamplePoint records. Fails with the loader's
// messages ("Empty file" is the only one captioned "Warning"). A large file
// is read on up to workers.count threads.
FailureMessage load_input_file(const PathChar* path, TextBuffer* text, SampleArray* samples,
                               const Workers& workers);

// Parses one record per non-blank line into samples.values, never more than
// samples.room records. On success *count is the number of records (>= 2: a single point has no step).
// Fails with "Invalid value at line %u", "Invalid input file format at line %u",
// "Too few data" (*count then holds the records read, 0 or 1), or "Out of
// memory (data array)" when the room is full; the message's record is the
// record that failed or found no room.
// A text of 1 MiB or more is parsed in chunks of at least 512 KiB, one per
// worker, with the same records and messages as one pass.
FailureMessage parse_samples(const TextBuffer& text, const SampleArray& samples, uint32_t* count,
                             const Workers& workers);

// The same, with the text split into workers.count chunks (1 ... 64)
// whatever its size.
FailureMessage parse_samples_in_chunks(const TextBuffer& text, const SampleArray& samples, uint32_t* count,
                                       const Workers& workers);
