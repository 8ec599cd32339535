// The fast format_number against the exact decimal value, byte for byte.
//
// format_number rounds nearly every value straight from its binary form by
// fixed-point arithmetic and takes the library's 17-digit route only next to
// a tie; tests/support/exact_format.cpp writes the value out in full with
// integers and rounds its digit string. Both must give the same bytes for
// every double and both precisions. The values drawn aim at where the fast
// route could slip: on and beside ties (where the 17-digit step decides), at
// every power of ten and layout switch, across every binary exponent,
// subnormals included. The powers of ten it scales by are recomputed here
// with exact integers.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "numbers/numbers.h"
#include "numbers/pow10_table.h"
#include "numbers/wide_multiply.h"
#include "support/bits.h"
#include "support/exact_format.h"

namespace {

// Natural numbers as little-endian 32-bit limbs, no leading zero limb: just
// enough arithmetic to recompute the tables exactly.
using Big = std::vector<uint32_t>;

void trim(Big* a) {
    while (!a->empty() && a->back() == 0) a->pop_back();
}

Big big_from(uint64_t v) {
    Big a{static_cast<uint32_t>(v), static_cast<uint32_t>(v >> 32)};
    trim(&a);
    return a;
}

void multiply_small(Big* a, uint32_t factor) {
    uint64_t carry = 0;
    for (uint32_t& limb : *a) {
        const uint64_t t = (static_cast<uint64_t>(limb) * factor) + carry;
        limb = static_cast<uint32_t>(t);
        carry = t >> 32;
    }
    if (carry != 0) a->push_back(static_cast<uint32_t>(carry));
}

void add_one(Big* a) {
    for (uint32_t& limb : *a) {
        if (++limb != 0) return;
    }
    a->push_back(1);
}

void shift_left(Big* a, int bits) {
    a->insert(a->begin(), static_cast<size_t>(bits / 32), 0u);
    for (int i = 0; i < bits % 32; ++i) multiply_small(a, 2);
}

int compare(const Big& a, const Big& b) {
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    for (size_t i = a.size(); i-- > 0;) {
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    }
    return 0;
}

Big power(uint32_t base, int exponent) {
    Big a{1};
    for (int i = 0; i < exponent; ++i) multiply_small(&a, base);
    return a;
}

// Each entry c with s = floor_log2_pow10(k) - 63 must satisfy
// c * 2^s <= 10^k < (c + 1) * 2^s and 2^63 <= c: the truncated leading bits.
TEST(FormatNumberFastTest, PowerTableHoldsTruncatedLeadingBits) {
    for (int k = kPow10First; k <= kPow10Last; ++k) {
        const uint64_t c = kPow10Significands[k - kPow10First];
        const int s = floor_log2_pow10(k) - 63;
        Big low = big_from(c);
        Big high = low;
        add_one(&high);
        if (k < 0) {
            // 10^k = 1 / 10^|k|: c * 10^|k| <= 2^-s < (c + 1) * 10^|k|
            Big two{1};
            shift_left(&two, -s);
            for (int i = 0; i < -k; ++i) {
                multiply_small(&low, 10);
                multiply_small(&high, 10);
            }
            EXPECT_TRUE(compare(low, two) <= 0 && compare(two, high) < 0) << "k = " << k;
        } else {
            Big ten = power(10, k);
            if (s >= 0) {
                shift_left(&low, s);
                shift_left(&high, s);
            } else {
                shift_left(&ten, -s);
            }
            EXPECT_TRUE(compare(low, ten) <= 0 && compare(ten, high) < 0) << "k = " << k;
        }
        EXPECT_EQ(c >> 63, 1u) << "k = " << k;
    }
}

// 10^d <= 2^e < 10^(d+1) for d = floor_log10_pow2(e), every binary exponent
// of a double, subnormals normalized.
TEST(FormatNumberFastTest, DecimalExponentEstimateIsTheFloor) {
    std::vector<Big> tens;
    for (int d = 0; d <= 330; ++d) tens.push_back(power(10, d));
    for (int e = -1074; e <= 1023; ++e) {
        const int d = floor_log10_pow2(e);
        Big two{1};
        shift_left(&two, e < 0 ? -e : e);
        bool holds;
        if (e >= 0) {
            holds = d >= 0 && compare(tens[static_cast<size_t>(d)], two) <= 0 &&
                    compare(two, tens[static_cast<size_t>(d + 1)]) < 0;
        } else {
            // 10^-|d| <= 2^-|e| < 10^(1-|d|)  <=>  10^(|d|-1) < 2^|e| <= 10^|d|
            holds = d < 0 && compare(tens[static_cast<size_t>(-d - 1)], two) < 0 &&
                    compare(two, tens[static_cast<size_t>(-d)]) <= 0;
        }
        EXPECT_TRUE(holds) << "e = " << e << ", d = " << d;
    }
}

// The portable product is what 32-bit builds use; it must match the
// compiler's 128-bit one and products known by hand.
TEST(FormatNumberFastTest, WideProducts) {
    struct Row {
        uint64_t a, b, hi, lo;
    };
    const Row rows[] = {
        {0, 0xFFFFFFFFFFFFFFFFu, 0, 0},
        {0xFFFFFFFFFFFFFFFFu, 0xFFFFFFFFFFFFFFFFu, 0xFFFFFFFFFFFFFFFEu, 1},
        {0x100000001u, 0xFFFFFFFFu, 0, 0xFFFFFFFFFFFFFFFFu},
        {0x8000000000000000u, 2, 1, 0},
        {0xFFFFFFFF00000000u, 0xFFFFFFFF00000000u, 0xFFFFFFFE00000001u, 0},
        {0x1FFFFFFFFFFFFFu, 0xCCCCCCCCCCCCCCCCu, 0x19999999999998u, 0xCCB3333333333334u},
    };
    for (const Row& row : rows) {
        const WideProduct p = multiply_wide_portable(row.a, row.b);
        EXPECT_TRUE(p.hi == row.hi && p.lo == row.lo) << std::hex << row.a << " * " << row.b;
        const WideProduct q = multiply_wide(row.a, row.b);
        EXPECT_TRUE(q.hi == row.hi && q.lo == row.lo) << std::hex << row.a << " * " << row.b;
    }
    std::mt19937_64 rng(128);
    for (int i = 0; i < 100000; ++i) {
        const uint64_t a = rng() >> (rng() % 64);
        const uint64_t b = rng() >> (rng() % 64);
        const WideProduct p = multiply_wide_portable(a, b);
        const WideProduct q = multiply_wide(a, b);
        ASSERT_TRUE(p.hi == q.hi && p.lo == q.lo && p.lo == a * b) << std::hex << a << " * " << b;
    }
}

// Runs both routines on each value and counts those whose bytes differ; the
// first few are reported with the value in hex and decimal.
class Agreement {
public:
    void check(double value, int precision) {
        char got[32];
        const std::string text(got, format_number(value, precision, got));
        const std::string want = exact_format(value, precision);
        ++compared_;
        if (text == want) return;
        if (++differing_ <= 10) {
            ADD_FAILURE() << describe(value) << " precision " << precision << ": got " << text << ", want "
                          << want;
        }
    }
    void check_both(double value) {
        check(value, 9);
        check(value, 4);
    }
    // The value and its negation, and their neighbours up to `reach` ulps.
    void check_around(double value, int precision, int reach) {
        const uint64_t bits = bits_of(value) & 0x7FFFFFFFFFFFFFFFu;
        for (int j = -reach; j <= reach; ++j) {
            const uint64_t b = bits + static_cast<uint64_t>(static_cast<int64_t>(j));
            if (b == 0 || b >= 0x7FF0000000000000u) continue;
            check(from_bits(b), precision);
            check(from_bits(b | 0x8000000000000000u), precision);
        }
    }
    int compared() const { return compared_; }
    int differing() const { return differing_; }

private:
    int compared_ = 0;
    int differing_ = 0;
};

#define EXPECT_AGREEMENT(agreement) \
    EXPECT_EQ((agreement).differing(), 0) << "of " << (agreement).compared() << " values compared"

// Uniform bit patterns: every binary exponent equally, so mostly huge and
// tiny magnitudes, each decimal exponent and table entry many times.
TEST(FormatNumberFastTest, AgreesOnRandomBitPatterns) {
    std::mt19937_64 rng(1);
    Agreement agreement;
    for (int i = 0; i < 1000000; ++i) {
        const double value = from_bits(rng());
        if (value - value == 0.0) agreement.check_both(value);
    }
    EXPECT_AGREEMENT(agreement);
}

// Magnitudes like the spectrum's, 1e-12 to 1e12, with full random
// significands.
TEST(FormatNumberFastTest, AgreesOnCommonMagnitudes) {
    std::mt19937_64 rng(2);
    Agreement agreement;
    for (int i = 0; i < 500000; ++i) {
        const uint64_t exponent = 1023 - 40 + (rng() % 81);
        agreement.check_both(from_bits((rng() & 0x800FFFFFFFFFFFFFu) | (exponent << 52)));
    }
    EXPECT_AGREEMENT(agreement);
}

// The double nearest d.ddd5 * 10^exponent, `precision` digits before the
// final 5; one in eight has nines there, where rounding up carries far.
double nearest_tie(std::mt19937_64& rng, int precision, int exponent) {
    std::string text(1, static_cast<char>('1' + rng() % 9));
    text += '.';
    const bool nines = rng() % 8 == 0;
    if (nines && rng() % 2 == 0) text[0] = '9';
    for (int i = 1; i < precision; ++i) text += nines ? '9' : static_cast<char>('0' + rng() % 10);
    text += "5e" + std::to_string(exponent);
    return std::strtod(text.c_str(), nullptr);
}

// Ties after the kept digits, over the whole exponent range, and values
// beside them: one to four ulps (the 17-digit step decides there) and up to
// 2^18 ulps, past the edge where the fast route takes over again at four
// digits.
TEST(FormatNumberFastTest, AgreesBesideTies) {
    std::mt19937_64 rng(3);
    Agreement agreement;
    for (int i = 0; i < 60000; ++i) {
        const int precision = (i % 2 == 0) ? 9 : 4;
        const double tie = nearest_tie(rng, precision, static_cast<int>(rng() % 633) - 324);
        agreement.check_around(tie, precision, 4);
        const uint64_t far = (rng() >> 1) % (uint64_t{1} << (rng() % 19));
        for (int sign : {-1, 1}) {
            const uint64_t b = bits_of(tie) + static_cast<uint64_t>(sign * static_cast<int64_t>(far));
            if (b != 0 && b < 0x7FF0000000000000u) agreement.check(from_bits(b), precision);
        }
    }
    EXPECT_AGREEMENT(agreement);
}

// All small integers, and fractions k / 2^n, which end in a 5 when printed
// in full and so often sit exactly on a tie.
TEST(FormatNumberFastTest, AgreesOnIntegersAndBinaryFractions) {
    Agreement agreement;
    for (int n = 0; n <= 100000; ++n) agreement.check_both(static_cast<double>(n));
    for (uint64_t k = 1; k < 2048; ++k) {
        for (int n = 1; n < 64; ++n)
            agreement.check_both(static_cast<double>(k) / static_cast<double>(uint64_t{1} << n));
    }
    std::mt19937_64 rng(4);
    for (int i = 0; i < 100000; ++i) {
        const double k = static_cast<double>(rng() >> (11 + rng() % 53));
        agreement.check_both(std::ldexp(k, -static_cast<int>(rng() % 1100)));
    }
    EXPECT_AGREEMENT(agreement);
}

// Every power of ten a double reaches, and the ties just below it
// (0.9...95 times it), which round up to it: there the digit count and the
// exponent change, and at 1e-4 and 1e(precision) the layout. With their
// neighbours and negations.
TEST(FormatNumberFastTest, AgreesAtPowersOfTenAndLayoutSwitches) {
    Agreement agreement;
    for (int n = -324; n <= 308; ++n) {
        char text[40];
        std::snprintf(text, sizeof text, "1e%d", n);
        for (int precision : {9, 4}) agreement.check_around(std::strtod(text, nullptr), precision, 3);
        for (int precision : {9, 4}) {
            std::string nines(static_cast<size_t>(precision), '9');
            std::snprintf(text, sizeof text, "%s5e%d", nines.c_str(), n - precision - 1);
            agreement.check_around(std::strtod(text, nullptr), precision, 3);
        }
    }
    EXPECT_AGREEMENT(agreement);
}

// Subnormals, normalized before scaling: the smallest ones, both sides of
// the smallest normal, random ones; and the largest doubles.
TEST(FormatNumberFastTest, AgreesOnSubnormalsAndExtremes) {
    Agreement agreement;
    for (uint64_t b = 1; b <= 3000; ++b) agreement.check_both(from_bits(b));
    for (int precision : {9, 4}) {
        agreement.check_around(DBL_MIN, precision, 3000);
        agreement.check_around(DBL_MAX, precision, 3000);
    }
    std::mt19937_64 rng(5);
    for (int i = 0; i < 100000; ++i) agreement.check_both(from_bits(rng() & 0x800FFFFFFFFFFFFFu));
    EXPECT_AGREEMENT(agreement);
}

// Precisions other than 9 and 4 take the exact route: a smaller sample of
// each, ties included.
TEST(FormatNumberFastTest, AgreesAtEveryPrecision) {
    std::mt19937_64 rng(6);
    Agreement agreement;
    for (int precision = 1; precision <= 17; ++precision) {
        for (int i = 0; i < 5000; ++i) {
            const double value = from_bits(rng());
            if (value - value == 0.0) agreement.check(value, precision);
            if (precision <= 15) {
                const double tie = nearest_tie(rng, precision, static_cast<int>(rng() % 600) - 300);
                agreement.check_around(tie, precision, 1);
            }
        }
    }
    EXPECT_AGREEMENT(agreement);
}

}  // namespace
