// fftext-plot: a picture of a spectrum file. The rows are read block by block
// into a fixed-size summary (per pixel column the extremes of the rows that
// fall in it), so the picture costs the same whatever the row count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The picture's geometry, in pixels. The plot area is kPlotColumns wide, and
// every pixel column of it keeps the extremes of its rows.
constexpr int kPictureWidth = 900;
constexpr int kPlotLeft = 80;
constexpr int kPlotColumns = 796;

// Warning lines kept for the picture, each cut to this many bytes.
constexpr int kMaxWarnings = 4;
constexpr int kMaxWarningBytes = 120;

// Binary exponents of positive finite doubles: -1074 ... 1023.
constexpr int kExponentBins = 2098;
constexpr int kExponentBias = 1074;

// The peaks: a row is a peak when its frequency is not 0, its magnitude is
// at least kPeakFactor times the drawn rows' median rounded down to a power
// of two, and it is the largest (of equal ones the first) of the rows within
// kPeakWindow pixel columns on either side; on a side where those columns
// hold no row, also of the rows of the nearest column holding rows. The window
// also takes in the rows just outside the drawn range.
constexpr int kPeakWindow = 8;
constexpr double kPeakFactor = 16.0;
constexpr int kMaxPeaks = 100;

// The phase panel shows a column's phase only where its largest magnitude is
// at least this fraction of the largest drawn magnitude.
constexpr double kPhaseShownFraction = 0.01;

// Summary columns: the row just before the window's reach, kPeakWindow
// columns left of the drawn range, the kPlotColumns drawn ones, kPeakWindow
// right of it, and the first row after.
constexpr int kFirstDrawnColumn = kPeakWindow + 1;
constexpr int kSummaryColumns = kPlotColumns + (2 * kPeakWindow) + 2;

// A number's text as the spectrum writes it (longer fields are rewritten by
// format_number with 17 digits).
constexpr int kNumberTextBytes = 31;

struct PlotOptions {
    bool linear;         // linear magnitude axis instead of decades
    bool phase;          // a phase panel under the magnitude
    bool log_frequency;  // logarithmic frequency axis
    int peaks;           // peaks marked, 0 ... kMaxPeaks
};

// The drawn part of the frequency axis, [low, high]. With `log` low > 0.
// high <= low (or not finite): every row from low on falls in the first
// column, drawn at the left edge.
struct FrequencyRange {
    double low;
    double high;
    bool log;
};

// One point of a row: its frequency and a value (magnitude or phase).
struct RowPoint {
    double frequency;
    double value;
    uint64_t row;  // 0-based among all rows, to keep the points in file order
                   // (64 bits: no padding, so equal summaries have equal bytes)
};

// The rows of one pixel column. count == 0: no row fell in it. Outside the
// drawn range only `high` is kept, for the peaks' window; the first column
// keeps the last row before the margin, the last column the first row after.
struct ColumnExtremes {
    uint32_t count;
    RowPoint low;        // smallest magnitude
    RowPoint high;       // largest magnitude
    double high_phase;   // the phase of that row
    char high_frequency_text[kNumberTextBytes + 1];
    char high_magnitude_text[kNumberTextBytes + 1];
};

struct SpectrumSummary {
    FrequencyRange range;
    bool one_column;        // the range has no width: everything in the first column
    double log_low;         // plot_log10 of the range's ends (log axis)
    double log_high;
    // Log axis: bounds[i] is the lowest frequency of summary column i + 1.
    double bounds[kSummaryColumns - 1];
    int cursor;             // log axis: the summary column of the last row
    uint32_t rows;          // spectrum rows read
    uint32_t in_range;      // rows whose frequency is in the range
    uint32_t drawn;         // of those, rows with three finite values
    uint32_t non_finite;    // rows left out for a non-finite value
    uint32_t lines;         // lines read, warnings included
    double first_frequency; // the first finite frequency seen
    double previous_frequency;  // the last finite frequency seen, for the order check
    bool any_frequency;
    double largest;         // largest drawn magnitude (absolute value)
    uint32_t positive;      // drawn magnitudes above zero
    uint32_t exponent_counts[kExponentBins];  // their binary exponents
    int warning_count;
    char warnings[kMaxWarnings][kMaxWarningBytes + 1];
    ColumnExtremes columns[kSummaryColumns];
};

// A peak: the row's frequency and magnitude, their text as in the file.
struct Peak {
    RowPoint point;
    const char* frequency_text;
    const char* magnitude_text;
};

// Why reading stopped; `line` is the 1-based line of the fault.
enum class RowFault { none, not_three_numbers, no_line_end, frequency_order };

struct ReadResult {
    RowFault fault;
    uint32_t line;
};

// Clears the summary for the drawn range.
void start_summary(const FrequencyRange& range, SpectrumSummary* summary);

// Adds the lines in [text, end) to the summary. `end` points just past a
// '\n', or, for the last block of a file that does not end with one, at a
// zero byte that must follow the text. Lines are counted on from
// summary->lines. Stops at the first bad line.
ReadResult add_lines(const char* text, const char* end, SpectrumSummary* summary);

// The first positive finite frequency among the complete rows of `head` (the
// start of a file, zero-terminated at head[size]); false when there is none.
bool find_first_positive_frequency(const char* head, size_t size, double* frequency);

// The frequency of the last row in `tail` (the end of a file, zero-terminated
// at tail[size]) whose frequency is finite; false when no complete row of
// `tail` has one. `whole` is true when `tail` is the whole file, so that its
// first line is complete.
bool find_last_frequency(const char* tail, size_t size, bool whole, double* frequency);

// The message of a fault, without the file name and line: "expected three
// tab-separated numbers" and the like.
const char* fault_text(RowFault fault);

// Up to `wanted` peaks of the summary (see kPeakWindow), strongest first (of
// equal ones the first row); returns how many were written to peaks[].
int find_peaks(const SpectrumSummary& summary, int wanted, Peak* peaks);

// The SVG picture of a summary, titled `title` (UTF-8, shown as given; XML
// escaped here). The same summary gives the same bytes on every build.
std::string draw_picture(const SpectrumSummary& summary, const PlotOptions& options, const std::string& title);

// log10(x) for finite x > 0 by the program's own arithmetic, identical on
// every build (the C libraries' log10 differ in the last bit); within a few
// units in the last place.
double plot_log10(double x);
