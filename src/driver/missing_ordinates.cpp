#include "driver/missing_ordinates.h"

#include "input/input.h"
#include "numbers/numbers.h"

const char kMissingOrdinatesNote[] =
    "every ordinate read as 0: no number stood where the second column was expected (commas or "
    "semicolons between the columns?); fftext-import EXPORT DATA converts such a file";

bool ordinates_missing(const TextBuffer& text, const double* spectrum, uint32_t N) {
    for (uint32_t i = 0; i < N; ++i) {
        if (spectrum[i] != 0.0) return false;
    }
    // The records as parse_samples reads them: the abscissa at the first
    // byte that is no whitespace, then blanks, then where the ordinate starts.
    const char* cursor = text.bytes;
    for (;;) {
        while (is_input_space(*cursor)) ++cursor;
        if (*cursor == '\0') return true;
        const char* end;
        read_number(cursor, &end);
        for (cursor = end; is_input_space(*cursor) && !is_line_break(*cursor); ++cursor) {
        }
        read_number(cursor, &end);
        if (end != cursor) return false;
        while (*cursor != '\0' && !is_line_break(*cursor)) ++cursor;
    }
}
