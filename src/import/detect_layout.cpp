#include <string>

#include "import/layout.h"

namespace {

struct Candidate {
    char delimiter;
    bool decimal_comma;
};

// Tried in this order; the first of those with the most rows of numbers wins.
// Decimal commas go with semicolons and tabs only.
const Candidate kCandidates[] = {{'\t', false}, {'\t', true}, {';', false},
                                 {';', true},   {',', false}, {' ', false}};

bool is_blank_line(const TextLine& line) {
    for (size_t i = 0; i < line.length; ++i) {
        if (line.text[i] != ' ' && line.text[i] != '\t') return false;
    }
    return true;
}

// The columns of one try: 1-based, x 0 under --dt; y 0 under --dt without
// -y, where it is the second cell of rows with two or more, else the first.
struct Columns {
    uint32_t x;
    uint32_t y;
};

uint32_t needed_cells(const Columns& columns, size_t cell_count) {
    if (columns.y == 0) return cell_count >= 2 ? 2u : 1u;
    return columns.x > columns.y ? columns.x : columns.y;
}

// Every cell up to the last chosen column is a number or a date-time.
bool holds_values(const TextLine& line, const Candidate& candidate, const Columns& columns) {
    const uint32_t most = needed_cells(columns, 2);
    std::vector<CellSpan> cells(most);
    const size_t count = split_cells(line.text, line.length, candidate.delimiter, cells.data(), most);
    const uint32_t needed = needed_cells(columns, count);
    if (count < needed) return false;
    for (uint32_t i = 0; i < needed; ++i) {
        const CellKind kind = read_cell(cells[i].text, cells[i].length, candidate.decimal_comma).kind;
        if (kind != CellKind::number && kind != CellKind::date_time) return false;
    }
    return true;
}

// The 1-based column of `name` among the header's cells; 0 when absent.
uint32_t column_named(const TextLine& header, char delimiter, const std::string& name) {
    CellSpan cells[kMostHeaderCells];
    const size_t count = split_cells(header.text, header.length, delimiter, cells, kMostHeaderCells);
    for (size_t i = 0; i < count && i < kMostHeaderCells; ++i) {
        if (name.compare(0, std::string::npos, cells[i].text, cells[i].length) == 0)
            return static_cast<uint32_t>(i + 1);
    }
    return 0;
}

bool has_names(const ImportOptions& options) { return !options.x.name.empty() || !options.y.name.empty(); }

// The columns under `candidate`, with the names looked up in `header`.
bool resolve_columns(const ImportOptions& options, const TextLine* header, char delimiter, Columns* columns) {
    const ColumnChoice* choices[2] = {&options.x, &options.y};
    uint32_t* numbers[2] = {&columns->x, &columns->y};
    const uint32_t defaults[2] = {options.has_step ? 0u : 1u, options.has_step ? 0u : 2u};
    for (int i = 0; i < 2; ++i) {
        *numbers[i] = choices[i]->number != 0 ? choices[i]->number : defaults[i];
        if (!choices[i]->name.empty()) {
            if (header == nullptr) return false;
            *numbers[i] = column_named(*header, delimiter, choices[i]->name);
            if (*numbers[i] == 0) return false;
        }
    }
    if (options.has_step) columns->x = 0;
    return true;
}

struct Try {
    Layout layout;
    size_t rows;  // lines of the sample from the first data row on that hold values
};

Try try_candidate(const std::vector<TextLine>& lines, const Candidate& candidate,
                  const ImportOptions& options) {
    Try attempt{};
    attempt.layout.delimiter = candidate.delimiter;
    attempt.layout.decimal_comma = candidate.decimal_comma;
    size_t from = 0;
    const TextLine* header = nullptr;
    if (options.has_skip) {
        from = options.skip;
        if (from > 0 && from <= lines.size()) header = &lines[from - 1];
    } else if (has_names(options)) {
        Columns probe;
        for (; from < lines.size() && header == nullptr; ++from) {
            if (resolve_columns(options, &lines[from], candidate.delimiter, &probe)) header = &lines[from];
        }
        if (header == nullptr) return attempt;
    }
    Columns columns;
    if (!resolve_columns(options, header, candidate.delimiter, &columns)) return attempt;
    size_t first = from;
    while (first < lines.size() && (is_blank_line(lines[first]) ||
                                    (!options.has_skip && !holds_values(lines[first], candidate, columns)))) {
        ++first;
    }
    if (first == lines.size()) return attempt;
    for (size_t i = first; i < lines.size(); ++i) {
        if (!is_blank_line(lines[i]) && holds_values(lines[i], candidate, columns)) ++attempt.rows;
    }
    Layout& layout = attempt.layout;
    layout.data_line = first + 1;
    if (header != nullptr) layout.header_line = static_cast<uint64_t>(header - lines.data()) + 1;
    CellSpan cells[2];
    const size_t count = split_cells(lines[first].text, lines[first].length, candidate.delimiter, cells, 2);
    layout.x_column = columns.x;
    layout.y_column = columns.y != 0 ? columns.y : (count >= 2 ? 2u : 1u);
    layout.needed = layout.x_column > layout.y_column ? layout.x_column : layout.y_column;
    if (header == nullptr && first > 0) {
        // The line just before the data, when it has cells enough, names them.
        size_t before = first;
        while (before > 0 && is_blank_line(lines[before - 1])) --before;
        if (before > 0) {
            std::vector<CellSpan> spans(layout.needed);
            if (split_cells(lines[before - 1].text, lines[before - 1].length, candidate.delimiter,
                            spans.data(), layout.needed) >= layout.needed) {
                layout.header_line = before;
            }
        }
    }
    if (layout.x_column > 0 && layout.x_column <= 2 && layout.x_column <= count) {
        const CellSpan& x = cells[layout.x_column - 1];
        layout.time_of_day = read_cell(x.text, x.length, candidate.decimal_comma).kind == CellKind::date_time;
    } else if (layout.x_column > 2) {
        std::vector<CellSpan> spans(layout.x_column);
        split_cells(lines[first].text, lines[first].length, candidate.delimiter, spans.data(),
                    layout.x_column);
        const CellSpan& x = spans[layout.x_column - 1];
        layout.time_of_day = read_cell(x.text, x.length, candidate.decimal_comma).kind == CellKind::date_time;
    }
    if (options.has_skip && attempt.rows == 0)
        attempt.rows = 1;  // the first line after the skip is data anyway
    return attempt;
}

std::string quoted_names(const ImportOptions& options) {
    std::string names;
    for (const ColumnChoice* choice : {&options.x, &options.y}) {
        if (choice->name.empty()) continue;
        if (!names.empty()) names += " and ";
        names += "\"" + choice->name + "\"";
    }
    return names;
}

}  // namespace

bool detect_layout(const std::vector<TextLine>& lines, bool complete, const ImportOptions& options,
                   Layout* layout, ImportResult* result) {
    Try best{};
    for (const Candidate& listed : kCandidates) {
        Candidate candidate = listed;
        if (options.delimiter != 0) {
            if (candidate.delimiter != options.delimiter) continue;
        } else if (options.decimal_comma && candidate.decimal_comma) {
            continue;  // every candidate gets the forced comma below, once
        }
        if (options.decimal_comma) candidate.decimal_comma = true;
        const Try attempt = try_candidate(lines, candidate, options);
        if (attempt.rows > best.rows) best = attempt;
    }
    if (best.rows == 0) {
        const std::string where =
            complete ? std::string() : " in the first " + std::to_string(lines.size()) + " lines";
        if (options.has_skip && options.skip >= lines.size() && complete) {
            result->fault = ImportFault::no_data;
            result->detail = "no lines after the " + std::to_string(options.skip) + " skipped";
        } else if (has_names(options) && !options.has_skip) {
            result->fault = ImportFault::no_header;
            result->detail = "no line holds the column name" +
                             std::string(options.x.name.empty() || options.y.name.empty() ? " " : "s ") +
                             quoted_names(options) + " as a cell, followed by a row of numbers" + where;
        } else if (has_names(options)) {
            result->fault = ImportFault::unknown_name;
            result->detail = "line " + std::to_string(options.skip) +
                             " (the last one skipped) does not name the column" +
                             std::string(options.x.name.empty() || options.y.name.empty() ? " " : "s ") +
                             quoted_names(options);
        } else {
            result->fault = ImportFault::no_data;
            result->detail = "no row of numbers in the chosen columns" + where;
        }
        return false;
    }
    *layout = best.layout;
    return true;
}
