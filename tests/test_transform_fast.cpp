// The fast transform against the straightforward one, bit for bit.
//
// bit_reverse, complex_fft and real_spectrum reorder the work (tiles, blocks,
// several stages per sweep, factors produced in chunks, vector registers) but
// must leave every double exactly as the plain loops of
// tests/support/reference_transform.cpp give it. Every length that takes a
// different path is covered: each power of two up to 2^20 complex values and
// 2^21 real values, which goes past the block size, through every grouping
// of the large stages and past the L2 cache; the threaded form, on real
// threads, from its first length up to 2^22 real values.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "support/bits.h"
#include "support/reference_transform.h"
#include "support/thread_runner.h"
#include "transform/passes.h"
#include "transform/transform.h"

namespace {

// Same bytes, or the first slot that differs, in hex and decimal.
::testing::AssertionResult same_doubles(const std::vector<double>& got, const std::vector<double>& want) {
    if (got.size() == want.size() && std::memcmp(got.data(), want.data(), got.size() * sizeof(double)) == 0) {
        return ::testing::AssertionSuccess();
    }
    size_t differing = 0;
    size_t first = got.size();
    for (size_t i = 0; i < got.size(); ++i) {
        if (bits_of(got[i]) != bits_of(want[i])) {
            if (first == got.size()) {
                first = i;
            }
            ++differing;
        }
    }
    char text[160];
    std::snprintf(text, sizeof text,
                  "%zu of %zu doubles differ; first at %zu: got %a (%.17g), want %a (%.17g)", differing,
                  got.size(), first, got[first], got[first], want[first], want[first]);
    return ::testing::AssertionFailure() << text;
}

// The kinds of data the tests draw. Each value is built from random bits, so
// every platform draws the same data.
enum class Kind {
    kUniform,  // [-1, 1): the common case
    kWild,     // every binade from subnormal to 2^900, signed zeros, exact small integers
    kSparse,   // mostly +0.0 and -0.0: the signs of zero sums and products
    kZeros,    // only +0.0 and -0.0: every sum and product of the transform is a signed zero
    kLevel,    // one value repeated: exact cancellations leave signed zeros everywhere
    kHuge,     // near the largest double: sums overflow, inf - inf makes NaN
    kSpecial,  // eight signed zeros and small integers, repeated: most bins exact zeros of either sign
};

const Kind kKinds[] = {Kind::kUniform, Kind::kWild, Kind::kSparse, Kind::kZeros,
                       Kind::kLevel,   Kind::kHuge, Kind::kSpecial};

const char* name_of(Kind kind) {
    switch (kind) {
        case Kind::kUniform:
            return "uniform";
        case Kind::kWild:
            return "wild";
        case Kind::kSparse:
            return "sparse";
        case Kind::kZeros:
            return "zeros";
        case Kind::kLevel:
            return "level";
        case Kind::kHuge:
            return "huge";
        case Kind::kSpecial:
            return "special";
    }
    return "?";
}

double draw(std::mt19937_64& rng, Kind kind) {
    uint64_t r = rng();
    uint64_t sign = (r & 1) << 63;
    uint64_t fraction = (r >> 1) & ((uint64_t{1} << 52) - 1);
    unsigned pick = static_cast<unsigned>(r >> 56);  // 0 ... 255
    switch (kind) {
        case Kind::kUniform:
            return static_cast<double>(r >> 11) * 0x1p-52 - 1.0;
        case Kind::kWild: {
            if (pick < 24) {
                return from_bits(sign);  // +0.0 or -0.0
            }
            if (pick < 40) {
                return from_bits(sign | fraction);  // subnormal
            }
            if (pick < 56) {
                return static_cast<double>(static_cast<int>(pick % 7) - 3);  // small integers
            }
            // Exponents of -1022 ... 900: sums of 2^21 values stay finite.
            uint64_t exponent = 1 + (rng() % 1923);
            return from_bits(sign | (exponent << 52) | fraction);
        }
        case Kind::kSparse:
            if (pick < 8) {
                return static_cast<double>(r >> 11) * 0x1p-52 - 1.0;
            }
            return from_bits(sign);
        case Kind::kZeros:
            return from_bits(sign);
        case Kind::kLevel:
            return -2.5;
        case Kind::kHuge:
            // Exponents of 2^1009 ... 2^1023: a few stages of sums overflow.
            return from_bits(sign | ((uint64_t{0x7f0} + pick % 15) << 52) | fraction);
        case Kind::kSpecial:
            if (pick < 128) {
                return static_cast<double>(static_cast<int>(pick % 5) - 2);
            }
            return from_bits(sign);
    }
    return 0.0;
}

std::vector<double> draw_values(size_t count, Kind kind, uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::vector<double> v(count);
    for (size_t i = 0; i < count; ++i) {
        // The special data repeat their first eight values.
        v[i] = kind == Kind::kSpecial && i >= 8 ? v[i % 8] : draw(rng, kind);
    }
    return v;
}

// The SSE2 sweeps always, the AVX ones where this processor has AVX.
std::vector<Vectors> vector_kinds() {
    std::vector<Vectors> kinds = {Vectors::kSse2};
    if (processor_has(Vectors::kAvx)) {
        kinds.push_back(Vectors::kAvx);
    }
    return kinds;
}

const char* name_of(Vectors vectors) { return vectors == Vectors::kAvx ? "AVX" : "SSE2"; }

// Fewer draws for the longer lengths keep the whole file to a few seconds.
uint32_t rounds_for(uint32_t length) { return length <= 4096 ? 4 : length <= 65536 ? 2 : 1; }

// ---------------------------------------------------------------------------

// The permutation alone, on values that name their slot: every length up to
// 2^20, each tile size and the middle bits of both parities.
TEST(FastTransform, BitReverseMovesEveryValueLikeTheReference) {
    for (uint32_t M = 1; M <= (1u << 20); M *= 2) {
        std::vector<double> got(2 * size_t{M});
        for (size_t i = 0; i < got.size(); ++i) {
            got[i] = static_cast<double>(i);
        }
        std::vector<double> want = got;
        bit_reverse(got.data(), M);
        reference_bit_reverse(want.data(), M);
        EXPECT_TRUE(same_doubles(got, want)) << "M = " << M;
    }
}

// bit_reverse then complex_fft, every length up to 2^20 complex values.
TEST(FastTransform, ComplexFftMatchesReferenceBits) {
    for (uint32_t M = 1; M <= (1u << 20); M *= 2) {
        for (Kind kind : kKinds) {
            for (uint32_t round = 0; round < rounds_for(M); ++round) {
                std::vector<double> input = draw_values(2 * size_t{M}, kind, 31 * M + round);
                std::vector<double> want = input;
                reference_bit_reverse(want.data(), M);
                reference_complex_fft(want.data(), M);
                for (Vectors vectors : vector_kinds()) {
                    std::vector<double> got = input;
                    bit_reverse(got.data(), M);
                    complex_fft_using(got.data(), M, vectors);
                    EXPECT_TRUE(same_doubles(got, want)) << name_of(vectors) << ", M = " << M << ", "
                                                         << name_of(kind) << " data, round " << round;
                }
            }
        }
    }
}

// complex_fft on data that are not in bit-reversed order is still the same
// arithmetic: the stages must not depend on what bit_reverse did. The public
// routine takes the best sweeps of this processor.
TEST(FastTransform, ComplexFftAloneMatchesReferenceBits) {
    for (uint32_t M : {8u, 2048u, 1u << 17}) {
        std::vector<double> got = draw_values(2 * size_t{M}, Kind::kWild, M + 5);
        std::vector<double> want = got;
        complex_fft(got.data(), M);
        reference_complex_fft(want.data(), M);
        EXPECT_TRUE(same_doubles(got, want)) << "M = " << M;
    }
}

// Origins that make the rotation trivial (x0 = 0), ordinary, far away and
// negative, steps from tiny to large, and one whose phase overflows to a NaN.
struct Placement {
    double x0;
    double dx;
};
const Placement placements[] = {
    {0.0, 1.0}, {0.125, 0.001}, {-3.75e5, 0.5}, {12.0, 0x1.8p-1000}, {0x1p1023, 0x1p1020},
};
const uint32_t kPlacementCount = sizeof placements / sizeof placements[0];

// The whole spectrum, every length up to 2^21 real values, in every placement.
TEST(FastTransform, RealSpectrumMatchesReferenceBits) {
    const uint32_t count = kPlacementCount;
    for (uint32_t N = 1; N <= (1u << 21); N *= 2) {
        for (Kind kind : kKinds) {
            for (uint32_t round = 0; round < rounds_for(N); ++round) {
                const Placement& at = placements[(round + static_cast<uint32_t>(kind) + N % 3) % count];
                std::vector<double> input = draw_values(N, kind, 17 * N + round);
                std::vector<double> want = input;
                reference_real_spectrum(want.data(), N, at.x0, at.dx);
                for (Vectors vectors : vector_kinds()) {
                    std::vector<double> got = input;
                    real_spectrum_using(got.data(), N, at.x0, at.dx, vectors, kOneWorker);
                    EXPECT_TRUE(same_doubles(got, want))
                        << name_of(vectors) << ", N = " << N << ", " << name_of(kind)
                        << " data, x0 = " << at.x0 << ", dx = " << at.dx;
                }
            }
        }
    }
}

// The threaded form splits the permutation, the stages, the last sweep's
// offsets and the final chunks by the worker count, and takes up each
// recurrence where another thread left it: the lengths from `first` to
// `last` in the given kinds of data, with one worker (the one-thread form),
// two, an odd count, and more than the transform uses (16).
void check_threaded(uint32_t first, uint32_t last, std::initializer_list<Kind> kinds) {
    for (uint32_t N = first; N <= last; N *= 2) {
        for (Kind kind : kinds) {
            const Placement& at = placements[static_cast<uint32_t>(kind) % kPlacementCount];
            std::vector<double> input = draw_values(N, kind, 23 * N + static_cast<uint32_t>(kind));
            std::vector<double> want = input;
            reference_real_spectrum(want.data(), N, at.x0, at.dx);
            for (Vectors vectors : vector_kinds()) {
                for (int count : {1, 2, 3, 17}) {
                    std::vector<double> got = input;
                    real_spectrum_using(got.data(), N, at.x0, at.dx, vectors, test_threads(count));
                    EXPECT_TRUE(same_doubles(got, want)) << name_of(vectors) << ", N = " << N << ", "
                                                         << name_of(kind) << " data, " << count << " workers";
                }
            }
        }
    }
}

// From the first length the threaded form takes (2^13: more than kBlock
// complex values) to 2^18, every kind of data.
TEST(FastTransform, ThreadedRealSpectrumMatchesReferenceBits) {
    check_threaded(1u << 13, 1u << 18,
                   {Kind::kUniform, Kind::kWild, Kind::kSparse, Kind::kZeros, Kind::kLevel, Kind::kHuge,
                    Kind::kSpecial});
}

// Through the threshold of the public routine to 2^22, the common kinds.
TEST(FastTransform, ThreadedLongRealSpectrumMatchesReferenceBits) {
    check_threaded(1u << 19, 1u << 22, {Kind::kUniform, Kind::kWild});
}

// The permutation in parts, each part alone and the parts in reverse
// order, on values that name their slot: lengths with and without middle
// bits, and more parts than there are tiles.
TEST(FastTransform, BitReversePartsMakeThePermutation) {
    for (uint32_t M : {1u, 4u, 64u, 1u << 12, 1u << 13, 1u << 17, 1u << 20}) {
        std::vector<double> want(2 * size_t{M});
        for (size_t i = 0; i < want.size(); ++i) {
            want[i] = static_cast<double>(i);
        }
        std::vector<double> start = want;
        reference_bit_reverse(want.data(), M);
        for (uint32_t parts : {2u, 3u, 7u, 5000u}) {
            std::vector<double> got = start;
            for (uint32_t part = parts; part-- > 0;) {
                bit_reverse_part(got.data(), M, part, parts);
            }
            EXPECT_TRUE(same_doubles(got, want)) << "M = " << M << ", " << parts << " parts";
        }
    }
}

// The working array may start anywhere a double may: it is read and written
// in 16- and 32-byte pieces from wherever it starts, 8 bytes past a cache
// line or 24. Every length up to 2^15, at each offset.
TEST(FastTransform, RealSpectrumAnywhereInMemory) {
    for (uint32_t N = 2; N <= (1u << 15); N *= 2) {
        std::vector<double> input = draw_values(N, Kind::kWild, 5 * N + 1);
        std::vector<double> want = input;
        reference_real_spectrum(want.data(), N, 0.125, 0.001);
        for (size_t offset : {1u, 2u, 3u, 5u}) {
            for (Vectors vectors : vector_kinds()) {
                // 8 spare doubles before a 64-byte boundary inside the buffer.
                std::vector<double> buffer(N + 16);
                uintptr_t address = reinterpret_cast<uintptr_t>(buffer.data() + 8);
                double* line = reinterpret_cast<double*>(address & ~uintptr_t{63});
                double* a = line + offset;
                std::memcpy(a, input.data(), N * sizeof(double));
                real_spectrum_using(a, N, 0.125, 0.001, vectors, kOneWorker);
                std::vector<double> got(a, a + N);
                EXPECT_TRUE(same_doubles(got, want))
                    << name_of(vectors) << ", N = " << N << ", offset " << offset;
            }
        }
    }
}

// The public routine, with the best sweeps of this processor and, from its
// threshold (2^20) on, the workers it is given.
TEST(FastTransform, RealSpectrumAloneMatchesReferenceBits) {
    for (uint32_t N : {16u, 4096u, 1u << 18, 1u << 20}) {
        std::vector<double> got = draw_values(N, Kind::kUniform, N + 3);
        std::vector<double> want = got;
        real_spectrum(got.data(), N, 0.5, 0.01, test_threads(2));
        reference_real_spectrum(want.data(), N, 0.5, 0.01);
        EXPECT_TRUE(same_doubles(got, want)) << "N = " << N;
    }
}

// The guard for the tests above: the huge data really do reach infinities
// and NaNs (alongside finite values at M = 32, nothing but NaNs at larger M),
// and the wild data subnormals and signed zeros, so those paths are compared
// and not just assumed.
TEST(FastTransform, DataReachTheSpecialValues) {
    std::vector<double> huge = draw_values(2 * 32, Kind::kHuge, 31 * 32);
    reference_bit_reverse(huge.data(), 32);
    reference_complex_fft(huge.data(), 32);
    size_t infinite = 0;
    size_t nan = 0;
    for (double v : huge) {
        infinite += std::isinf(v) ? 1 : 0;
        nan += std::isnan(v) ? 1 : 0;
    }
    EXPECT_GT(infinite, 0u);
    EXPECT_GT(nan, 0u);
    EXPECT_LT(infinite + nan, huge.size());

    std::vector<double> wild = draw_values(4096, Kind::kWild, 7);
    size_t subnormal = 0;
    size_t negative_zero = 0;
    for (double v : wild) {
        subnormal += (std::fpclassify(v) == FP_SUBNORMAL) ? 1 : 0;
        negative_zero += (v == 0.0 && std::signbit(v)) ? 1 : 0;
    }
    EXPECT_GT(subnormal, 0u);
    EXPECT_GT(negative_zero, 0u);

    // The special data leave exact zeros of both signs (the rotation's
    // products give the negative ones) beside other bins, at a short length
    // and a long one.
    for (uint32_t N : {256u, 1u << 16}) {
        std::vector<double> special = draw_values(N, Kind::kSpecial, 17 * N);
        reference_real_spectrum(special.data(), N, 100.375, 1.0);
        size_t counts[3] = {};  // +0, -0, others
        for (double v : special) {
            ++counts[v == 0.0 ? (std::signbit(v) ? 1 : 0) : 2];
        }
        for (size_t count : counts) {
            EXPECT_GT(count, 0u) << "N = " << N << ": " << counts[0] << " +0, " << counts[1] << " -0, " << counts[2] << " others";
        }
    }
}

}  // namespace
