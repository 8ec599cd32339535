// Where the data of an export are and how its cells are written, decided
// from the lines of its first blocks.
#pragma once

#include <cstdint>
#include <vector>

#include "import/import.h"
#include "import/text_stream.h"

// The most lines and text the layout is decided from.
constexpr size_t kSampleLines = 2000;
constexpr size_t kSampleBytes = size_t{2} << 20;

// Cells looked at for the column names.
constexpr size_t kMostHeaderCells = 256;

struct Layout {
    char delimiter;
    bool decimal_comma;
    uint64_t header_line;  // 0: none
    uint64_t data_line;    // the first data row
    uint32_t x_column;     // 1-based; 0: t0 + i * dt
    uint32_t y_column;
    uint32_t needed;   // cells up to the last chosen column
    bool time_of_day;  // the abscissae are date-times
};

// Decides the layout from `lines` (the first lines of the export, line 1
// first; `complete` when they are the whole export). On failure fills
// result->fault, line and detail.
bool detect_layout(const std::vector<TextLine>& lines, bool complete, const ImportOptions& options,
                   Layout* layout, ImportResult* result);
