// format_number: worked examples, tenth-digit ties, non-finite spellings, and
// agreement with the exact decimal value worked out in integers
// (support/exact_format.cpp).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <random>
#include <string>

#include "numbers/numbers.h"
#include "support/exact_format.h"

namespace {

double from_bits(uint64_t b) {
    double v;
    std::memcpy(&v, &b, sizeof v);
    return v;
}

// Runs format_number into a guarded buffer: it must stay within 24 bytes and
// write nothing past the count it returns.
std::string formatted(double value, int precision) {
    char out[40];
    std::memset(out, '#', sizeof out);
    const size_t count = format_number(value, precision, out);
    EXPECT_LE(count, 24u);
    for (size_t i = count; i < sizeof out; ++i) EXPECT_EQ(out[i], '#') << "byte " << i << " written";
    return std::string(out, count);
}

struct Case {
    double value;
    int precision;
    const char* text;
};

void expect_table(const Case* cases, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        EXPECT_EQ(formatted(cases[i].value, cases[i].precision), cases[i].text)
            << "value " << std::hexfloat << cases[i].value << " precision " << cases[i].precision;
    }
}

// The format's own examples, exponent widths, both layouts at their edges.
TEST(FormatNumberTest, WorkedExamples) {
    const Case cases[] = {
        {2.0 / 3.0, 9, "0.666666667"},
        {9.9999999996, 9, "10"},
        {0.0001, 9, "0.0001"},
        {0.00001, 9, "1e-005"},
        {0.000123456789, 9, "0.000123456789"},
        {-2.5e-7, 9, "-2.5e-007"},
        {123456789.0, 9, "123456789"},
        {100000000.0, 9, "100000000"},
        {1e9, 9, "1e+009"},
        {1234567890.0, 9, "1.23456789e+009"},
        {1e-10, 9, "1e-010"},
        {1e100, 9, "1e+100"},
        {0x1p-1074, 9, "4.94065646e-324"},
        {-1.23456789e-308, 9, "-1.23456789e-308"},
        {0x1.fffffffffffffp+1023, 9, "1.79769313e+308"},
        {0.5, 9, "0.5"},
        {3.14159265358979, 9, "3.14159265"},
        {0.00048828125, 9, "0.00048828125"},
        {0.0, 9, "0"},
        {-0.0, 9, "-0"},
        {0.012345, 4, "0.01235"},
        {1.5e-5, 4, "1.5e-005"},
        {2.0 / 3.0, 4, "0.6667"},
        {1234.0, 4, "1234"},
        {0x1p-1074, 4, "4.941e-324"},
        {-0.0, 4, "-0"},
    };
    expect_table(cases, sizeof cases / sizeof cases[0]);
}

// A tie after the kept digits rounds up, even where the exact binary value
// lies below it but its 17-digit form is the tie; a carry through nines
// moves the exponent.
TEST(FormatNumberTest, TiesRoundHalfUpFromSeventeenDigits) {
    const Case cases[] = {
        {0x1p-13, 9, "0.000122070313"},            // 0.0001220703125 exactly
        {1234567885.0, 9, "1.23456789e+009"},      // exact tie, odd digit below
        {0x1.e240c9db22d0ep+16, 9, "123456.789"},  // 123456.78849999999..., 17 digits: ...885
        {0x1.a831bd5591455p-27, 9, "1.23456789e-008"},
        {999999999.5, 9, "1e+009"},
        {999999999.4, 9, "999999999"},
        {9.9995, 4, "9.999"},  // 9.9994999999999994: no tie
        {12345.0, 4, "1.235e+004"},
        {99995.0, 4, "1e+005"},
        {0.00099995, 4, "0.001"},
        {0x1p-11, 4, "0.0004883"},
    };
    expect_table(cases, sizeof cases / sizeof cases[0]);
}

TEST(FormatNumberTest, NonFiniteSpellings) {
    struct Row {
        uint64_t bits;
        const char* text;
    };
    const Row rows[] = {
        {0x7FF0000000000000u, "1.#INF"},   {0xFFF0000000000000u, "-1.#INF"},
        {0xFFF8000000000000u, "-1.#IND"},  {0x7FF8000000000000u, "1.#QNAN"},
        {0xFFF8000000000001u, "-1.#QNAN"}, {0x7FFFFFFFFFFFFFFFu, "1.#QNAN"},
        {0xFFFC000000000000u, "-1.#QNAN"}, {0x7FF0000000000001u, "1.#SNAN"},
        {0xFFF4000000000000u, "-1.#SNAN"}, {0x7FF7FFFFFFFFFFFFu, "1.#SNAN"},
    };
    for (const Row& row : rows) {
        for (int precision : {9, 4}) {
            // The bits go through memory only: on i686 a double returned from a
            // call passes the x87 stack, which quiets signalling NaNs.
            double value;
            std::memcpy(&value, &row.bits, sizeof value);
            EXPECT_EQ(formatted(value, precision), row.text) << std::hex << row.bits;
        }
    }
    // Invalid arithmetic yields the default NaN on every target we build for.
    volatile double zero = 0.0;
    EXPECT_EQ(formatted(zero / zero, 9), "-1.#IND");
}

// The table scripts/gen_format_table.py writes from each double's exact value
// with Python's fractions (a test reruns it and compares): both this build's
// format_number and the integer reference (support/exact_format.cpp) must
// give its texts.
struct TableRow {
    uint64_t bits;
    int precision;
    const char* text;
};

const TableRow kExactTable[] = {
#include "support/format_table.inc"
};

TEST(FormatNumberTest, MatchesTheExactTable) {
    int mismatches = 0;
    for (const TableRow& row : kExactTable) {
        // Through memory only, as in NonFiniteSpellings: signalling NaNs keep
        // their bits.
        double value;
        std::memcpy(&value, &row.bits, sizeof value);
        const std::string got = formatted(value, row.precision);
        const bool finite = ((row.bits >> 52) & 0x7FF) != 0x7FF;
        const std::string reference = finite ? exact_format(value, row.precision) : row.text;
        if ((got != row.text || reference != row.text) && ++mismatches <= 10) {
            ADD_FAILURE() << std::hex << row.bits << std::dec << " precision " << row.precision << ": got "
                          << got << ", integer reference " << reference << ", table " << row.text;
        }
    }
    EXPECT_EQ(mismatches, 0) << "of " << std::size(kExactTable) << " rows";
}

// Values that sit on or next to a tie after `precision` digits: a random
// (precision+1)-digit decimal ending in 5, read by strtod, or a few ulps off.
double near_tie(std::mt19937_64& rng, int precision) {
    std::string text = std::to_string(1 + rng() % 9);
    for (int i = 1; i < precision; ++i) text += static_cast<char>('0' + rng() % 10);
    if (rng() % 8 == 0) text = std::string(static_cast<size_t>(precision), '9');
    text += "5e" + std::to_string(static_cast<int>(rng() % 600) - 320);
    double v = std::strtod(text.c_str(), nullptr);
    const uint64_t r = rng() % 9;  // 0: the nearest double, 1-4: ulps below, 5-8: above
    for (uint64_t k = (r <= 4) ? r : r - 4; k > 0; --k) v = std::nextafter(v, (r <= 4) ? 0.0 : HUGE_VAL);
    return v;
}

double random_value(std::mt19937_64& rng, int kind, int precision) {
    const uint64_t r = rng();
    switch (kind) {
        case 0:
            return from_bits(r);  // anything, any exponent
        case 1:
            return from_bits(r & 0x800FFFFFFFFFFFFFu);  // subnormal
        case 2:
            return near_tie(rng, precision);
        case 3:
            return std::ldexp(static_cast<double>(r % 1048576), -static_cast<int>(rng() % 64));  // k / 2^n
        default:
            return static_cast<double>(999999000 + static_cast<int64_t>(r % 2000)) / 1e9 *
                   std::pow(10.0, static_cast<double>(rng() % 40) - 20);
    }
}

TEST(FormatNumberTest, AgreesWithExactDecimal) {
    std::mt19937_64 rng(8192);
    int mismatches = 0;
    for (int i = 0; i < 300000 && mismatches < 10; ++i) {
        const int precision = (i % 4 == 0) ? 4 : 9;
        const double value = random_value(rng, i % 5, precision);
        if (!std::isfinite(value)) continue;
        const std::string want = exact_format(value, precision);
        const std::string got = formatted(value, precision);
        if (got != want) {
            ++mismatches;
            char shown[64];
            std::snprintf(shown, sizeof shown, "%a (%.17g)", value, value);
            ADD_FAILURE() << shown << " precision " << precision << ": got " << got << ", want " << want;
        }
    }
}

}  // namespace
