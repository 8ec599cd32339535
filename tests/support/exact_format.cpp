#include "support/exact_format.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kBase = 1000000000;  // 10^9 per limb
using Limbs = std::vector<uint32_t>;    // least significant limb first

void multiply_small(Limbs* a, uint32_t factor) {
    uint64_t carry = 0;
    for (uint32_t& limb : *a) {
        const uint64_t t = (static_cast<uint64_t>(limb) * factor) + carry;
        limb = static_cast<uint32_t>(t % kBase);
        carry = t / kBase;
    }
    while (carry != 0) {
        a->push_back(static_cast<uint32_t>(carry % kBase));
        carry /= kBase;
    }
}

// 5^k for k <= 1074 and 2^k for k <= 971: the factors that turn m * 2^q into
// an integer, for every double.
struct Powers {
    std::vector<Limbs> five;
    std::vector<Limbs> two;
};

const Powers& powers() {
    static const Powers table = [] {
        Powers p;
        p.five.push_back(Limbs{1});
        for (int k = 1; k <= 1074; ++k) {
            p.five.push_back(p.five.back());
            multiply_small(&p.five.back(), 5);
        }
        p.two.push_back(Limbs{1});
        for (int k = 1; k <= 971; ++k) {
            p.two.push_back(p.two.back());
            multiply_small(&p.two.back(), 2);
        }
        return p;
    }();
    return table;
}

// a * m for m < 2^53, in two halves of m below 10^9 each.
Limbs times(const Limbs& a, uint64_t m) {
    const uint64_t halves[2] = {m % kBase, m / kBase};
    Limbs r(a.size() + 3, 0);
    for (size_t h = 0; h < 2; ++h) {
        uint64_t carry = 0;
        size_t i = 0;
        for (; i < a.size(); ++i) {
            const uint64_t t = (static_cast<uint64_t>(a[i]) * halves[h]) + r[i + h] + carry;
            r[i + h] = static_cast<uint32_t>(t % kBase);
            carry = t / kBase;
        }
        for (i += h; carry != 0; ++i) {
            const uint64_t t = r[i] + carry;
            r[i] = static_cast<uint32_t>(t % kBase);
            carry = t / kBase;
        }
    }
    while (r.size() > 1 && r.back() == 0) r.pop_back();
    return r;
}

// The leading digits of a (at least 19 where it has them) and whether any
// digit after them is not zero; `count` is the number of all its digits.
struct Leading {
    std::string digits;
    bool rest_nonzero;
    int count;
};

Leading leading_digits(const Limbs& a) {
    Leading lead{std::to_string(a.back()), false, 0};
    size_t i = a.size() - 1;
    for (; i > 0 && lead.digits.size() < 19; --i) {
        const std::string limb = std::to_string(a[i - 1]);
        lead.digits += std::string(9 - limb.size(), '0') + limb;
    }
    for (; i > 0; --i) lead.rest_nonzero = lead.rest_nonzero || a[i - 1] != 0;
    lead.count = static_cast<int>(std::to_string(a.back()).size() + (9 * (a.size() - 1)));
    return lead;
}

// Adds one unit in the last place of `digits`; a carry out of the first
// digit turns 99...9 into 10...0 and raises the exponent.
void increment(std::string* digits, int* exponent) {
    size_t i = digits->size();
    while (i > 0 && (*digits)[i - 1] == '9') (*digits)[--i] = '0';
    if (i == 0) {
        (*digits)[0] = '1';
        ++*exponent;
    } else {
        ++(*digits)[i - 1];
    }
}

}  // namespace

std::string exact_format(double value, int precision) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const std::string sign = (bits >> 63) != 0 ? "-" : "";
    const int biased = static_cast<int>((bits >> 52) & 0x7FF);
    uint64_t m = bits & ((uint64_t{1} << 52) - 1);
    if (biased == 0 && m == 0) return sign + "0";
    if (biased != 0) m |= uint64_t{1} << 52;
    const int q = (biased == 0 ? 1 : biased) - 1075;

    // value = 0.d1 d2 d3 ... * 10^(exponent + 1), d1 != 0: the integer
    // m * 2^q or m * 5^-q, then shifted by q decimal places.
    const Leading lead = (q >= 0) ? leading_digits(times(powers().two[static_cast<size_t>(q)], m))
                                  : leading_digits(times(powers().five[static_cast<size_t>(-q)], m));
    std::string digits = lead.digits;
    int exponent = lead.count - 1 + (q < 0 ? q : 0);

    // 17 significant digits, ties to even.
    if (digits.size() > 17) {
        const char next = digits[17];
        const bool beyond = lead.rest_nonzero || digits.find_first_not_of('0', 18) != std::string::npos;
        const bool odd = ((digits[16] - '0') % 2) != 0;
        digits.resize(17);
        if (next > '5' || (next == '5' && (beyond || odd))) increment(&digits, &exponent);
    }
    // Then half up to `precision` digits.
    const size_t kept = static_cast<size_t>(precision);
    if (digits.size() > kept) {
        const bool up = digits[kept] >= '5';
        digits.resize(kept);
        if (up) increment(&digits, &exponent);
    }
    digits.erase(digits.find_last_not_of('0') + 1);

    if (exponent < -4 || exponent >= precision) {
        std::string text = sign + digits.substr(0, 1);
        if (digits.size() > 1) text += "." + digits.substr(1);
        char tail[16];
        std::snprintf(tail, sizeof tail, "e%c%03d", exponent < 0 ? '-' : '+', exponent < 0 ? -exponent : exponent);
        return text + tail;
    }
    if (exponent < 0) return sign + "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
    const size_t whole = static_cast<size_t>(exponent) + 1;
    if (digits.size() <= whole) return sign + digits + std::string(whole - digits.size(), '0');
    return sign + digits.substr(0, whole) + "." + digits.substr(whole);
}
