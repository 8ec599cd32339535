// fftext-import's core: the text stream at block boundaries (every encoding
// and line end gives the same rows), date-times against day counting, and the
// boundary cases of cells.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>

#include "import/import.h"
#include "support/bits.h"
#include "support/thread_runner.h"

namespace {

struct Memory {
    std::string bytes;
    size_t offset;
};

bool read_memory(void* context, char* buffer, size_t count, size_t* got) {
    Memory* memory = static_cast<Memory*>(context);
    *got = std::min(count, memory->bytes.size() - memory->offset);
    memory->bytes.copy(buffer, *got, memory->offset);
    memory->offset += *got;
    return true;
}

bool append(void* context, const char* bytes, size_t count) {
    static_cast<std::string*>(context)->append(bytes, count);
    return true;
}

ImportResult convert(const std::string& bytes, const ImportOptions& options, std::string* out,
                     ParallelRun run) {
    Memory memory{bytes, 0};
    out->clear();
    return convert_export(options, ImportSource{read_memory, &memory}, ImportSink{append, out}, run);
}

std::string utf16(const std::string& utf8, bool little) {
    std::string out = little ? "\xFF\xFE" : "\xFE\xFF";
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        uint32_t code = c;
        size_t length = 1;
        if (c >= 0xF0) {
            code = c & 0x07u, length = 4;
        } else if (c >= 0xE0) {
            code = c & 0x0Fu, length = 3;
        } else if (c >= 0xC0) {
            code = c & 0x1Fu, length = 2;
        }
        for (size_t k = 1; k < length; ++k)
            code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
        i += length;
        auto unit = [&](uint32_t u) {
            const char low = static_cast<char>(u & 0xFF), high = static_cast<char>(u >> 8);
            out += little ? std::string{low, high} : std::string{high, low};
        };
        if (code >= 0x10000) {
            unit(0xD800 + ((code - 0x10000) >> 10));
            unit(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            unit(code);
        }
    }
    return out;
}

// About 1.5 MB of rows (several read blocks in UTF-8, more in UTF-16) with
// a text column of varying width holding multi-byte and non-BMP characters,
// so that line ends, CR LF pairs, surrogate pairs and odd bytes fall on
// block boundaries. The same rows in every encoding and with every line end
// must give the same bytes, on one thread and on two.
TEST(ImportStream, EveryEncodingAndLineEndGivesTheSameRows) {
    std::mt19937 random(7);
    const char* const words[] = {"a", "\xC3\xA9t\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x8E\xB5x", "bb", ""};
    std::string lines[3];  // LF, CR LF, CR
    const char* const ends[3] = {"\n", "\r\n", "\r"};
    for (int e = 0; e < 3; ++e) lines[e] = std::string("t,v,note") + ends[e];
    std::string want;
    for (int i = 0; i < 40000; ++i) {
        std::string note;
        for (auto k = random() % 9; k > 0; --k) note += words[random() % 6];
        const std::string x = std::to_string(i),
                          y = std::to_string(static_cast<int>(random() % 2001) - 1000) + ".25";
        for (int e = 0; e < 3; ++e) lines[e] += x + "," + y + ",\"" + note + "\"" + ends[e];
        want += x + "\t" + y + "\n";
    }
    ImportOptions options{};
    const std::string inputs[] = {lines[0],
                                  "\xEF\xBB\xBF" + lines[1],
                                  lines[2],
                                  utf16(lines[1], true),
                                  utf16(lines[2], false),
                                  utf16(lines[0], false)};
    for (const std::string& input : inputs) {
        for (ParallelRun run : {ParallelRun(run_in_turn), ParallelRun(run_on_test_threads)}) {
            std::string got;
            const ImportResult result = convert(input, options, &got, run);
            ASSERT_EQ(result.fault, ImportFault::none) << fault_text(result);
            EXPECT_EQ(result.rows, 40000u);
            EXPECT_EQ(result.header_line, 1u);
            EXPECT_TRUE(got == want) << "input of " << input.size() << " bytes";
        }
    }
}

// A bad cell far beyond the first block is named by its line, whatever the
// line ends; with --skip-bad the rows around it are kept.
TEST(ImportStream, BadCellLinesCountEveryLineEnd) {
    std::string text;
    for (int i = 0; i < 60000; ++i)
        text += std::to_string(i) + (i % 3 == 0 ? ";1\r\n" : i % 3 == 1 ? ";2\n" : ";3\r");
    text += "60000;x\n60001;5\n";
    ImportOptions options{};
    std::string got;
    ImportResult result = convert(text, options, &got, run_on_test_threads);
    EXPECT_EQ(result.fault, ImportFault::bad_cell);
    EXPECT_EQ(fault_text(result), "60001: column 2: \"x\" is not a number");
    options.skip_bad = true;
    result = convert(text, options, &got, run_on_test_threads);
    EXPECT_EQ(result.fault, ImportFault::none);
    EXPECT_EQ(result.rows, 60001u);
    EXPECT_EQ(result.bad_rows.count, 1u);
    EXPECT_EQ(result.bad_rows.lines[0], 60001u);
}

// days_from_civil against counting the days year by year and month by month.
TEST(ImportDates, DaysFromCivilAgreesWithCounting) {
    auto leap = [](int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; };
    const unsigned month_days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int64_t days = 0;  // 1970-01-01 onwards
    for (int64_t year = 1970; year <= 2500; ++year) {
        for (unsigned month = 1; month <= 12; ++month) {
            const unsigned length = month_days[month - 1] + ((month == 2 && leap(year)) ? 1u : 0u);
            for (unsigned day = 1; day <= length; day += (day == 1 ? 27 : 1)) {
                ASSERT_EQ(days_from_civil(year, month, day), days + day - 1)
                    << year << "-" << month << "-" << day;
            }
            days += length;
        }
    }
    days = 0;  // back from 1970-01-01
    for (int64_t year = 1969; year >= 1500; --year) {
        days -= leap(year) ? 366 : 365;
        ASSERT_EQ(days_from_civil(year, 1, 1), days) << year;
    }
}

// The edges of the date-time form: offsets applied, nine fraction digits,
// impossible dates and times refused.
TEST(ImportDates, DateTimeCells) {
    struct Case {
        const char* text;
        bool valid;
        int64_t seconds;
        uint32_t nanoseconds;
    };
    const int64_t day = days_from_civil(2026, 12, 7) * 86400;
    const Case cases[] = {
        {"2026-12-07T10:00:00.125", true, day + 36000, 125000000},
        {"2026-12-07 10:00:00,5Z", true, day + 36000, 500000000},
        {"2026-12-07T10:00:00+01:00", true, day + 32400, 0},
        {"2026-12-07T10:00-0530", true, day + 36000 + 19800, 0},
        {"2026-12-07T10:00:00.123456789-02", true, day + 43200, 123456789},
        {"2026-12-07T10:00:00.1234567890", true, day + 36000, 123456789},
        {"2026-12-07T10:00:00.1234567891", false, 0, 0},  // a digit that would be dropped
        {"2024-02-29T00:00:00", true, days_from_civil(2024, 2, 29) * 86400, 0},
        {"2023-02-29T00:00:00", false, 0, 0},
        {"2026-12-07T24:00:00", false, 0, 0},
        {"2026-12-07T10:00:60", false, 0, 0},
        {"2026-12-07T10:00:00.", false, 0, 0},
        {"2026-12-07T10:00:00+1", false, 0, 0},
        {"2026-12-07X10:00:00", false, 0, 0},
    };
    for (const Case& c : cases) {
        const CellValue value = read_cell(c.text, std::char_traits<char>::length(c.text), false);
        EXPECT_EQ(value.kind == CellKind::date_time, c.valid) << c.text;
        if (!c.valid) continue;
        EXPECT_EQ(value.seconds, c.seconds) << c.text;
        EXPECT_EQ(value.nanoseconds, c.nanoseconds) << c.text;
    }
}

// Numbers under either decimal mark, and what is no number.
TEST(ImportCells, NumbersAndTheirMarks) {
    struct Case {
        const char* text;
        bool decimal_comma;
        CellKind kind;
        uint64_t bits;
    };
    const Case cases[] = {
        {"1,5", true, CellKind::number, bits_of(1.5)},
        {"-0", false, CellKind::number, bits_of(-0.0)},
        {"-2,5E-3", true, CellKind::number, bits_of(-0.0025)},
        {"4.9406564584124654e-324", false, CellKind::number, 1u},
        {"1.5", true, CellKind::ambiguous, 0},
        {"1.234,5", true, CellKind::ambiguous, 0},
        {"n.a.", true, CellKind::not_number, 0},
        {"1,5", false, CellKind::not_number, 0},
        {"1e999", false, CellKind::out_of_range, 0},
        {"NaN", false, CellKind::not_number, 0},
        {"inf", false, CellKind::not_number, 0},
        {"0x10", false, CellKind::not_number, 0},
        {"", false, CellKind::empty, 0},
    };
    for (const Case& c : cases) {
        const CellValue value = read_cell(c.text, std::char_traits<char>::length(c.text), c.decimal_comma);
        EXPECT_EQ(static_cast<int>(value.kind), static_cast<int>(c.kind)) << c.text;
        if (c.kind == CellKind::number) {
            EXPECT_EQ(bits_of(value.number), c.bits) << c.text << " " << describe(value.number);
        }
    }
}

// Quotes hold delimiters; blanks around cells go; runs of blanks are one
// delimiter only for blank-separated files.
TEST(ImportCells, SplitCells) {
    struct Case {
        const char* line;
        char delimiter;
        std::vector<std::string> cells;
    };
    const Case cases[] = {
        {"\"1,5\";\"a;b\";3", ';', {"1,5", "a;b", "3"}},
        {" 1 ,  2 ,", ',', {"1", "2", ""}},
        {"  1 \t 2  3 ", ' ', {"1", "2", "3"}},
        {"1\t\t3", '\t', {"1", "", "3"}},
        {"\"say \"\"hi\"\"\",2", ',', {"say \"\"hi\"\"", "2"}},
        {"\"1\" x,2", ',', {"\"1\" x", "2"}},
        {"\"open,2", ',', {"\"open,2"}},  // an unclosed quote runs to the line end
        {"", ',', {""}},
    };
    for (const Case& c : cases) {
        CellSpan spans[8];
        const size_t count =
            split_cells(c.line, std::char_traits<char>::length(c.line), c.delimiter, spans, 8);
        ASSERT_EQ(count, c.cells.size()) << c.line;
        for (size_t i = 0; i < count; ++i)
            EXPECT_EQ(std::string(spans[i].text, spans[i].length), c.cells[i]) << c.line;
    }
}

}  // namespace
