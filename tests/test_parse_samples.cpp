// The sample text format: what becomes a record, and which message a bad line gets.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "input/input.h"
#include "support/thread_runner.h"

namespace {

struct Parsed {
    std::string message;  // empty on success
    std::vector<SamplePoint> points;
};

Parsed parse(const std::string& text, uint32_t room = 64, int chunks = 1) {
    std::string owned = text;  // keeps the terminating zero
    std::vector<double> block(2u * room + 2u, -99.0);
    SampleArray samples{block.data(), room};
    uint32_t count = 0;
    FailureMessage message =
        parse_samples_in_chunks(TextBuffer{owned.c_str(), static_cast<uint32_t>(owned.size())}, samples,
                                &count, test_threads(chunks));
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

// A text of random lines: numbers of several shapes, blank and whitespace
// lines, every kind of line end, garbage that reads as (0, 0), and, now and
// then, a bad line or a zero byte.
std::string random_text(std::mt19937_64& random, int lines, int flaw_per_mille) {
    static const char* const kNumbers[] = {"0",  "1",    "-2.5", "1e3", "0.001234500", "1.251665e+00",
                                           ".5", "7d-2", "abc",  "1-"};
    static const char* const kBreaks[] = {"\n", "\r\n", "\r", "\n\n", "\r\n \t\r\n", "\n  \n", "\n\v\f\n"};
    static const char* const kFlaws[] = {"1\n", "1e999 2\n", "3 -1e400\n", "(a zero byte)", "1 \n"};
    std::string text;
    auto pick = [&random](size_t n) { return static_cast<size_t>(random() % n); };
    for (int i = 0; i < lines; ++i) {
        if (static_cast<int>(random() % 1000) < flaw_per_mille) {
            const size_t flaw = pick(5);
            if (flaw == 3) {
                text.push_back('\0');
            } else {
                text += kFlaws[flaw];
            }
            continue;
        }
        if (pick(4) == 0) text += pick(2) ? "  " : "\t";
        text += kNumbers[pick(10)];
        text += pick(3) ? "\t" : " ";
        text += kNumbers[pick(10)];
        if (pick(8) == 0) text += " trailing words";
        text += kBreaks[pick(7)];
    }
    if (pick(2)) text += "5 6";  // the last line without a break
    return text;
}

// Parsing in chunks on several threads must give what one pass gives: the
// same records, or the same message with the same record number.
TEST(ParseSamples, ChunksAgreeWithOnePass) {
    std::mt19937_64 random(20261207);
    int failures_seen = 0;
    int room_failures_seen = 0;
#ifdef _WIN32
    // Under wine each thread takes milliseconds to start: 600 trials took
    // 105 s there, so the Windows build runs the first 120.
    const int trials = 120;
#else
    const int trials = 600;
#endif
    for (int trial = 0; trial < trials; ++trial) {
        const int lines = 1 + static_cast<int>(random() % 400);
        const std::string text =
            random_text(random, lines, trial % 3 == 0 ? 0 : static_cast<int>(random() % 20));
        // Rooms from plenty down to fewer than the records.
        const uint32_t room =
            trial % 4 == 0 ? static_cast<uint32_t>(random() % (lines + 2)) : 2u * lines + 8u;
        const Parsed one = parse(text, room, 1);
        failures_seen += !one.message.empty();
        room_failures_seen += one.message == "Error: Out of memory (data array)";
        for (int chunks : {2, 3, 4, 7, 64}) {
            if (chunks == 64 && trial % 20 != 0) continue;  // 64 threads per parse are slow to start
            const Parsed many = parse(text, room, chunks);
            ASSERT_EQ(many.message, one.message) << "trial " << trial << ", " << chunks << " chunks";
            ASSERT_EQ(many.points.size(), one.points.size())
                << "trial " << trial << ", " << chunks << " chunks";
            for (size_t i = 0; i < one.points.size(); ++i) {
                ASSERT_EQ(bits(many.points[i].x), bits(one.points[i].x))
                    << "trial " << trial << " record " << i;
                ASSERT_EQ(bits(many.points[i].y), bits(one.points[i].y))
                    << "trial " << trial << " record " << i;
            }
        }
    }
    // The table must have exercised failures, room failures and successes.
    EXPECT_GT(failures_seen, trials / 6);
    EXPECT_GT(room_failures_seen, trials / 60);
    EXPECT_LT(failures_seen, trials - (trials / 12));
}

// About 4 MiB of records: the abscissa n, an ordinate of 1 to 17 digits with
// a sign and an exponent, line ends of every kind, blank lines, leading
// blanks and trailing comments. `want` gets the records as the C library
// reads the same fields. With `bad_record` > 0 that record is written as a
// lone number followed by a line break.
std::string large_text(uint32_t records, uint32_t bad_record, std::vector<SamplePoint>* want) {
    std::mt19937_64 random(records + bad_record);
    const char* const ends[] = {"\n", "\r\n", "\r", "\n\n", "\r\n  \t\r\n"};
    std::string text;
    char field[64];
    for (uint32_t n = 1; n <= records; ++n) {
        if (random() % 13 == 0) text += "  ";
        std::snprintf(field, sizeof field, "%u", n);
        const double x = std::strtod(field, nullptr);
        text += field;
        if (n == bad_record) {
            text += "\n";
            continue;
        }
        text += random() % 2 == 0 ? " " : "\t";
        const int digits = 1 + static_cast<int>(random() % 17);
        std::snprintf(field, sizeof field, "%.*e", digits - 1,
                      (static_cast<double>(random() % 2000000) - 1e6) * 1.25e-3);
        text += field;
        if (random() % 11 == 0) text += " a comment";
        text += ends[random() % 5];
        want->push_back(SamplePoint{x, std::strtod(field, nullptr)});
    }
    return text;
}

// The text is large enough for parse_samples to split it by itself, so the
// worker count decides the chunks: 1, 2, 3 and 7 workers on real threads give
// the C library's records bit for bit, or the message of the bad record.
TEST(ParseSamples, LargeTextOnForcedWorkers) {
    const uint32_t records = 170000;
    for (uint32_t bad_record : {0u, 3u, 85001u, records - 2}) {
        std::vector<SamplePoint> want;
        const std::string text = large_text(records, bad_record, &want);
        ASSERT_GT(text.size(), 7u << 19);  // room for 7 chunks of 512 KiB
        std::vector<double> block(text.size() + 2u);
        const SampleArray samples{block.data(), static_cast<uint32_t>(block.size() / 2u)};
        const TextBuffer buffer{text.c_str(), static_cast<uint32_t>(text.size())};
        for (int workers : {1, 2, 3, 7}) {
            std::fill(block.begin(), block.end(), -99.0);
            uint32_t count = 0;
            reset_test_runs();
            const FailureMessage message = parse_samples(buffer, samples, &count, noting_threads(workers));
            const std::string what =
                std::to_string(workers) + " workers, bad record " + std::to_string(bad_record);
            // The chunks are parsed last, one per worker.
            EXPECT_EQ(last_test_run.load(), workers) << what;
            if (bad_record > 0) {
                EXPECT_EQ(std::string(message.text),
                          "Invalid input file format at line " + std::to_string(bad_record))
                    << what;
                continue;
            }
            ASSERT_FALSE(failed(message)) << what << ": " << message.text;
            ASSERT_EQ(count, records) << what;
            for (uint32_t i = 0; i < count; ++i) {
                ASSERT_EQ(bits(block[2 * i]), bits(want[i].x)) << what << ", record " << i + 1;
                ASSERT_EQ(bits(block[2 * i + 1]), bits(want[i].y)) << what << ", record " << i + 1;
            }
        }
    }
}

struct ChunkCase {
    const char* why;
    std::string text;
    int chunks;
    const char* want;  // the message, or "" for success
    size_t records;
};

// Texts whose shares end on the awkward bytes: inside a CR LF, inside a run of
// blank lines, on a zero byte, on leading blanks, or with no LF at all.
TEST(ParseSamples, ChunkBoundariesOnAwkwardBytes) {
    const ChunkCase cases[] = {
        {"CR-only lines give no place to split", "0 1\r1 2\r2 3\r3 4\r", 4, "", 4},
        {"blank lines around every share", "0 1\n\n\n\n1 2\n\n\n\n2 3\n\n\n\n", 3, "", 3},
        {"leading blanks after each break", "0 1\n   1 2\n\t 2 3\n  3 4\n", 4, "", 4},
        {"zero byte ends the text in the first share", std::string("0 1\n1 2\n\0\n2 3\n3 4\n4 5\n5 6\n", 26),
         3, "", 2},
        {"bad line after a long blank stretch numbered over all chunks", "0 1\n1 2\n\n\n\n\n\n\n\n\n2 3\n3\n",
         4, "Error: Invalid input file format at line 4", 0},
        {"invalid value in the last chunk", "0 1\n1 2\n2 3\n3 4\n4 5\n5 1e999\n", 2,
         "Error: Invalid value at line 6", 0},
        {"first chunk's failure wins over a later one", "0 1\n1\n2 3\n3\n4 5\n5\n", 3,
         "Error: Invalid input file format at line 2", 0},
        {"whitespace only", "\n \n\t\n\r\n \n\n\n", 5, "Error: Too few data", 0},
        {"a share begins on a zero byte", std::string("0 1\n1 2\n2 3\n\0 3 4\n4 5\n", 21), 2, "", 3},
        {"more chunks than lines", "0 1\n1 2", 64, "", 2},
    };
    for (const ChunkCase& c : cases) {
        const Parsed got = parse(c.text, 64, c.chunks);
        EXPECT_EQ(got.message, c.want) << c.why;
        EXPECT_EQ(got.points.size(), c.records) << c.why;
        EXPECT_EQ(parse(c.text, 64, 1).message, c.want) << c.why << " (one pass)";
    }
}

}  // namespace
