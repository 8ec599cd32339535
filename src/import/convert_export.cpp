// convert_export: the layout from the first blocks, then the rows in batches,
// one batch parsed while the one before is formatted and written.
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "import/import.h"
#include "import/layout.h"
#include "import/text_stream.h"

namespace {

// A batch ends after this much text or this many rows (a row takes at least
// two bytes: a cell and its line end).
constexpr size_t kBatchText = size_t{256} << 10;
constexpr size_t kBatchRows = kBatchText / 2 + 1;
// Written text is handed to the sink in pieces of about this size.
constexpr size_t kOutputBytes = size_t{256} << 10;
// The abscissae are kept in chunks of this many.
constexpr size_t kChunkValues = size_t{1} << 16;
// Export lines of rows are kept where they do not follow on from the row
// before (blank lines, dropped rows), up to this many places.
constexpr size_t kMostLineJumps = size_t{1} << 16;

struct ParsedRow {
    double x;  // unused under --dt
    double y;
    uint64_t line;
};

struct Batch {
    std::unique_ptr<ParsedRow[]> rows;
    size_t count;
    bool last;  // no row follows, or the parse stopped at a fault
};

void add_line(LineList* list, uint64_t line) {
    if (list->count < kNamedLines) list->lines[list->count] = line;
    ++list->count;
}

// Reading and parsing: the text stream, the layout, the first row's time.
struct Parser {
    TextStream stream;
    Layout layout;
    const ImportOptions* options;
    bool have_origin;
    int64_t origin_seconds;
    uint32_t origin_nanoseconds;
    std::vector<CellSpan> cells;
    ImportResult* result;  // faults and dropped rows
};

// Cell text for a message: at most 40 bytes, control characters as '?'.
std::string shown_cell(const CellSpan& cell) {
    std::string text;
    for (size_t i = 0; i < cell.length && i < 40; ++i) {
        const unsigned char c = static_cast<unsigned char>(cell.text[i]);
        text += (c < 0x20 || c == 0x7F) ? '?' : static_cast<char>(c);
    }
    if (cell.length > 40) text += "...";
    return "\"" + text + "\"";
}

std::string cell_problem(CellKind kind, const CellSpan& cell, bool time_wanted) {
    switch (kind) {
        case CellKind::empty:
            return "empty cell";
        case CellKind::ambiguous:
            return shown_cell(cell) + " holds a '.' in a file with decimal commas";
        case CellKind::out_of_range:
            return shown_cell(cell) + " is out of range";
        case CellKind::date_time:
            return shown_cell(cell) + " is a date-time where the column holds numbers";
        default:
            return shown_cell(cell) + (time_wanted ? " is not a date-time" : " is not a number");
    }
}

// Seconds from the first row's date-time, correctly rounded: the difference
// is exact in whole nanoseconds and read back from its decimal text.
double seconds_since(const Parser& parser, const CellValue& value) {
    int64_t seconds = value.seconds - parser.origin_seconds;
    int64_t nanoseconds = static_cast<int64_t>(value.nanoseconds) - parser.origin_nanoseconds;
    if (nanoseconds < 0) {
        nanoseconds += 1000000000;
        seconds -= 1;
    }
    bool negative = seconds < 0;
    if (negative) {
        // -(s + n/1e9) with s < 0: -((-s - 1) + (1e9 - n)/1e9), or -(-s) when n == 0.
        seconds = -seconds;
        if (nanoseconds > 0) {
            seconds -= 1;
            nanoseconds = 1000000000 - nanoseconds;
        }
    }
    char text[48];
    int length = 0;
    if (negative) text[length++] = '-';
    const std::string whole = std::to_string(seconds);
    std::memcpy(text + length, whole.data(), whole.size());
    length += static_cast<int>(whole.size());
    text[length++] = '.';
    for (int64_t scale = 100000000; scale > 0; scale /= 10) {
        text[length++] = static_cast<char>('0' + (nanoseconds / scale) % 10);
    }
    text[length] = '\0';
    return read_cell(text, static_cast<size_t>(length), false).number;
}

// Parses one data line into *row; false on a bad cell, recorded in the result
// (as the fault, or among the dropped rows).
bool parse_row(Parser* parser, const char* line, size_t length, ParsedRow* row) {
    const Layout& layout = parser->layout;
    const size_t count = split_cells(line, length, layout.delimiter, parser->cells.data(), layout.needed);
    std::string problem;
    uint32_t column = 0;
    if (count < layout.needed) {
        column = static_cast<uint32_t>(count + 1);
        problem = "no cell (the line has " + std::to_string(count) + (count == 1 ? " cell)" : " cells)");
    }
    for (uint32_t c = 1; problem.empty() && c <= layout.needed; ++c) {
        if (c != layout.x_column && c != layout.y_column) {
            continue;
        }
        const CellSpan& cell = parser->cells[c - 1];
        const CellValue value = read_cell(cell.text, cell.length, layout.decimal_comma);
        const bool time_wanted = c == layout.x_column && layout.time_of_day;
        if (time_wanted && value.kind == CellKind::date_time) {
            if (!parser->have_origin) {
                parser->have_origin = true;
                parser->origin_seconds = value.seconds;
                parser->origin_nanoseconds = value.nanoseconds;
            }
            row->x = seconds_since(*parser, value);
        } else if (!time_wanted && value.kind == CellKind::number) {
            if (c == layout.x_column) row->x = value.number;
            if (c == layout.y_column) row->y = value.number;
        } else {
            column = c;
            problem = cell_problem(value.kind, cell, time_wanted);
        }
    }
    if (problem.empty()) return true;
    if (parser->options->skip_bad) {
        add_line(&parser->result->bad_rows, parser->stream.line);
        return false;
    }
    parser->result->fault = ImportFault::bad_cell;
    parser->result->line = parser->stream.line;
    parser->result->column = column;
    parser->result->detail = problem;
    return false;
}

bool is_blank(const char* line, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (line[i] != ' ' && line[i] != '\t') return false;
    }
    return true;
}

void parse_batch(Parser* parser, Batch* batch) {
    batch->count = 0;
    batch->last = false;
    size_t text = 0;
    while (batch->count < kBatchRows && text < kBatchText) {
        const char* line = nullptr;
        size_t length = 0;
        const LineStatus status = next_line(&parser->stream, &line, &length);
        if (status != LineStatus::line) {
            if (status == LineStatus::read_error) parser->result->fault = ImportFault::read_error;
            if (status == LineStatus::too_long) {
                parser->result->fault = ImportFault::long_line;
                parser->result->line = parser->stream.line;
            }
            batch->last = true;
            return;
        }
        text += length + 1;
        if (is_blank(line, length)) continue;
        ParsedRow& row = batch->rows[batch->count];
        row.line = parser->stream.line;
        if (parse_row(parser, line, length, &row)) {
            ++batch->count;
        } else if (parser->result->fault != ImportFault::none) {
            batch->last = true;
            return;
        }
    }
}

// Formatting and writing: the written text, the abscissae kept for the step
// check, and where rows do not follow on line by line.
struct LineJump {
    uint64_t row;
    uint64_t line;
};

struct Formatter {
    ImportSink sink;
    const ImportOptions* options;
    std::unique_ptr<char[]> output;
    size_t filled;
    bool failed;
    uint64_t rows;
    uint64_t bytes;
    uint64_t last_line;
    double previous;
    std::vector<std::unique_ptr<double[]>> abscissae;
    std::vector<LineJump> jumps;
    bool jumps_complete;
    ImportResult* result;
};

bool flush(Formatter* formatter) {
    if (formatter->filled > 0 && !formatter->failed) {
        formatter->failed =
            !formatter->sink.write(formatter->sink.context, formatter->output.get(), formatter->filled);
    }
    formatter->bytes += formatter->filled;
    formatter->filled = 0;
    return !formatter->failed;
}

void format_batch(Formatter* formatter, const Batch& batch) {
    const ImportOptions& options = *formatter->options;
    for (size_t i = 0; i < batch.count && !formatter->failed; ++i) {
        const ParsedRow& row = batch.rows[i];
        const uint64_t index = formatter->rows;
        const double x = options.has_step ? options.t0 + static_cast<double>(index) * options.dt : row.x;
        if (index > 0 && !(x > formatter->previous)) add_line(&formatter->result->going_back, row.line);
        formatter->previous = x;
        if (index % kChunkValues == 0) formatter->abscissae.emplace_back(new double[kChunkValues]);
        formatter->abscissae.back()[static_cast<size_t>(index % kChunkValues)] = x;
        if (index == 0 || row.line != formatter->last_line + 1) {
            if (formatter->jumps.size() < kMostLineJumps) {
                formatter->jumps.push_back(LineJump{index, row.line});
            } else {
                formatter->jumps_complete = false;
            }
        }
        formatter->last_line = row.line;
        char* out = formatter->output.get() + formatter->filled;
        out += shortest_text(x, out);
        *out++ = '\t';
        out += shortest_text(row.y, out);
        *out++ = '\n';
        formatter->filled = static_cast<size_t>(out - formatter->output.get());
        ++formatter->rows;
        if (formatter->filled >= kOutputBytes) flush(formatter);
    }
}

// The export line of row `index`; 0 where it is not known.
uint64_t line_of_row(const Formatter& formatter, uint64_t index) {
    size_t low = 0, high = formatter.jumps.size();
    while (high - low > 1) {
        const size_t middle = (low + high) / 2;
        if (formatter.jumps[middle].row <= index) {
            low = middle;
        } else {
            high = middle;
        }
    }
    const LineJump& jump = formatter.jumps[low];
    if (!formatter.jumps_complete && low + 1 == formatter.jumps.size()) return 0;
    return jump.line + (index - jump.row);
}

double abscissa(const Formatter& formatter, uint64_t index) {
    return formatter
        .abscissae[static_cast<size_t>(index / kChunkValues)][static_cast<size_t>(index % kChunkValues)];
}

// fftext's own test: every interval within 1 % of the mean step.
void check_steps(const Formatter& formatter, ImportResult* result) {
    const uint64_t rows = formatter.rows;
    result->first_x = abscissa(formatter, 0);
    result->last_x = abscissa(formatter, rows - 1);
    if (rows < 2) return;
    const double dx = (result->last_x - result->first_x) / static_cast<double>(rows - 1u);
    result->mean_step = dx;
    const double tolerance = 0.01 * dx;
    for (uint64_t i = 1; i < rows; ++i) {
        const double before = abscissa(formatter, i - 1), x = abscissa(formatter, i);
        if (x > before && std::fabs((x - before) - dx) > tolerance)
            add_line(&result->off_step, line_of_row(formatter, i));
    }
}

struct Step {
    Parser* parser;
    Formatter* formatter;
    Batch* batch;
};

void run_step(void* context) {
    Step* step = static_cast<Step*>(context);
    if (step->parser != nullptr) {
        parse_batch(step->parser, step->batch);
    } else {
        format_batch(step->formatter, *step->batch);
    }
}

// Reads until the sample is complete: kSampleLines lines, kSampleBytes of
// text or the whole export.
bool read_sample(TextStream* stream) {
    while (!stream->at_end && stream->end - stream->start < kSampleBytes &&
           unread_lines(*stream, kSampleLines).size() < kSampleLines) {
        if (!read_block(stream)) return false;
    }
    return true;
}

}  // namespace

ImportResult convert_export(const ImportOptions& options, ImportSource source, ImportSink sink,
                            ParallelRun run) {
    ImportResult result{};
    std::unique_ptr<Parser> parser(new Parser{});
    parser->options = &options;
    parser->result = &result;
    start_text_stream(source, &parser->stream);
    TextStream& stream = parser->stream;

    // The skipped lines but the last (which may name the columns) are passed
    // over before the sample.
    ImportOptions effective = options;
    for (; effective.has_skip && effective.skip > 1; --effective.skip) {
        const char* line = nullptr;
        size_t length = 0;
        const LineStatus status = next_line(&stream, &line, &length);
        if (status == LineStatus::read_error) result.fault = ImportFault::read_error;
        if (status == LineStatus::too_long) result.fault = ImportFault::long_line;
        if (status == LineStatus::end) {
            result.fault = ImportFault::no_data;
            result.detail = "no lines after the " + std::to_string(options.skip) + " skipped";
        }
        if (result.fault != ImportFault::none) {
            result.line = stream.line;
            return result;
        }
    }
    const uint64_t passed_over = stream.line;
    if (!read_sample(&stream)) {
        result.fault = ImportFault::read_error;
        return result;
    }
    const std::vector<TextLine> sample = unread_lines(stream, kSampleLines);
    Layout& layout = parser->layout;
    if (!detect_layout(sample, stream.at_end && sample.size() < kSampleLines, effective, &layout, &result))
        return result;
    layout.data_line += passed_over;
    if (layout.header_line != 0) layout.header_line += passed_over;
    result.delimiter = layout.delimiter;
    result.decimal_comma = layout.decimal_comma;
    result.header_line = layout.header_line;
    result.time_of_day = layout.time_of_day;
    result.lines_before = layout.data_line - 1;
    result.x_column = layout.x_column;
    result.y_column = layout.y_column;
    parser->cells.resize(layout.needed);
    while (stream.line + 1 < layout.data_line) {
        const char* line = nullptr;
        size_t length = 0;
        next_line(&stream, &line, &length);  // within the sample: always a line
    }

    std::unique_ptr<Formatter> formatter(new Formatter{});
    formatter->sink = sink;
    formatter->options = &options;
    formatter->output.reset(new char[kOutputBytes + 80]);
    formatter->jumps_complete = true;
    formatter->result = &result;
    Batch batches[2];
    for (Batch& batch : batches) batch.rows.reset(new ParsedRow[kBatchRows]);

    parse_batch(parser.get(), &batches[0]);
    for (int current = 0;; current = 1 - current) {
        Batch& ready = batches[current];
        if (ready.last) {
            format_batch(formatter.get(), ready);
            break;
        }
        Step steps[2] = {{nullptr, formatter.get(), &ready}, {parser.get(), nullptr, &batches[1 - current]}};
        void* contexts[2] = {&steps[0], &steps[1]};
        run(run_step, contexts, 2);
        if (formatter->failed) break;
    }
    flush(formatter.get());
    if (result.fault != ImportFault::none) return result;
    if (formatter->failed) {
        result.fault = ImportFault::write_error;
        return result;
    }
    result.rows = formatter->rows;
    result.bytes = formatter->bytes;
    if (result.rows == 0) {
        result.fault = ImportFault::no_data;
        result.detail = "every data row has a bad cell";
        return result;
    }
    check_steps(*formatter, &result);
    return result;
}
