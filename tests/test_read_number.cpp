// read_number: the syntax, exact rounding at the edges of the double range,
// and agreement with the C library's strtod on the syntax both accept.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "numbers/numbers.h"
#include "support/bits.h"

namespace {

std::string quoted(const std::string& text) {
    if (text.size() <= 60) return "\"" + text + "\"";
    return "\"" + text.substr(0, 40) + "...\" (" + std::to_string(text.size()) + " chars)";
}

void expect_read(const std::string& text, double want, size_t consumed) {
    const char* end = nullptr;
    const double got = read_number(text.c_str(), &end);
    EXPECT_EQ(bits_of(got), bits_of(want))
        << quoted(text) << ": got " << describe(got) << ", want " << describe(want);
    EXPECT_EQ(static_cast<size_t>(end - text.c_str()), consumed) << quoted(text);
}

struct Case {
    const char* text;
    double want;
    size_t consumed;
};

void expect_table(const Case* cases, size_t count) {
    for (size_t i = 0; i < count; ++i) expect_read(cases[i].text, cases[i].want, cases[i].consumed);
}

// Exactly 2^-1075, half the least subnormal: 752 significant digits.
const char kHalfLeastSubnormal[] =
    "2.470328229206232720882843964341106861825299013071623822127928412503377536351043759326499"
    "1818081799618989828234772285886546332835517796989819938739800539093906315035659515570226"
    "3922908583924491051844359318028499365361525003193704576782492193656236698636584807570015"
    "8576926990370631192827955855133292783433840935197801553124659726357957462276646527282722"
    "0056374006485499977096599470454020828166226237857393450736339007967761930577506740176324"
    "6736009689513405355374585166611342237666786041621596804619144672918403005300575308490487"
    "6539171138659164623952491262365388187963623937328042389101867234849766823508986338858792"
    "5628302755995657524455507255189313690836254779186948667994968324049705821028513185451396"
    "213837722826145437693412532098591327667236328125e-324";

// Exactly halfway between DBL_MAX and 2^1024: 0x1.fffffffffffff8p+1023.
const char kHalfAboveMax[] =
    "1797693134862315807937289714053034150799341327100378269361737789804449682927647509466490"
    "1797758720709633028641669288791094655554785194040263065748867150582068190890200070838367"
    "6273854845817711531764475730270069855571366959622842914819860834936475292719074168444365"
    "510704342711559699508093042880177904174497792";

const double kInf = HUGE_VAL;

// Where a number starts and ends: signs, points, exponent letters, and the
// forms a standard strtod takes that this syntax does not.
TEST(ReadNumberTest, SyntaxBoundaries) {
    const Case cases[] = {
        {"1e", 1.0, 1},
        {"1e+", 1.0, 1},
        {"1E-x", 1.0, 1},
        {"1ee5", 1.0, 1},
        {"1-2", 1.0, 1},
        {"1+2", 1.0, 1},
        {"1,5", 1.0, 1},
        {"1.2.3", 0x1.3333333333333p+0, 3},
        {"1d3", 1000.0, 3},
        {"1D3", 1000.0, 3},
        {"2.5D-3", 0x1.47ae147ae147bp-9, 6},
        {"1E+2", 100.0, 4},
        {"1e0001", 10.0, 6},
        {"1e5x", 100000.0, 3},
        {"5.e3", 5000.0, 4},
        {".5", 0.5, 2},
        {"5.", 5.0, 2},
        {"-.5", -0.5, 3},
        {"+.5", 0.5, 3},
        {"00012", 12.0, 5},
        {"+", 0.0, 0},
        {"-", 0.0, 0},
        {".", 0.0, 0},
        {"-.", 0.0, 0},
        {".e5", 0.0, 0},
        {"e5", 0.0, 0},
        {" 1", 0.0, 0},
        {"0x10", 0.0, 1},
        {"inf", 0.0, 0},
        {"-infinity", 0.0, 0},
        {"nan", 0.0, 0},
        {"\xA0"
         "1",
         0.0, 0},
        {"", 0.0, 0},
    };
    expect_table(cases, sizeof cases / sizeof cases[0]);
}

// Zeros keep the sign written; non-zero values too small for a double lose it.
TEST(ReadNumberTest, SignedZeroAndUnderflow) {
    const Case cases[] = {
        {"0", 0.0, 1},
        {"-0", -0.0, 2},
        {"-0.000e999", -0.0, 10},
        {"-0e-99999999999999999999", -0.0, 24},
        {"0e99999999999999999999", 0.0, 22},
        {"1e-400", 0.0, 6},
        {"-1e-400", 0.0, 7},
        {"-1e-9223372036854775809", 0.0, 23},
        {"2.4703282292062327e-324", 0.0, 23},  // just under half the least subnormal
        {"-2.4703282292062327e-324", 0.0, 24},
        {"2.4703282292062328e-324", 0x1p-1074, 23},  // just over
        {"4.9406564584124654e-324", 0x1p-1074, 23},
        {"-4.9406564584124654e-324", -0x1p-1074, 24},
        {"7.4109846876186981e-324", 0x1p-1074, 23},  // just under 1.5 ulp
        {"7.4109846876186982e-324", 0x1p-1073, 23},  // just over
        {"9.8813129168249309e-324", 0x1p-1073, 23},
        {"2.2250738585072009e-308", 0x0.fffffffffffffp-1022, 23},
        {"2.2250738585072014e-308", 0x1p-1022, 23},
        {"1e-323", 0x0.0000000000002p-1022, 6},
    };
    expect_table(cases, sizeof cases / sizeof cases[0]);
}

TEST(ReadNumberTest, OverflowGivesSignedInfinity) {
    const Case cases[] = {
        {"1e309", kInf, 5},
        {"-1e309", -kInf, 6},
        {"1.7976931348623158e308", 0x1.fffffffffffffp+1023, 22},
        {"-1.7976931348623158e308", -0x1.fffffffffffffp+1023, 23},
        {"1.7976931348623159e308", kInf, 22},
        {"1e999999999999", kInf, 14},
        {"-1d9223372036854775807", -kInf, 22},
        {"1e99999999999999999999999999", kInf, 28},
        {"0.1e310", kInf, 7},
        {"0.01e310", 1e308, 8},
    };
    expect_table(cases, sizeof cases / sizeof cases[0]);
}

// Exact halfway points round to even; one non-zero digit far past the first
// 768, or a million digits in, must still tip them up, and a long run of
// nines just under a halfway point must not.
TEST(ReadNumberTest, LongDigitStrings) {
    auto expect_whole = [](const std::string& text, double want) { expect_read(text, want, text.size()); };
    const std::string half(kHalfLeastSubnormal);
    const std::string half_digits = half.substr(0, half.size() - 5);  // without "e-324"
    const std::string half_ulp = "1.00000000000000011102230246251565404236316680908203125";
    const std::string max_half(kHalfAboveMax);
    const std::string under_max_half = max_half.substr(0, 308) + "1.";
    expect_whole(half, 0.0);
    expect_whole("-" + half, 0.0);
    expect_whole(half_ulp, 1.0);
    expect_whole(max_half, kInf);
    for (size_t zeros : {0u, 20u, 47u, 48u, 49u, 100u, 1000u, 1000000u}) {
        const std::string tip = std::string(zeros, '0') + "1";
        expect_whole(half_digits + tip + "e-324", 0x1p-1074);
        expect_whole(half_digits + std::string(zeros, '0') + "e-324", 0.0);
        expect_whole(half_ulp + tip, 0x1.0000000000001p+0);
        expect_whole(half_ulp.substr(0, 54) + "4" + std::string(zeros, '9'), 1.0);
        expect_whole(max_half + "." + tip, kInf);
        // The point after the 800th digit, the tipping digit past it.
        const std::string wide_half = "1" + half_ulp.substr(2) + std::string(900, '0');
        expect_whole(wide_half + "." + tip + "d-953", 0x1.0000000000001p+0);
        expect_whole(wide_half + "." + std::string(zeros, '0') + "e-953", 1.0);
        expect_whole(under_max_half + std::string(zeros, '9'), 0x1.fffffffffffffp+1023);
    }

    const std::string ones = "1" + std::string(2000000, '0');
    expect_whole(ones + "e-2000000", 1.0);
    expect_whole(std::string(400, '0') + ones.substr(0, 401) + "e-400", 1.0);
    expect_whole("." + std::string(1000000, '0') + "1e1000001", 1.0);
    expect_whole("0." + std::string(1000000, '0') + "1", 0.0);
    expect_whole(std::string(1000000, '9'), kInf);
    expect_whole("-" + std::string(1000000, '9') + "e-999990", -1e10);
    expect_whole(std::string(1000000, '3') + "D-999999", 0x1.aaaaaaaaaaaabp+1);
}

// The oracle: the C library's strtod (glibc's, or mingw-w64's own), correctly
// rounded for any length, in the C locale this program starts in. Our d/D become e for it; its -0.0 for a
// non-zero number that underflowed becomes +0.0, and so does mingw's -0.0 for "-" where nothing converts.
struct Reference {
    double value;
    size_t consumed;
};

Reference reference_read(const std::string& text, bool nonzero) {
    std::string common = text;
    for (char& c : common) {
        if (c == 'd' || c == 'D') c = 'e';
    }
    char* end = nullptr;
    double value = std::strtod(common.c_str(), &end);
    if ((nonzero || end == common.c_str()) && value == 0.0) value = 0.0;
    return {value, static_cast<size_t>(end - common.c_str())};
}

// A uniform choice in [0, n), as a size on every target.
size_t pick(std::mt19937_64& rng, size_t n) { return static_cast<size_t>(rng() % n); }

std::string random_digits(std::mt19937_64& rng, size_t count, bool* nonzero) {
    static const char* const kAlphabets[] = {"0123456789", "09", "0", "9", "05"};
    const char* alphabet = kAlphabets[pick(rng, 5)];
    const size_t size = std::strlen(alphabet);
    std::string digits;
    for (size_t i = 0; i < count; ++i) digits += alphabet[pick(rng, size)];
    if (digits.find_first_not_of('0') != std::string::npos) *nonzero = true;
    return digits;
}

std::string random_number(std::mt19937_64& rng, bool* nonzero) {
    static const char* const kSigns[] = {"", "+", "-"};
    static const char* const kTails[] = {"", ",", " ", "e", "d", "E+", "-", ".", ";5"};
    const bool long_digits = (pick(rng, 20) == 0);
    const size_t whole = long_digits ? pick(rng, 900) : pick(rng, 22);
    const size_t fraction = long_digits ? pick(rng, 900) : pick(rng, 22);
    std::string text = kSigns[pick(rng, 3)] + random_digits(rng, whole, nonzero);
    if (pick(rng, 2) == 0) text += "." + random_digits(rng, fraction, nonzero);
    if (pick(rng, 3) != 0) {
        text += "eEdD"[pick(rng, 4)];
        text += kSigns[pick(rng, 3)];
        text += std::to_string(pick(rng, 360));
    }
    return text + kTails[pick(rng, 9)];
}

// Decimal text just at, above or below the midpoint of two neighbouring
// doubles (exact in long double, printed exactly by glibc).
std::string random_midpoint(std::mt19937_64& rng) {
    double v;
    do {
        const uint64_t b = rng() & 0x7FFFFFFFFFFFFFFFu;
        std::memcpy(&v, &b, sizeof v);
    } while (!(v < 0x1.fffffffffffffp+1023));
    const long double mid = (static_cast<long double>(v) + std::nextafter(v, kInf)) / 2;
    char buf[900];
    std::snprintf(buf, sizeof buf, "%.780Le", mid);
    std::string text(buf);
    const size_t e = text.find('e');
    std::string digits = text.substr(0, e);
    digits.erase(digits.find_last_not_of('0') + 1);
    const size_t variant = pick(rng, 3);
    if (variant == 1) digits += std::string(pick(rng, 100), '0') + "1";
    if (variant == 2) digits.resize(std::min(digits.size(), 19 + pick(rng, 780)));
    return digits + "eEdD"[pick(rng, 4)] + text.substr(e + 1);
}

TEST(ReadNumberTest, AgreesWithStrtod) {
    std::mt19937_64 rng(20240611);
    int mismatches = 0;
    for (int i = 0; i < 220000 && mismatches < 10; ++i) {
        bool nonzero = true;
        std::string text;
        if (i % 10 == 0) {
            text = random_midpoint(rng);
        } else {
            nonzero = false;
            text = random_number(rng, &nonzero);
        }
        const Reference want = reference_read(text, nonzero);
        const char* end = nullptr;
        const double got = read_number(text.c_str(), &end);
        const size_t consumed = static_cast<size_t>(end - text.c_str());
        if (bits_of(got) != bits_of(want.value) || consumed != want.consumed) {
            ++mismatches;
            ADD_FAILURE() << quoted(text) << ": got " << describe(got) << " after " << consumed
                          << " chars, want " << describe(want.value) << " after " << want.consumed;
        }
    }
}

// A zero from the library for a number with a non-zero digit before its
// exponent letter is an underflow, which this syntax reads as +0.0.
void expect_like_strtod(const std::string& text) {
    const std::string number = text.substr(0, reference_read(text, false).consumed);
    const std::string significand = number.substr(0, number.find_first_of("eEdD"));
    const bool nonzero = significand.find_first_of("123456789") != std::string::npos;
    const Reference want = reference_read(text, nonzero);
    expect_read(text, want.value, want.consumed);
}

struct ShapeGroup {
    const char* why;
    std::vector<const char*> texts;
};

// The exact route hands over to the library's conversion at its limits. Both
// sides of each, against the C library.
TEST(ReadNumberTest, ShortRouteLimitsAgreeWithStrtod) {
    const ShapeGroup groups[] = {
        {"8, 15, 16, 17 and 19 digits",
         {"12345678", "1234567.8", "0.12345678e-14", "-87654321d-22", "123456789012345",
          "1234567890.12345e-22", "999999999999999e8", "12345678901234567", "1234567890123456789",
          "9999999999999999999", "-9999999999999999999e-22"}},
        {"2^53 - 1, 2^53, 2^53 + 1 with the point anywhere and scales to 22",
         {"9007199254740991", "9007199254740992", "9007199254740993", "-9007199254740993",
          "9007199254740991e1", "9007199254740992e22", "9007199254740993e-22", "4503599627370497e22",
          "900719925474099.3e1", "90071992547409.93", "0.9007199254740993"}},
        {"20 digits, which may wrap a 64-bit integer; leading zeros count",
         {"18446744073709551616", "18446744073709551617", "1844674407370955161.7", "36893488147419103232e-20",
          "0.000000000000000001", "00000000000000000001", "0.0000000000000000001", "000000000000000000.1e1"}},
        {"scales of 22 and 23 either way",
         {"1e22", "1e23", "1e-22", "1e-23", "123.456e-20", "123.456e-21", "0.0001e26", "0.0001e27"}},
        {"three and four exponent digits; exponents that wrap 32 or 64 bits to 1",
         {"1e-005", "1e+022", "1E0023", "1e0001", "5d999", "-5d-999", "0e999", "-0e999", "0e1000",
          "-0.0e-1000", "1e18446744073709551617", "-1e-18446744073709551615", "1e4294967297"}},
        {"subnormals, signed zeros, and where the number stops",
         {"5e-324", "2.5e-323", "+0", "-0", "-.0", "+.0e5", "1.5e", "1.5e+", "-1.5d-x", "+2.5E+0x", "7.e3",
          ".7e-3", "-7.", "1.5.5"}},
    };
    for (const ShapeGroup& group : groups) {
        SCOPED_TRACE(group.why);
        for (const char* text : group.texts) expect_like_strtod(text);
    }
}

// Decimal text near the exact route's limits: up to 21 digits and 3 leading
// zeros, often 2^53 give or take a little, the point anywhere, exponents
// within +-30 written with leading zeros and all four letters.
std::string random_short_number(std::mt19937_64& rng) {
    static const char* const kSigns[] = {"", "+", "-"};
    static const char* const kTails[] = {"", " ", "\t", "\n", "e", "d+", ".", "-1"};
    std::string digits;
    if (pick(rng, 4) == 0) {
        digits = std::to_string((uint64_t{1} << 53) - 4 + pick(rng, 9));
    } else {
        const size_t count = 1 + pick(rng, 21);
        for (size_t i = 0; i < count; ++i) digits += static_cast<char>('0' + pick(rng, 10));
    }
    if (pick(rng, 4) == 0) digits = std::string(pick(rng, 4), '0') + digits;
    if (pick(rng, 3) != 0) digits.insert(pick(rng, digits.size() + 1), ".");
    std::string text = kSigns[pick(rng, 3)] + digits;
    if (pick(rng, 3) != 0) {
        text += "eEdD"[pick(rng, 4)];
        text += kSigns[pick(rng, 3)];
        text += std::string(pick(rng, 3), '0') + std::to_string(pick(rng, 31));
    }
    return text + kTails[pick(rng, 8)];
}

TEST(ReadNumberTest, ShortShapesAgreeWithStrtod) {
    std::mt19937_64 rng(20250107);
    for (int i = 0; i < 300000 && !testing::Test::HasFailure(); ++i)
        expect_like_strtod(random_short_number(rng));
}

}  // namespace
