// The spectrum rows: "frequency<TAB>magnitude<TAB>phase" and a line end,
// "%" lines between them, numbers in the reader's syntax or the spellings of
// non-finite values. Each row goes straight into the column summary.
#include <cmath>
#include <cstring>
#include <limits>

#include "numbers/numbers.h"
#include "plot/plot.h"

namespace {

// "1.#INF" and the like: read_number stops at '#' after "1." or "-1.".
const char* read_non_finite(const char* number, const char* hash, double* value) {
    const bool negative = (*number == '-');
    if (hash - number != (negative ? 3 : 2) || number[negative ? 1 : 0] != '1') return nullptr;
    const char* spelling = hash + 1;
    if (std::strncmp(spelling, "INF", 3) == 0) {
        *value = negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
        return spelling + 3;
    }
    *value = std::numeric_limits<double>::quiet_NaN();
    if (std::strncmp(spelling, "IND", 3) == 0) return spelling + 3;
    if (std::strncmp(spelling, "QNAN", 4) == 0 || std::strncmp(spelling, "SNAN", 4) == 0) return spelling + 4;
    return nullptr;
}

// One number of a row; nullptr when none starts at p.
const char* read_field(const char* p, double* value) {
    const char* end = nullptr;
    *value = read_number(p, &end);
    if (end == p) return nullptr;
    if (*end == '#') return read_non_finite(p, end, value);
    return end;
}

// One row into values[3]; returns the start of the next line, or nullptr with
// the fault. Stops at the line's '\n' (or a zero byte) whatever it holds.
const char* read_row(const char* p, double values[3], RowFault* fault) {
    *fault = RowFault::not_three_numbers;
    for (int i = 0; i < 3; ++i) {
        if (i > 0) {
            if (*p != '\t') return nullptr;
            ++p;
        }
        p = read_field(p, &values[i]);
        if (p == nullptr) return nullptr;
    }
    if (*p == '\r') ++p;
    if (*p == '\n') return p + 1;
    if (*p == '\0') *fault = RowFault::no_line_end;
    return nullptr;
}

// The binary exponent of a positive finite value, as a bin of exponent_counts.
int exponent_bin(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const int biased = static_cast<int>(bits >> 52);
    if (biased != 0) return biased + (kExponentBias - 1023);
    const uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);
    return 63 - __builtin_clzll(fraction);  // subnormal: 2^(bin - 1074) <= value
}

void keep_warning(const char* line, const char* end, SpectrumSummary* s) {
    if (s->warning_count == kMaxWarnings) return;
    char* out = s->warnings[s->warning_count++];
    int length = 0;
    const char* p = line + 1;
    // "%warning Input step ..." reads "Warning: Input step ..." under the title.
    if (end - line > 9 && std::strncmp(line, "%warning ", 9) == 0) {
        std::memcpy(out, "Warning: ", 9);
        length = 9;
        p = line + 9;
    }
    for (; p < end && *p != '\r' && *p != '\n' && length < kMaxWarningBytes; ++p) {
        // Printable ASCII only: the text goes into XML as it stands.
        out[length++] = (*p >= 0x20 && *p < 0x7F) ? *p : '?';
    }
    out[length] = '\0';
}

int column_of(double frequency, const SpectrumSummary& s) {
    if (!(s.last_frequency > 0.0) || !std::isfinite(s.last_frequency) || !(frequency > 0.0)) return 0;
    const double column = (frequency / s.last_frequency) * kPlotColumns;
    return (column >= kPlotColumns - 1) ? kPlotColumns - 1 : static_cast<int>(column);
}

// The extremes keep the first row of equal values, so that the points of a
// column stay in file order.
void add_point(const RowPoint& point, RowPoint* low, RowPoint* high) {
    if (point.value < low->value) *low = point;
    if (point.value > high->value) *high = point;
}

void add_row(const double values[3], SpectrumSummary* s) {
    const uint32_t row = s->rows++;
    const double frequency = values[0];
    const double magnitude = std::fabs(values[1]);  // the zero-frequency row is signed
    const double phase = values[2];
    if (!std::isfinite(frequency) || !std::isfinite(magnitude) || !std::isfinite(phase)) return;
    ++s->drawn;
    if (magnitude > s->largest) s->largest = magnitude;
    if (magnitude > 0.0) {
        ++s->positive;
        ++s->exponent_counts[exponent_bin(magnitude)];
    }
    ColumnExtremes& column = s->columns[column_of(frequency, *s)];
    const RowPoint point{frequency, magnitude, row};
    const RowPoint angle{frequency, phase, row};
    if (column.count++ == 0) {
        column.low = column.high = point;
        column.phase_low = column.phase_high = angle;
        return;
    }
    add_point(point, &column.low, &column.high);
    add_point(angle, &column.phase_low, &column.phase_high);
}

}  // namespace

void start_summary(double last_frequency, SpectrumSummary* summary) {
    std::memset(summary, 0, sizeof *summary);
    summary->last_frequency = last_frequency;
}

ReadResult add_lines(const char* text, const char* end, SpectrumSummary* s) {
    const char* p = text;
    double values[3];
    RowFault fault = RowFault::none;
    while (p < end) {
        ++s->lines;
        if (*p == '%') {
            const char* line_end = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
            keep_warning(p, (line_end == nullptr) ? end : line_end, s);
            p = (line_end == nullptr) ? end : line_end + 1;
            continue;
        }
        const char* next = read_row(p, values, &fault);
        if (next == nullptr) return ReadResult{fault, s->lines};
        // Rows of a spectrum go up in frequency; rows without one are left out.
        if (std::isfinite(values[0])) {
            if (s->any_frequency && !(values[0] > s->previous_frequency)) {
                return ReadResult{RowFault::frequency_order, s->lines};
            }
            s->any_frequency = true;
            s->previous_frequency = values[0];
        }
        add_row(values, s);
        p = next;
    }
    return ReadResult{RowFault::none, s->lines};
}

bool find_last_frequency(const char* tail, size_t size, bool whole, double* frequency) {
    size_t line_end = size;
    while (line_end > 0) {
        size_t start = line_end - 1;
        while (start > 0 && tail[start - 1] != '\n') --start;
        if (start == 0 && !whole) return false;  // the tail may begin inside this line
        double values[3];
        RowFault fault;
        if (tail[start] != '%' && read_row(tail + start, values, &fault) != nullptr && std::isfinite(values[0])) {
            *frequency = values[0];
            return true;
        }
        line_end = start;
    }
    return false;
}

const char* fault_text(RowFault fault) {
    switch (fault) {
        case RowFault::not_three_numbers:
            return "expected three tab-separated numbers";
        case RowFault::no_line_end:
            return "the row has no line end (the file may be cut short)";
        case RowFault::frequency_order:
            return "the frequency is not above the one before (rows of a spectrum go up in frequency)";
        case RowFault::none:
            break;
    }
    return "";
}
