// The sample text format: what becomes a record, and which message a bad line gets.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "input/input.h"

namespace {

struct Parsed {
    std::string message;  // empty on success
    std::vector<SamplePoint> points;
};

Parsed parse(const std::string& text, uint32_t room = 64) {
    std::string owned = text;  // keeps the terminating zero
    std::vector<double> block(2u * room + 2u, -99.0);
    SampleArray samples{block.data(), room};
    uint32_t count = 0;
    FailureMessage message =
        parse_samples(TextBuffer{owned.c_str(), static_cast<uint32_t>(owned.size())}, samples, &count);
    Parsed result;
    if (failed(message)) {
        result.message = std::string(message.caption) + ": " + message.text;
    } else {
        for (uint32_t i = 0; i < count; ++i) result.points.push_back({block[2 * i], block[2 * i + 1]});
    }
    EXPECT_EQ(block[2u * room], -99.0) << "a record was stored beyond the room";
    return result;
}

uint64_t bits(double v) {
    uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

struct RecordCase {
    const char* why;
    std::string text;
    std::vector<SamplePoint> want;
};

TEST(ParseSamples, RecordsFromLines) {
    const RecordCase cases[] = {
        {"LF line ends", "0 1\n1 2\n", {{0, 1}, {1, 2}}},
        {"CR LF line ends", "0 1\r\n1 2\r\n", {{0, 1}, {1, 2}}},
        {"CR-only line ends", "0 1\r1 2\r", {{0, 1}, {1, 2}}},
        {"blank and whitespace lines between", "\n\n0 1\n \t\n\r\n1 2\n\n", {{0, 1}, {1, 2}}},
        {"leading blanks, comment after y", "  0\t1  comment\n1 2\n", {{0, 1}, {1, 2}}},
        {"vertical tab and form feed separate", "0\v1\n1\f2\n", {{0, 1}, {1, 2}}},
        {"last line without break", "0 1\n3", {{0, 1}, {3, 0}}},
        {"last line x and blanks without break", "0 1\n3  ", {{0, 1}, {3, 0}}},
        {"d and D exponents", "1d3 2\n2.5D-3 4\n", {{1000, 2}, {0.0025, 4}}},
        {"underflow accepted as zero", "1e-400 2\n1 3\n", {{0, 2}, {1, 3}}},
        {"header line reads as (0, 0)", "x y\n0 1\n", {{0, 0}, {0, 1}}},
        {"a sign and a blank are no number", "- 5\n1 2\n", {{0, 0}, {1, 2}}},
        {"comma ends x, y from the comma", "5,6\n1 2\n", {{5, 0}, {1, 2}}},
        {"letters after x", "5abc\n1 2\n", {{5, 0}, {1, 2}}},
        {"sign directly after x starts y", "1-2\n1+2\n", {{1, -2}, {1, 2}}},
        {"second point starts y", "1.2.3\n1e5x\n", {{1.2, 0.3}, {100000, 0}}},
        {"e without digits ends x", "1e\n2 3\n", {{1, 0}, {2, 3}}},
        {"byte 0xA0 is no separator",
         "1\xA0"
         "5\n2 3\n",
         {{1, 0}, {2, 3}}},
        {"byte-order mark spoils the first line",
         "\xEF\xBB\xBF"
         "7 9\n1 2\n",
         {{0, 0}, {1, 2}}},
        {"a zero byte ends the text",
         std::string("0 1\n1 2\n\0"
                     "9 9\n",
                     13),
         {{0, 1}, {1, 2}}},
        {"third column ignored", "0 1 2\n1 2 3\n", {{0, 1}, {1, 2}}},
    };
    for (const RecordCase& c : cases) {
        Parsed got = parse(c.text);
        ASSERT_EQ(got.message, "") << c.why;
        ASSERT_EQ(got.points.size(), c.want.size()) << c.why;
        for (size_t i = 0; i < c.want.size(); ++i) {
            EXPECT_EQ(bits(got.points[i].x), bits(c.want[i].x)) << c.why << " record " << i;
            EXPECT_EQ(bits(got.points[i].y), bits(c.want[i].y)) << c.why << " record " << i;
        }
    }
}

struct FailureCase {
    const char* why;
    std::string text;
    const char* want;
};

TEST(ParseSamples, MessagesAndRecordNumbers) {
    const FailureCase cases[] = {
        {"x alone then a break", "0\n1 2\n", "Error: Invalid input file format at line 1"},
        {"1 then a break", "0 1\n1\n", "Error: Invalid input file format at line 2"},
        {"x and blanks then CR", "0 1\r\n1 2\r\n2  \r\n", "Error: Invalid input file format at line 3"},
        {"overflowing y", "0 1\n1 1e999\n", "Error: Invalid value at line 2"},
        {"overflowing x", "-1e999 1\n", "Error: Invalid value at line 1"},
        {"blank lines do not count", "\n0 1\n\n\n1 2\n \n1D999 0\n", "Error: Invalid value at line 3"},
        {"overflow is checked before the format", "1e999\n", "Error: Invalid value at line 1"},
        {"nothing but whitespace", "  \n\t\n\r\n  ", "Error: Too few data"},
        {"a single point has no step", "0 1\n", "Error: Too few data"},
        {"empty text", "", "Error: Too few data"},
    };
    for (const FailureCase& c : cases) EXPECT_EQ(parse(c.text).message, c.want) << c.why;
}

TEST(ParseSamples, NeverStoresBeyondTheRoom) {
    // Three-byte records ("1,\n") need more room than their text gives them.
    EXPECT_EQ(parse("0 1\n1 2\n2 3\n", 2).message, "Error: Out of memory (data array)");
    EXPECT_EQ(parse("0 1\n1 2\n  \n\n", 2).points.size(), 2u);
    EXPECT_EQ(parse("0 1\n1 2\n", 0).message, "Error: Out of memory (data array)");
}

}  // namespace
