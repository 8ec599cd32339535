#include <cmath>

#include "input/input.h"

namespace {

bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool is_line_break(char c) { return c == '\n' || c == '\r'; }

// The first CR, LF or the terminating zero at or after `cursor`.
const char* end_of_line(const char* cursor) {
    while (*cursor != '\0' && !is_line_break(*cursor)) ++cursor;
    return cursor;
}

}  // namespace

FailureMessage parse_samples(const TextBuffer& text, const SampleArray& samples, uint32_t* count) {
    SamplePoint* points = reinterpret_cast<SamplePoint*>(samples.values);
    const char* cursor = text.bytes;
    uint32_t n = 0;
    for (;;) {
        while (is_space(*cursor)) ++cursor;
        if (*cursor == '\0') break;
        if (n == samples.room) return failure(kCaptionError, "Out of memory (data array)");

        // Record numbers count records only, not blank lines. With fewer than
        // 2^28 bytes of text they cannot wrap.
        const uint32_t record_number = n + 1u;
        points[n].x = read_number(cursor, &cursor);
        if (!std::isfinite(points[n].x)) {
            return failure_at_record("Invalid value at line %u", record_number);
        }
        for (; is_space(*cursor); ++cursor) {
            if (is_line_break(*cursor)) {
                return failure_at_record("Invalid input file format at line %u", record_number);
            }
        }
        points[n].y = read_number(cursor, &cursor);
        if (!std::isfinite(points[n].y)) {
            return failure_at_record("Invalid value at line %u", record_number);
        }
        n = record_number;
        // Whatever follows y on its line (more columns, a comment) is ignored.
        cursor = end_of_line(cursor);
        if (*cursor == '\0') break;
    }
    // A single point has no step and no spectrum.
    if (n < 2) return failure(kCaptionError, "Too few data");
    *count = n;
    return no_failure();
}
