// fftext-import: a delimited text export (spreadsheet, logger, oscilloscope)
// turned into fftext's input, two tab-separated numbers a line. The core here
// reads bytes through a callback and writes through another; it knows no
// operating system. The export is read in blocks: the first ones decide the
// layout, then one thread reads and parses a block while another formats and
// writes the one before.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/workers.h"  // ParallelRun

// A column as the command line gives it: a 1-based number, or a name looked
// up in the header. number == 0 and an empty name: the default.
struct ColumnChoice {
    uint32_t number;
    std::string name;
};

struct ImportOptions {
    char delimiter;      // ',', ';', '\t', ' ' (blanks); 0: detected
    bool decimal_comma;  // forced; otherwise detected for ';' and '\t' files
    ColumnChoice x;
    ColumnChoice y;
    bool has_step;  // --dt: abscissa t0 + i * dt
    double dt;
    double t0;
    bool has_skip;  // --skip N: the data begin at line N + 1
    uint32_t skip;
    bool skip_bad;  // rows with a bad cell are dropped, not an error
};

// Reads up to `count` bytes; *got < count only at the end. False on an error.
struct ImportSource {
    bool (*read)(void* context, char* buffer, size_t count, size_t* got);
    void* context;
};

// Writes all `count` bytes; false on an error.
struct ImportSink {
    bool (*write)(void* context, const char* bytes, size_t count);
    void* context;
};

// Line numbers named in the summary and the warnings, at most this many each.
constexpr int kNamedLines = 5;

// A list of export lines, the first kNamedLines of `count`.
struct LineList {
    uint64_t count;
    uint64_t lines[kNamedLines];
};

enum class ImportFault {
    none,
    read_error,    // the source failed
    write_error,   // the sink failed
    bad_cell,      // `line`, `column`, `detail` (the problem and the cell)
    no_data,       // no data rows (`detail` says why)
    no_header,     // no line holds every column name given
    unknown_name,  // a column name is not in the header (detail: the name)
    long_line,     // `line` is longer than kMaxLineBytes
};

struct ImportResult {
    ImportFault fault;
    uint64_t line;    // 1-based export line of the fault
    uint32_t column;  // 1-based column of a bad cell
    std::string detail;

    // What was detected.
    char delimiter;
    bool decimal_comma;
    uint64_t header_line;   // 0: none
    bool time_of_day;       // the abscissae were date-times
    uint64_t lines_before;  // lines before the first data row
    uint32_t x_column;      // 1-based; 0 with --dt
    uint32_t y_column;

    // What was written.
    uint64_t rows;
    uint64_t bytes;
    double first_x;
    double last_x;
    double mean_step;     // (last - first) / (rows - 1), as fftext computes it
    LineList bad_rows;    // dropped with skip_bad
    LineList going_back;  // abscissa not above the one before
    LineList off_step;    // interval more than 1 % from the mean step
};

// Lines longer than this are refused (the reader's memory stays bounded).
constexpr size_t kMaxLineBytes = size_t{1} << 20;

// Converts the export read from `source` into rows written to `sink`. The
// rows go out as they are converted: on a fault the caller discards what the
// sink received. `run` runs two tasks at once (reading and parsing one block,
// formatting and writing the one before); run_in_turn does them in turn.
// Memory: about 8 MiB plus 8 bytes per row.
ImportResult convert_export(const ImportOptions& options, ImportSource source, ImportSink sink,
                            ParallelRun run);

// ---- The parts, for the tests

// A cell read as a number or an ISO 8601 date-time.
enum class CellKind { number, date_time, empty, not_number, ambiguous, out_of_range };

struct CellValue {
    CellKind kind;
    double number;
    int64_t seconds;       // date-time: seconds since 1970-01-01T00:00:00Z, offset applied
    uint32_t nanoseconds;  // and the fraction of the second
};

// Reads one cell (quotes and surrounding blanks already removed).
CellValue read_cell(const char* text, size_t length, bool decimal_comma);

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar.
int64_t days_from_civil(int64_t year, unsigned month, unsigned day);

// The cells of one line (without its line end) under `delimiter` (' ': runs
// of blanks), each trimmed of blanks and its quotes, at most `most` of them.
// Returns the number of cells in the line (which may exceed `most`).
struct CellSpan {
    const char* text;
    size_t length;
};
size_t split_cells(const char* line, size_t length, char delimiter, CellSpan* cells, size_t most);

// The shortest text that reads back as `value` (std::to_chars), into out
// (at least 32 bytes); returns its length.
size_t shortest_text(double value, char* out);

// The summary line and the warning lines for a finished conversion, without
// the program's name: "comma-separated, decimal point, ...".
std::string summary_text(const ImportResult& result);
std::vector<std::string> warning_texts(const ImportResult& result);
// The fault as "LINE: problem" or "problem", without the file name.
std::string fault_text(const ImportResult& result);
