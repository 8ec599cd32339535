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

struct PlotOptions {
    bool linear;  // linear magnitude axis instead of decades
    bool phase;   // a phase panel under the magnitude
};

// One point of a row: its frequency and a value (magnitude or phase).
struct RowPoint {
    double frequency;
    double value;
    uint32_t row;  // 0-based among all rows, to keep the points in file order
};

// The rows of one pixel column. count == 0: no row fell in it.
struct ColumnExtremes {
    uint32_t count;
    RowPoint low;   // smallest magnitude
    RowPoint high;  // largest magnitude
    RowPoint phase_low;
    RowPoint phase_high;
};

struct SpectrumSummary {
    double last_frequency;  // of the last row with a finite frequency; sets the x scale
    uint32_t rows;          // spectrum rows read
    uint32_t drawn;         // rows with three finite values
    uint32_t lines;         // lines read, warnings included
    double previous_frequency;  // the last finite frequency seen, for the order check
    bool any_frequency;
    double largest;         // largest drawn magnitude (absolute value)
    uint32_t positive;      // drawn magnitudes above zero
    uint32_t exponent_counts[kExponentBins];  // their binary exponents
    int warning_count;
    char warnings[kMaxWarnings][kMaxWarningBytes + 1];
    ColumnExtremes columns[kPlotColumns];
};

// Why reading stopped; `line` is the 1-based line of the fault.
enum class RowFault { none, not_three_numbers, no_line_end, frequency_order };

struct ReadResult {
    RowFault fault;
    uint32_t line;
};

// Clears the summary for a spectrum whose x axis ends at `last_frequency`
// (0 or less, or not finite: one column holds everything).
void start_summary(double last_frequency, SpectrumSummary* summary);

// Adds the lines in [text, end) to the summary. `end` points just past a
// '\n', or, for the last block of a file that does not end with one, at a
// zero byte that must follow the text. Lines are counted on from
// summary->lines. Stops at the first bad line.
ReadResult add_lines(const char* text, const char* end, SpectrumSummary* summary);

// The frequency of the last row in `tail` (the end of a file, zero-terminated
// at tail[size]) whose frequency is finite; false when no complete row of
// `tail` has one. `whole` is true when `tail` is the whole file, so that its
// first line is complete.
bool find_last_frequency(const char* tail, size_t size, bool whole, double* frequency);

// The message of a fault, without the file name and line: "expected three
// tab-separated numbers" and the like.
const char* fault_text(RowFault fault);

// The SVG picture of a summary, titled `title` (UTF-8, shown as given; XML
// escaped here). The same summary gives the same bytes on every build.
std::string draw_picture(const SpectrumSummary& summary, const PlotOptions& options, const std::string& title);

// log10(x) for finite x > 0 by the program's own arithmetic, identical on
// every build (the C libraries' log10 differ in the last bit); within a few
// units in the last place.
double plot_log10(double x);
