// find_peaks: the strongest peaks of a summary, from each pixel column's
// largest row (see kPeakWindow in plot.h). A row that is the largest within
// the window is the largest of its own column, so the columns' largest rows
// are the only candidates, and the window test compares them alone.
#include <cmath>

#include "plot/plot.h"

namespace {

// a ranks above b: larger, or as large and earlier in the file.
bool ranks_above(const RowPoint& a, const RowPoint& b) {
    return a.value > b.value || (a.value == b.value && a.row < b.row);
}

// kPeakFactor times the drawn magnitudes' lower median rounded down to a
// power of two; 0 when at least half of them are 0.
double peak_threshold(const SpectrumSummary& s) {
    const uint32_t rank = (s.drawn + 1) / 2;
    const uint32_t zeros = s.drawn - s.positive;
    if (zeros >= rank) return 0.0;
    uint32_t seen = zeros;
    for (int bin = 0; bin < kExponentBins; ++bin) {
        seen += s.exponent_counts[bin];
        if (seen >= rank) return kPeakFactor * std::ldexp(1.0, bin - kExponentBias);
    }
    return 0.0;
}

// No row within the window ranks above the candidate in column `index`: the
// columns within kPeakWindow; on a side where they hold no row, the nearest
// column holding rows beyond them (the neighbouring rows, where rows lie
// farther apart than the window).
bool is_peak(const SpectrumSummary& s, int index) {
    const RowPoint& candidate = s.columns[index].high;
    for (int direction : {-1, 1}) {
        bool side_empty = true;
        for (int d = index + direction; d >= 0 && d < kSummaryColumns; d += direction) {
            const bool within = (d - index) * direction <= kPeakWindow;
            if (!within && !side_empty) break;
            if (s.columns[d].count == 0) continue;
            if (ranks_above(s.columns[d].high, candidate)) return false;
            if (!within) break;
            side_empty = false;
        }
    }
    return true;
}

}  // namespace

int find_peaks(const SpectrumSummary& s, int wanted, Peak* peaks) {
    const double threshold = peak_threshold(s);
    int found = 0;
    for (int index = kFirstDrawnColumn; index < kFirstDrawnColumn + kPlotColumns && wanted > 0; ++index) {
        const ColumnExtremes& column = s.columns[index];
        if (column.count == 0 || column.high.frequency == 0.0 || !(column.high.value > 0.0) ||
            !(column.high.value >= threshold) || !is_peak(s, index)) {
            continue;
        }
        // Insert in rank order, the weakest dropped past `wanted`.
        int at = (found < wanted) ? found++ : wanted;
        while (at > 0 && ranks_above(column.high, peaks[at - 1].point)) {
            if (at < wanted) peaks[at] = peaks[at - 1];
            --at;
        }
        if (at < wanted) peaks[at] = Peak{column.high, column.high_frequency_text, column.high_magnitude_text};
    }
    return found;
}
