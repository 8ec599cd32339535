// fftext-plot's reading and its logarithm, against independent computations.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "plot/plot.h"

namespace {

std::unique_ptr<SpectrumSummary> summary_of(const std::string& text, double last_frequency, ReadResult* result) {
    std::unique_ptr<SpectrumSummary> summary(new SpectrumSummary);
    start_summary(FrequencyRange{0.0, last_frequency, false}, summary.get());
    *result = add_lines(text.c_str(), text.c_str() + text.size(), summary.get());
    return summary;
}

// The C library's log10 is correctly rounded or nearly so; the program's own
// must stay within a few units of the last place of it, over the whole range
// of positive doubles, subnormals included.
TEST(PlotLog10, AgreesWithTheLibraryEverywhere) {
    std::mt19937_64 random(12345);
    for (int i = 0; i < 200000; ++i) {
        uint64_t bits = random() & 0x7FEFFFFFFFFFFFFFu;  // positive, finite
        double x;
        std::memcpy(&x, &bits, sizeof x);
        if (x == 0.0) continue;
        const double want = std::log10(x);
        EXPECT_NEAR(plot_log10(x), want, 4e-16 * std::fmax(1.0, std::fabs(want))) << x;
    }
}

TEST(PlotLog10, PowersOfTenAndNeighbours) {
    for (int k = -307; k <= 308; ++k) {
        const double x = std::pow(10.0, k);
        EXPECT_NEAR(plot_log10(x), k, 4e-16 * std::fmax(1.0, std::fabs(k))) << k;
    }
    EXPECT_NEAR(plot_log10(4.9406564584124654e-324), -323.30621534311580, 1e-13);
    // Both sides of sqrt(2), where the reduction changes its exponent.
    for (double x : {std::nextafter(std::sqrt(2.0), 0.0), std::sqrt(2.0), std::nextafter(std::sqrt(2.0), 2.0)}) {
        EXPECT_NEAR(plot_log10(x), std::log10(x), 4e-16) << x;
    }
}

// Every non-finite spelling leaves its row out; finite rows are all drawn.
TEST(PlotRows, NonFiniteSpellingsAreReadAndLeftOut) {
    const std::string text =
        "%warning a\r\n0\t-4\t0\r\n1\t1.#INF\t0\r\n2\t-1.#INF\t0\r\n3\t1\t-1.#IND\r\n"
        "4\t1.#QNAN\t0\n5\t-1.#QNAN\t0\n6\t1.#SNAN\t0\n7\t-1.#SNAN\t0\n8\t2e-010\t3.5\n";
    ReadResult result;
    auto s = summary_of(text, 8.0, &result);
    ASSERT_EQ(result.fault, RowFault::none);
    EXPECT_EQ(s->lines, 10u);
    EXPECT_EQ(s->rows, 9u);
    EXPECT_EQ(s->drawn, 2u);
    EXPECT_EQ(s->largest, 4.0);  // the zero-frequency row by its absolute value
    EXPECT_EQ(s->positive, 2u);
    EXPECT_EQ(s->warning_count, 1);
    EXPECT_STREQ(s->warnings[0], "Warning: a");
}

TEST(PlotRows, BadSpellingsAndLinesAreFaults) {
    const struct {
        const char* text;
        RowFault fault;
        uint32_t line;
    } cases[] = {
        {"0\t1\t0\r\n1\t1.#INFINITY\t0\r\n", RowFault::not_three_numbers, 2},
        {"0\t1\t0\r\n1\t2.#INF\t0\r\n", RowFault::not_three_numbers, 2},
        {"0\t1\t0\r\n1\t1.5#INF\t0\r\n", RowFault::not_three_numbers, 2},
        {"0\t1\t0\r\n1\t1.#\t0\r\n", RowFault::not_three_numbers, 2},
        {"0 1 0\r\n", RowFault::not_three_numbers, 1},
        {"0\t1\t0\r\r\n", RowFault::not_three_numbers, 1},
        {"%w\n0\t1\t0\n1\t1\t1", RowFault::no_line_end, 3},
        {"%w\n0\t1\t0\n1\t1\t1\r", RowFault::no_line_end, 3},
        {"1\t1\t0\n0.5\t1\t0\n", RowFault::frequency_order, 2},
        {"1\t1\t0\n2\t1.#INF\t0\n1.#INF\t1\t0\n2\t1\t0\n", RowFault::frequency_order, 4},
    };
    for (const auto& c : cases) {
        ReadResult result;
        summary_of(c.text, 2.0, &result);
        EXPECT_EQ(result.fault, c.fault) << c.text;
        EXPECT_EQ(result.line, c.line) << c.text;
    }
}

// The file is read in blocks that end at line ends: cutting the text at any
// line gives the same summary as reading it whole.
TEST(PlotRows, BlocksGiveTheSameSummaryAsOnePass) {
    std::string text = "%warning one\r\n";
    for (int k = 0; k < 3000; ++k) {
        text += std::to_string(k * 0.125) + "\t" + std::to_string(((k * 37) % 101) * 0.01) + "\t" +
                std::to_string(((k * 13) % 61 - 30) * 0.1) + ((k % 7 == 3) ? "\n" : "\r\n");
    }
    ReadResult whole_result;
    const double last = 2999 * 0.125;
    auto whole = summary_of(text, last, &whole_result);
    ASSERT_EQ(whole_result.fault, RowFault::none);
    for (size_t cut = text.find('\n') + 1; cut < text.size(); cut = text.find('\n', cut + 997) + 1) {
        if (cut == 0) break;
        std::unique_ptr<SpectrumSummary> parts(new SpectrumSummary);
        start_summary(FrequencyRange{0.0, last, false}, parts.get());
        ASSERT_EQ(add_lines(text.c_str(), text.c_str() + cut, parts.get()).fault, RowFault::none);
        ASSERT_EQ(add_lines(text.c_str() + cut, text.c_str() + text.size(), parts.get()).fault, RowFault::none);
        ASSERT_EQ(std::memcmp(whole.get(), parts.get(), sizeof(SpectrumSummary)), 0) << "cut at " << cut;
    }
}

// One column's extremes are the first row of the smallest and of the largest
// value, with the phase of that row; all rows of a one-column spectrum land in
// the first drawn column.
TEST(PlotRows, ColumnKeepsFirstExtremes) {
    ReadResult result;
    auto s = summary_of("0\t3\t0\n1\t1\t2\n2\t5\t-2\n3\t1\t-2\n4\t5\t2\n", 0.0, &result);
    ASSERT_EQ(result.fault, RowFault::none);
    const ColumnExtremes& column = s->columns[kFirstDrawnColumn];
    EXPECT_EQ(column.count, 5u);
    EXPECT_EQ(column.low.row, 1u);
    EXPECT_EQ(column.high.row, 2u);
    EXPECT_EQ(column.high_phase, -2.0);
    EXPECT_STREQ(column.high_magnitude_text, "5");
    for (int i = 0; i < kSummaryColumns; ++i) EXPECT_EQ(s->columns[i].count, (i == kFirstDrawnColumn) ? 5u : 0u);
}

TEST(PlotRows, LastFrequencyFromTheTail) {
    const struct {
        const char* tail;
        bool whole;
        bool found;
        double frequency;
    } cases[] = {
        {"0\t1\t0\r\n0.5\t1\t0\r\n", true, true, 0.5},
        {"5\t1\t0\r\n1.#INF\t1\t0\r\n%warning x\r\n", true, true, 5.0},
        {"0\t1\t0\n7\t1\t0", true, true, 0.0},  // the cut row does not count
        {"25\t1\t0\r\n", false, false, 0.0},    // may be the end of a longer line
        {"x\n25\t1\t0\r\n26\t2\t1\r\n", false, true, 26.0},
        {"", true, false, 0.0},
    };
    for (const auto& c : cases) {
        double frequency = 0.0;
        EXPECT_EQ(find_last_frequency(c.tail, std::strlen(c.tail), c.whole, &frequency), c.found) << c.tail;
        EXPECT_EQ(frequency, c.frequency) << c.tail;
    }
}


// The peak rule by brute force over the rows of a linear axis: a row in the
// range, not at frequency 0, at least kPeakFactor times the median rounded
// down to a power of two, above every row within kPeakWindow pixel columns
// and, on a side where they hold no row, every row of the nearest column
// holding rows (equal ones: the first wins).
struct TestRow {
    double frequency;
    double magnitude;
    std::string text;  // "frequency\tmagnitude"
};

std::vector<std::string> slow_peaks(const std::vector<TestRow>& rows, double low, double high, int wanted) {
    auto column = [&](double f) {
        const double x = ((f - low) / (high - low)) * kPlotColumns;
        if (f >= low && f <= high) return (x >= kPlotColumns - 1) ? long{kPlotColumns - 1} : static_cast<long>(x);
        return static_cast<long>(std::floor(x));
    };
    auto in_range = [&](const TestRow& r) { return r.frequency >= low && r.frequency <= high; };
    auto above = [&](size_t a, size_t b) {
        return rows[a].magnitude > rows[b].magnitude || (rows[a].magnitude == rows[b].magnitude && a < b);
    };
    std::vector<double> drawn;
    for (const TestRow& r : rows) {
        if (in_range(r)) drawn.push_back(r.magnitude);
    }
    std::sort(drawn.begin(), drawn.end());
    const double median = drawn[(drawn.size() + 1) / 2 - 1];
    int exponent = 0;
    std::frexp(median, &exponent);
    const double threshold = (median > 0.0) ? kPeakFactor * std::ldexp(1.0, exponent - 1) : 0.0;
    std::vector<size_t> peaks;
    for (size_t r = 0; r < rows.size(); ++r) {
        if (!in_range(rows[r]) || rows[r].frequency == 0.0 || !(rows[r].magnitude > 0.0) ||
            rows[r].magnitude < threshold) {
            continue;
        }
        const long c = column(rows[r].frequency);
        long nearest_left = LONG_MIN;
        long nearest_right = LONG_MAX;
        for (size_t q = 0; q < rows.size(); ++q) {
            const long d = column(rows[q].frequency);
            if (d < c) nearest_left = std::max(nearest_left, d);
            if (d > c) nearest_right = std::min(nearest_right, d);
        }
        bool peak = true;
        for (size_t q = 0; q < rows.size() && peak; ++q) {
            const long d = column(rows[q].frequency);
            const bool window = (d >= c - kPeakWindow && d <= c + kPeakWindow) || d == nearest_left || d == nearest_right;
            if (q != r && window && above(q, r)) peak = false;
        }
        if (peak) peaks.push_back(r);
    }
    std::sort(peaks.begin(), peaks.end(), above);
    std::vector<std::string> texts;
    for (size_t i = 0; i < peaks.size() && static_cast<int>(i) < wanted; ++i) texts.push_back(rows[peaks[i]].text);
    return texts;
}

// Noise, tones with leakage on their neighbouring bins, plateaus of equal
// values, zeros, and a tall row at frequency 0.
std::vector<TestRow> test_spectrum(int count, double step, uint64_t seed) {
    std::mt19937_64 random(seed);
    std::vector<double> magnitude(static_cast<size_t>(count));
    for (double& m : magnitude) m = static_cast<double>(random() % 1000) * 1e-5;
    magnitude[0] = 50.0;
    for (int tone = 0; tone < 6; ++tone) {
        const int at = 1 + static_cast<int>(random() % static_cast<uint64_t>(count - 1));
        const double height = 1.0 + static_cast<double>(random() % 100);
        for (int k = -4; k <= 4; ++k) {
            if (at + k > 0 && at + k < count) magnitude[static_cast<size_t>(at + k)] = height / (1 + (k * k));
        }
    }
    for (int k = count / 3; k < count / 3 + 5; ++k) magnitude[static_cast<size_t>(k)] = 3.0;  // a plateau
    for (int k = count / 2; k < count / 2 + count / 4; ++k) magnitude[static_cast<size_t>(k)] *= (k % 3 == 0) ? 0.0 : 1.0;
    std::vector<TestRow> rows;
    for (int k = 0; k < count; ++k) {
        char frequency[32];
        char value[32];
        std::snprintf(frequency, sizeof frequency, "%.9g", k * step);
        std::snprintf(value, sizeof value, "%.9g", magnitude[static_cast<size_t>(k)]);
        rows.push_back(TestRow{std::strtod(frequency, nullptr), std::strtod(value, nullptr),
                               std::string(frequency) + "\t" + value});
    }
    return rows;
}

TEST(PlotPeaks, AgreeWithTheRuleByBruteForce) {
    const struct {
        int rows;
        double step;
        double from;  // fractions of the last frequency
        double to;
        int wanted;
    } cases[] = {
        {300, 0.5, 0.0, 1.0, 100},     // rows wider than the window
        {3000, 0.25, 0.0, 1.0, 10},    // a few rows per column
        {3000, 0.25, 0.2, 0.45, 100},  // a range: the rows beyond its ends count in the window
        {20000, 1.0, 0.0, 1.0, 5},     // many rows per column
        {20000, 1.0, 0.7, 0.71, 100},
    };
    for (uint64_t seed = 1; seed <= 4; ++seed) {
        for (const auto& c : cases) {
            const std::vector<TestRow> rows = test_spectrum(c.rows, c.step, seed);
            const double last = rows.back().frequency;
            const double low = c.from * last;
            const double high = c.to * last;
            std::string text;
            for (const TestRow& r : rows) text += r.text + "\t0\r\n";
            std::unique_ptr<SpectrumSummary> s(new SpectrumSummary);
            start_summary(FrequencyRange{low, high, false}, s.get());
            ASSERT_EQ(add_lines(text.c_str(), text.c_str() + text.size(), s.get()).fault, RowFault::none);
            Peak peaks[kMaxPeaks];
            const int found = find_peaks(*s, c.wanted, peaks);
            std::vector<std::string> got;
            for (int i = 0; i < found; ++i) got.push_back(std::string(peaks[i].frequency_text) + "\t" + peaks[i].magnitude_text);
            EXPECT_EQ(got, slow_peaks(rows, low, high, c.wanted)) << c.rows << " rows, seed " << seed << ", from " << low;
            if (c.to - c.from > 0.1) {
                EXPECT_FALSE(got.empty());
            }
        }
    }
}

}  // namespace
