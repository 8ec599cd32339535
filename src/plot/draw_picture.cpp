// draw_picture: the SVG text of a summary. Every coordinate is rounded to a
// tenth of a pixel and written from an integer, and every label by
// format_number, so the bytes do not depend on the C library or the locale.
#include <charconv>
#include <cmath>
#include <string>

#include "numbers/numbers.h"
#include "plot/plot.h"

namespace {

constexpr int kPlotRight = kPlotLeft + kPlotColumns;
constexpr int kTitleBaseline = 26;
constexpr int kNoteSpacing = 15;
constexpr int kMagnitudeBottom = 448;
constexpr int kPhaseTop = 472;
constexpr int kPhaseBottom = 652;
constexpr int kOnePanelHeight = 500;
constexpr int kTwoPanelHeight = 704;
// Decades below the largest magnitude shown at most: deeper values (zeros,
// rounding noise) lie on the bottom edge instead of flattening the rest.
constexpr int kMaxDecades = 12;
constexpr const char* kLineColour = "#1f5fa8";
// Up to this many rows, each one is also marked by a dot.
constexpr uint32_t kMarkedRows = 100;

struct Panel {
    int top;
    int bottom;
};

// How values map to heights: decades [low, high] or linear [0, high].
struct ValueAxis {
    bool log;
    double low;
    double high;
};

void append_int(std::string* out, long long value) {
    char digits[24];
    *out += std::string(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

// A coordinate of at least 0, rounded to a tenth: "123" or "123.4".
void append_coordinate(std::string* out, double pixels) {
    const long long tenths = static_cast<long long>((pixels * 10.0) + 0.5);
    append_int(out, tenths / 10);
    if (tenths % 10 != 0) {
        *out += '.';
        *out += static_cast<char>('0' + (tenths % 10));
    }
}

void append_number(std::string* out, double value) {
    char text[32];
    *out += std::string(text, format_number(value, 9, text));
}

// 10^exponent, correctly rounded (read from its text).
double power_of_ten(int exponent) {
    char text[16] = "1e";
    *std::to_chars(text + 2, text + sizeof text - 1, exponent).ptr = '\0';
    const char* end = nullptr;
    return read_number(text, &end);
}

// The smallest k with 10^k >= value (value > 0, finite).
int decade_at_or_above(double value) {
    int k = static_cast<int>(std::floor(plot_log10(value)));
    while (power_of_ten(k) < value) ++k;
    while (power_of_ten(k - 1) >= value) --k;
    return k;
}

// A 1-2-5 step that splits [0, span] into at most `count` steps (span > 0).
double nice_step(double span, int count) {
    const int exponent = static_cast<int>(std::floor(plot_log10(span / count)));
    for (int e = exponent - 1;; ++e) {
        for (int mantissa : {1, 2, 5}) {
            const double step = mantissa * power_of_ten(e);
            if (step * count >= span) return step;
        }
    }
}

// The lower bound of the magnitude at the first percentile of the positive
// magnitudes, as a power of two's exponent (exact from the histogram).
int first_percentile_exponent(const SpectrumSummary& s) {
    const uint32_t wanted = (s.positive + 99) / 100;
    uint32_t seen = 0;
    for (int bin = 0; bin < kExponentBins; ++bin) {
        seen += s.exponent_counts[bin];
        if (seen >= wanted) return bin - kExponentBias;
    }
    return 0;
}

// A linear axis where every magnitude is 0 or none is finite.
bool nothing_above_zero(const SpectrumSummary& s) {
    return !(s.largest > 0.0);
}

ValueAxis magnitude_axis(const SpectrumSummary& s, const PlotOptions& options) {
    if (options.linear || nothing_above_zero(s)) {
        if (!(s.largest > 0.0)) return ValueAxis{false, 0.0, 1.0};
        const double step = nice_step(s.largest, 6);
        return ValueAxis{false, 0.0, std::ceil(s.largest / step) * step};
    }
    if (s.positive == 0) return ValueAxis{true, -1.0, 0.0};
    const int high = decade_at_or_above(s.largest);
    // floor(e * log10(2)) for |e| < 1650, in integers.
    int low = (first_percentile_exponent(s) * 78913) >> 18;
    if (low < high - kMaxDecades) low = high - kMaxDecades;
    if (low > high - 1) low = high - 1;
    return ValueAxis{true, static_cast<double>(low), static_cast<double>(high)};
}

double height_of(double value, const ValueAxis& axis, const Panel& panel) {
    double fraction = 0.0;
    if (axis.log) {
        fraction = (value > 0.0) ? ((plot_log10(value) - axis.low) / (axis.high - axis.low)) : 0.0;
    } else {
        fraction = (value - axis.low) / (axis.high - axis.low);
    }
    if (!(fraction > 0.0)) fraction = 0.0;
    if (fraction > 1.0) fraction = 1.0;
    return panel.bottom - (fraction * (panel.bottom - panel.top));
}

// The x position of a frequency on the drawn range, clamped to the plot.
double x_of(double frequency, const SpectrumSummary& s) {
    double fraction = 0.0;
    if (s.one_column) {
        fraction = 0.0;
    } else if (s.range.log) {
        fraction = (frequency > 0.0) ? ((plot_log10(frequency) - s.log_low) / (s.log_high - s.log_low)) : 0.0;
    } else {
        fraction = (frequency - s.range.low) / (s.range.high - s.range.low);
    }
    if (!(fraction > 0.0)) fraction = 0.0;
    if (fraction > 1.0) fraction = 1.0;
    return kPlotLeft + (fraction * kPlotColumns);
}

void append_escaped(std::string* out, const std::string& text) {
    for (char c : text) {
        switch (c) {
            case '&': *out += "&amp;"; break;
            case '<': *out += "&lt;"; break;
            case '>': *out += "&gt;"; break;
            case '"': *out += "&quot;"; break;
            default: *out += c;
        }
    }
}

// <text x="X" y="Y" ATTRIBUTES>
void open_text(std::string* out, double x, double y, const char* attributes) {
    *out += "<text x=\"";
    append_coordinate(out, x);
    *out += "\" y=\"";
    append_coordinate(out, y);
    *out += "\"";
    *out += attributes;
    *out += ">";
}

void horizontal_line(std::string* out, double y) {
    *out += "M";
    append_int(out, kPlotLeft);
    *out += " ";
    append_coordinate(out, y);
    *out += "H";
    append_int(out, kPlotRight);
}

void vertical_line(std::string* out, double x, const Panel& panel) {
    *out += "M";
    append_coordinate(out, x);
    *out += " ";
    append_int(out, panel.top);
    *out += "V";
    append_int(out, panel.bottom);
}

void draw_grid_path(std::string* out, const std::string& path) {
    if (path.empty()) return;
    *out += "<path d=\"" + path + "\" stroke=\"#e3e3e3\" stroke-width=\"1\" fill=\"none\"/>\n";
}

void draw_frame(std::string* out, const Panel& panel) {
    *out += "<rect x=\"";
    append_int(out, kPlotLeft);
    *out += "\" y=\"";
    append_int(out, panel.top);
    *out += "\" width=\"";
    append_int(out, kPlotColumns);
    *out += "\" height=\"";
    append_int(out, panel.bottom - panel.top);
    *out += "\" fill=\"none\" stroke=\"#9a9a9a\" stroke-width=\"1\"/>\n";
}

void frequency_label(std::string* text, double x, const Panel& panel, double frequency) {
    open_text(text, x, panel.bottom + 17, " text-anchor=\"middle\"");
    append_number(text, frequency);
    *text += "</text>\n";
}

// A log axis: grid lines at 1 ... 9 times each power of ten; labels at the
// powers of ten, over two decades or less also at 2 and 5 times them, within
// a decade at all; the range's ends are labelled when no tick is.
void log_frequency_ticks(const SpectrumSummary& s, const Panel& panel, std::string* grid, std::string* text) {
    const double decades = s.log_high - s.log_low;
    int labelled = 0;
    for (int k = decade_at_or_above(s.range.low) - 1; power_of_ten(k) <= s.range.high; ++k) {
        for (int m = 1; m <= 9; ++m) {
            const double frequency = m * power_of_ten(k);
            if (frequency < s.range.low || frequency > s.range.high) continue;
            const double x = x_of(frequency, s);
            if (frequency > s.range.low) vertical_line(grid, x, panel);
            if (m == 1 || (decades <= 2.0 && (m == 2 || m == 5)) || decades <= 1.0) {
                frequency_label(text, x, panel, frequency);
                ++labelled;
            }
        }
    }
    if (labelled == 0) {
        frequency_label(text, kPlotLeft, panel, s.range.low);
        frequency_label(text, kPlotLeft + kPlotColumns, panel, s.range.high);
    }
}

// Vertical grid lines at the frequency ticks, labels under the panel when
// `labels` is set. A linear axis has 1-2-5 steps.
void draw_frequency_ticks(std::string* out, const SpectrumSummary& s, const Panel& panel, bool labels) {
    std::string grid;
    std::string text;
    if (s.range.log && !s.one_column) {
        log_frequency_ticks(s, panel, &grid, &text);
    } else {
        const double low = s.range.low;
        const double end = s.one_column ? low + 1.0 : s.range.high;
        const double step = nice_step(end - low, 10);
        for (double i = std::ceil(low / step); i * step <= end; ++i) {
            const double tick = i * step;
            const double x = s.one_column ? kPlotLeft + ((tick - low) * kPlotColumns) : x_of(tick, s);
            if (tick > low) vertical_line(&grid, x, panel);
            frequency_label(&text, x, panel, tick);
        }
    }
    draw_grid_path(out, grid);
    if (labels) *out += text;
}

// One tick label left of the panel, right-aligned.
void open_value_label(std::string* out, double y) {
    open_text(out, kPlotLeft - 7, y + 4, " text-anchor=\"end\"");
}

void draw_magnitude_ticks(std::string* out, const ValueAxis& axis, const Panel& panel) {
    std::string grid;
    std::string text;
    if (axis.log) {
        const int low = static_cast<int>(axis.low);
        const int high = static_cast<int>(axis.high);
        const int label_every = (high - low > 8) ? 2 : 1;
        for (int k = low; k <= high; ++k) {
            const double y = panel.bottom - ((k - axis.low) / (axis.high - axis.low) * (panel.bottom - panel.top));
            if (k > low && k < high) horizontal_line(&grid, y);
            if ((high - k) % label_every != 0) continue;
            open_value_label(&text, y);
            text += "10<tspan dy=\"-6\" font-size=\"9\">";
            if (k < 0) text += "\xE2\x88\x92";  // U+2212 minus sign
            append_int(&text, (k < 0) ? -k : k);
            text += "</tspan></text>\n";
        }
    } else {
        const double step = nice_step(axis.high, 6);
        for (int i = 0; i * step <= axis.high * (1 + 1e-9); ++i) {
            const double y = height_of(i * step, axis, panel);
            if (i > 0) horizontal_line(&grid, y);
            open_value_label(&text, y);
            append_number(&text, i * step);
            text += "</text>\n";
        }
    }
    draw_grid_path(out, grid);
    *out += text;
}

void draw_phase_ticks(std::string* out, const Panel& panel) {
    static const char* const kLabels[] = {"\xE2\x88\x92\xCF\x80", "\xE2\x88\x92\xCF\x80/2", "0", "\xCF\x80/2",
                                          "\xCF\x80"};
    std::string grid;
    std::string text;
    for (int i = 0; i < 5; ++i) {
        const double y = panel.bottom - (i * (panel.bottom - panel.top) / 4.0);
        if (i > 0 && i < 4) horizontal_line(&grid, y);
        open_value_label(&text, y);
        text += kLabels[i];
        text += "</text>\n";
    }
    draw_grid_path(out, grid);
    *out += text;
}

void draw_axis_title(std::string* out, const char* title, const Panel& panel) {
    const int middle = (panel.top + panel.bottom) / 2;
    *out += "<text x=\"22\" y=\"";
    append_int(out, middle);
    *out += "\" transform=\"rotate(-90 22 ";
    append_int(out, middle);
    *out += ")\" text-anchor=\"middle\">";
    *out += title;
    *out += "</text>\n";
}

void append_point(std::string* path, double x, double y, int* points) {
    *path += (*points == 0) ? "M" : " ";
    append_coordinate(path, x);
    *path += " ";
    append_coordinate(path, y);
    ++*points;
}

// The magnitude line through each column's smallest and largest value, in
// file order: every peak and every dip stays in the picture.
void draw_magnitude_line(std::string* out, const SpectrumSummary& s, const ValueAxis& axis,
                         const Panel& panel) {
    std::string path;
    std::string dots;
    int points = 0;
    for (int index = kFirstDrawnColumn; index < kFirstDrawnColumn + kPlotColumns; ++index) {
        const ColumnExtremes& column = s.columns[index];
        if (column.count == 0) continue;
        const bool low_first = column.low.row <= column.high.row;
        const RowPoint& first = low_first ? column.low : column.high;
        const RowPoint& second = low_first ? column.high : column.low;
        for (const RowPoint* point : {&first, &second}) {
            if (point == &second && second.row == first.row) break;
            const double x = x_of(point->frequency, s);
            const double y = height_of(point->value, axis, panel);
            append_point(&path, x, y, &points);
            int dot = 0;
            append_point(&dots, x, y, &dot);
            dots += "h0";
        }
    }
    if (points == 0) return;
    if (points > 1) {
        *out += "<path d=\"" + path + "\" fill=\"none\" stroke=\"" + kLineColour +
                "\" stroke-width=\"1.2\" stroke-linejoin=\"round\" stroke-linecap=\"round\"/>\n";
    }
    if (s.drawn <= kMarkedRows) {
        *out += "<path d=\"" + dots + "\" fill=\"none\" stroke=\"" + kLineColour +
                "\" stroke-width=\"5\" stroke-linecap=\"round\"/>\n";
    }
}

// Each column's phase is that of its largest magnitude, drawn as a dot where
// that magnitude is at least kPhaseShownFraction of the largest one: the
// phase of bins at the noise floor is noise.
void draw_phase_marks(std::string* out, const SpectrumSummary& s, const Panel& panel) {
    const ValueAxis axis{false, -3.141592653589793, 3.141592653589793};
    std::string path;
    for (int index = kFirstDrawnColumn; index < kFirstDrawnColumn + kPlotColumns; ++index) {
        const ColumnExtremes& column = s.columns[index];
        int points = 0;
        if (column.count == 0 || !(column.high.value > 0.0) ||
            !(column.high.value >= kPhaseShownFraction * s.largest)) {
            continue;
        }
        append_point(&path, x_of(column.high.frequency, s), height_of(column.high_phase, axis, panel), &points);
        path += "h0";
    }
    if (path.empty()) return;
    *out += "<path d=\"" + path + "\" fill=\"none\" stroke=\"" + kLineColour +
            "\" stroke-width=\"3\" stroke-linecap=\"round\"/>\n";
}

// Each peak: a red ring on its row and its frequency above it, as the file
// writes it. Labels closer than kLabelRoom to the one left of them go a line
// higher, up to three lines.
void draw_peaks(std::string* out, const SpectrumSummary& s, const PlotOptions& options, const ValueAxis& axis,
                const Panel& panel) {
    constexpr double kLabelRoom = 64.0;
    Peak peaks[kMaxPeaks];
    const int count = find_peaks(s, options.peaks, peaks);
    if (count == 0) return;
    // Left to right, so that the labels can step around each other.
    for (int i = 1; i < count; ++i) {
        for (int k = i; k > 0 && peaks[k].point.row < peaks[k - 1].point.row; --k) {
            const Peak swap = peaks[k];
            peaks[k] = peaks[k - 1];
            peaks[k - 1] = swap;
        }
    }
    std::string rings;
    std::string labels;
    double previous_x = -1e9;
    int level = 0;
    for (int i = 0; i < count; ++i) {
        const double x = x_of(peaks[i].point.frequency, s);
        const double y = height_of(peaks[i].point.value, axis, panel);
        level = (x - previous_x < kLabelRoom) ? (level + 1) % 3 : 0;
        previous_x = x;
        rings += "<circle cx=\"";
        append_coordinate(&rings, x);
        rings += "\" cy=\"";
        append_coordinate(&rings, y);
        rings += "\" r=\"4\"/>\n";
        double label_y = y - 8 - (12 * level);
        if (label_y < panel.top + 10) label_y = panel.top + 10 + (12 * level);
        open_text(&labels, x, label_y, " text-anchor=\"middle\"");
        append_escaped(&labels, peaks[i].frequency_text);
        labels += "</text>\n";
    }
    *out += "<g fill=\"none\" stroke=\"#c0392b\" stroke-width=\"1.5\">\n" + rings + "</g>\n";
    *out += "<g font-size=\"10\" fill=\"#c0392b\">\n" + labels + "</g>\n";
}

// The title, the file's warnings and the count of rows left out; returns how
// many lines went under the title.
int draw_heading(std::string* out, const SpectrumSummary& s, const std::string& title) {
    open_text(out, kPlotLeft, kTitleBaseline, " font-size=\"15\" fill=\"#222\"");
    append_escaped(out, title);
    *out += "</text>\n";
    int notes = 0;
    for (int i = 0; i < s.warning_count; ++i, ++notes) {
        open_text(out, kPlotLeft, kTitleBaseline + kNoteSpacing * (notes + 1), " font-size=\"11\" fill=\"#666\"");
        append_escaped(out, s.warnings[i]);
        *out += "</text>\n";
    }
    const uint32_t left_out = s.non_finite;
    if (left_out > 0) {
        open_text(out, kPlotLeft, kTitleBaseline + kNoteSpacing * (notes + 1), " font-size=\"11\" fill=\"#666\"");
        append_int(out, left_out);
        *out += (left_out == 1) ? " row with a non-finite value not drawn" : " rows with non-finite values not drawn";
        *out += "</text>\n";
        ++notes;
    }
    const char* state = (s.drawn == 0) ? "no row has three finite values" : nothing_above_zero(s) ? "all magnitudes are 0" : nullptr;
    if (state != nullptr) {
        open_text(out, kPlotLeft, kTitleBaseline + kNoteSpacing * (notes + 1), " font-size=\"11\" fill=\"#c0392b\"");
        *out += state;
        *out += "</text>\n";
        ++notes;
    }
    return notes;
}

}  // namespace

std::string draw_picture(const SpectrumSummary& s, const PlotOptions& options, const std::string& title) {
    const int height = options.phase ? kTwoPanelHeight : kOnePanelHeight;
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"";
    append_int(&out, kPictureWidth);
    out += "\" height=\"";
    append_int(&out, height);
    out += "\" viewBox=\"0 0 ";
    append_int(&out, kPictureWidth);
    out += " ";
    append_int(&out, height);
    out += "\" font-family=\"sans-serif\" font-size=\"11\" fill=\"#333\">\n";
    out += "<rect width=\"100%\" height=\"100%\" fill=\"#fff\"/>\n";

    const int notes = draw_heading(&out, s, title);
    const Panel magnitude{kTitleBaseline + 16 + (kNoteSpacing * notes), kMagnitudeBottom};
    const ValueAxis axis = magnitude_axis(s, options);
    draw_frequency_ticks(&out, s, magnitude, !options.phase);
    draw_magnitude_ticks(&out, axis, magnitude);
    draw_frame(&out, magnitude);
    draw_magnitude_line(&out, s, axis, magnitude);
    draw_peaks(&out, s, options, axis, magnitude);
    draw_axis_title(&out, "magnitude", magnitude);
    Panel last = magnitude;
    if (options.phase) {
        const Panel phase{kPhaseTop, kPhaseBottom};
        draw_frequency_ticks(&out, s, phase, true);
        draw_phase_ticks(&out, phase);
        draw_frame(&out, phase);
        draw_phase_marks(&out, s, phase);
        draw_axis_title(&out, "phase (rad)", phase);
        open_text(&out, kPlotLeft + kPlotColumns, kPhaseTop - 5, " text-anchor=\"end\" font-size=\"10\" fill=\"#666\"");
        out += "phase of each column\xE2\x80\x99s largest magnitude, where it is at least 1 % of the largest</text>\n";
        last = phase;
    }
    open_text(&out, (kPlotLeft + kPlotRight) / 2.0, last.bottom + 40, " text-anchor=\"middle\"");
    out += options.log_frequency ? "frequency (logarithmic)</text>\n</svg>\n" : "frequency</text>\n</svg>\n";
    return out;
}
