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

// Where the frequency's and the magnitude's text lie in the line.
struct RowText {
    const char* begin[2];
    const char* end[2];
};

// One row into values[3]; returns the start of the next line, or nullptr with
// the fault. Stops at the line's '\n' (or a zero byte) whatever it holds.
const char* read_row(const char* p, double values[3], RowFault* fault, RowText* text) {
    *fault = RowFault::not_three_numbers;
    for (int i = 0; i < 3; ++i) {
        if (i > 0) {
            if (*p != '\t') return nullptr;
            ++p;
        }
        if (i < 2) text->begin[i] = p;
        p = read_field(p, &values[i]);
        if (i < 2) text->end[i] = p;
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

// The summary column of a row (see kSummaryColumns). Rows come in rising
// frequency, so the log axis finds its column by stepping through the bounds.
int column_of(double frequency, SpectrumSummary* s) {
    const FrequencyRange& r = s->range;
    constexpr int kLastDrawn = kFirstDrawnColumn + kPlotColumns - 1;
    constexpr int kAfter = kSummaryColumns - 1;
    const bool in_range = frequency >= r.low && (s->one_column || frequency <= r.high);
    if (s->one_column) return in_range ? kFirstDrawnColumn : (frequency < r.low) ? 0 : kAfter;
    if (r.log) {
        while (s->cursor < kAfter && frequency >= s->bounds[s->cursor]) ++s->cursor;
        if (!in_range) return s->cursor;
        return (s->cursor > kLastDrawn) ? kLastDrawn : (s->cursor < kFirstDrawnColumn) ? kFirstDrawnColumn : s->cursor;
    }
    const double column = ((frequency - r.low) / (r.high - r.low)) * kPlotColumns;
    if (in_range) return (column >= kPlotColumns - 1) ? kLastDrawn : kFirstDrawnColumn + static_cast<int>(column);
    if (frequency < r.low) return (column >= -kPeakWindow) ? kFirstDrawnColumn + static_cast<int>(std::floor(column)) : 0;
    return (column < kPlotColumns + kPeakWindow) ? kFirstDrawnColumn + static_cast<int>(column) : kAfter;
}

// A number's text as the file has it, or format_number's when it is longer.
void keep_text(const char* begin, const char* end, double value, char* out) {
    size_t length = static_cast<size_t>(end - begin);
    if (length > static_cast<size_t>(kNumberTextBytes)) {
        length = format_number(value, 9, out);
    } else {
        std::memcpy(out, begin, length);
    }
    out[length] = '\0';
}

void keep_high(const RowPoint& point, double phase, const RowText& text, ColumnExtremes* column) {
    column->high = point;
    column->high_phase = phase;
    keep_text(text.begin[0], text.end[0], point.frequency, column->high_frequency_text);
    keep_text(text.begin[1], text.end[1], point.value, column->high_magnitude_text);
}

// Outside the drawn range a column keeps its largest row for the peaks'
// window; the first column the nearest row before, the last the nearest after.
void keep_outside(int index, const RowPoint& point, SpectrumSummary* s) {
    ColumnExtremes& column = s->columns[index];
    const bool first_seen = column.count++ == 0;
    if (index == 0 || first_seen || (index != kSummaryColumns - 1 && point.value > column.high.value)) {
        column.high = point;
    }
}

// The extremes keep the first row of equal values, so that the points of a
// column stay in file order.
void add_row(const double values[3], const RowText& text, SpectrumSummary* s) {
    const uint32_t row = s->rows++;
    const double frequency = values[0];
    const double magnitude = std::fabs(values[1]);  // the zero-frequency row is signed
    const double phase = values[2];
    if (!std::isfinite(frequency)) {
        ++s->non_finite;
        return;
    }
    const int index = column_of(frequency, s);
    const bool in_range = index >= kFirstDrawnColumn && index < kFirstDrawnColumn + kPlotColumns;
    s->in_range += in_range ? 1 : 0;
    if (!std::isfinite(magnitude) || !std::isfinite(phase)) {
        s->non_finite += in_range ? 1 : 0;
        return;
    }
    const RowPoint point{frequency, magnitude, row};
    if (!in_range) {
        keep_outside(index, point, s);
        return;
    }
    ++s->drawn;
    if (magnitude > s->largest) s->largest = magnitude;
    if (magnitude > 0.0) {
        ++s->positive;
        ++s->exponent_counts[exponent_bin(magnitude)];
    }
    ColumnExtremes& column = s->columns[index];
    if (column.count++ == 0) {
        column.low = point;
        keep_high(point, phase, text, &column);
        return;
    }
    if (magnitude < column.low.value) column.low = point;
    if (magnitude > column.high.value) keep_high(point, phase, text, &column);
}

// The smallest positive double whose plot_log10 is at least `target`.
double frequency_at_log(double target) {
    uint64_t low = 1;                        // the smallest subnormal
    uint64_t high = 0x7FEFFFFFFFFFFFFFull;   // the largest finite double
    auto value_of = [](uint64_t bits) {
        double v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    };
    if (plot_log10(value_of(high)) < target) return value_of(high);
    while (low < high) {
        const uint64_t middle = low + ((high - low) / 2);
        if (plot_log10(value_of(middle)) >= target) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    return value_of(low);
}

// The lowest frequency of each summary column on a log axis: summary column
// i + 1 starts at pixel i + 1 - kFirstDrawnColumn of the drawn range.
void set_log_bounds(SpectrumSummary* s) {
    constexpr int kCount = kSummaryColumns - 1;
    const double span = s->log_high - s->log_low;
    for (int i = 0; i < kCount; ++i) {
        const double x = static_cast<double>(i + 1 - kFirstDrawnColumn);
        s->bounds[i] = frequency_at_log(s->log_low + ((x / kPlotColumns) * span));
    }
    // The range's own ends exactly, and bounds that never go down.
    s->bounds[kFirstDrawnColumn - 1] = s->range.low;
    s->bounds[kFirstDrawnColumn + kPlotColumns - 1] = s->range.high;
    for (int i = kFirstDrawnColumn - 2; i >= 0; --i) s->bounds[i] = std::fmin(s->bounds[i], s->bounds[i + 1]);
    for (int i = kFirstDrawnColumn; i < kCount; ++i) s->bounds[i] = std::fmax(s->bounds[i], s->bounds[i - 1]);
}

}  // namespace

void start_summary(const FrequencyRange& range, SpectrumSummary* summary) {
    std::memset(summary, 0, sizeof *summary);
    // Field by field: the summary's padding stays zero, so that equal
    // summaries have equal bytes.
    summary->range.low = range.low;
    summary->range.high = range.high;
    summary->range.log = range.log;
    summary->one_column = !(range.high > range.low) || !std::isfinite(range.high) || !std::isfinite(range.low) ||
                          (range.log && !(range.low > 0.0));
    if (range.log && !summary->one_column) {
        summary->log_low = plot_log10(range.low);
        summary->log_high = plot_log10(range.high);
        set_log_bounds(summary);
    }
}

ReadResult add_lines(const char* text, const char* end, SpectrumSummary* s) {
    const char* p = text;
    double values[3];
    RowText row_text;
    RowFault fault = RowFault::none;
    while (p < end) {
        ++s->lines;
        if (*p == '%') {
            const char* line_end = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
            keep_warning(p, (line_end == nullptr) ? end : line_end, s);
            p = (line_end == nullptr) ? end : line_end + 1;
            continue;
        }
        const char* next = read_row(p, values, &fault, &row_text);
        if (next == nullptr) return ReadResult{fault, s->lines};
        // Rows of a spectrum go up in frequency; rows without one are left out.
        if (std::isfinite(values[0])) {
            if (s->any_frequency && !(values[0] > s->previous_frequency)) {
                return ReadResult{RowFault::frequency_order, s->lines};
            }
            if (!s->any_frequency) s->first_frequency = values[0];
            s->any_frequency = true;
            s->previous_frequency = values[0];
        }
        add_row(values, row_text, s);
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
        RowText text;
        if (tail[start] != '%' && read_row(tail + start, values, &fault, &text) != nullptr && std::isfinite(values[0])) {
            *frequency = values[0];
            return true;
        }
        line_end = start;
    }
    return false;
}

bool find_first_positive_frequency(const char* head, size_t size, double* frequency) {
    size_t start = 0;
    while (start < size) {
        const char* line_end = static_cast<const char*>(std::memchr(head + start, '\n', size - start));
        if (line_end == nullptr) return false;  // the last line may be cut
        double values[3];
        RowFault fault;
        RowText text;
        if (head[start] != '%' && read_row(head + start, values, &fault, &text) != nullptr &&
            std::isfinite(values[0]) && values[0] > 0.0) {
            *frequency = values[0];
            return true;
        }
        start = static_cast<size_t>(line_end - head) + 1;
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
