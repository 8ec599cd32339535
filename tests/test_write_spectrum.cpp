// The spectrum file against the same rows formatted one at a time from the
// exact decimal values (support/exact_format.cpp) and the correctly rounded
// arc tangent: however the rows
// are split into blocks and rounds and shared among threads, each row is
// there once, in order, whole. The threads are real ones, one per worker,
// however many cores the machine has.
#include <gtest/gtest.h>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "common/trig.h"
#include "output/output.h"
#include "support/exact_format.h"
#include "support/thread_runner.h"

namespace {

// Bins of every size from 1e-12 to 1e3 and either sign, lengths of rows
// varying; a few exact zeros for the signed-zero phases.
std::vector<double> make_spectrum(uint32_t N) {
    std::mt19937_64 random(N);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_int_distribution<int> decade(-12, 3);
    std::vector<double> a(N);
    for (double& value : a) value = unit(random) * std::pow(10.0, decade(random));
    for (uint32_t k = 5; k < N; k += 997) a[k] = (k & 2u) != 0 ? -0.0 : 0.0;
    return a;
}

void append_number(std::string* text, double value) { *text += exact_format(value, 9); }

std::string rows_one_by_one(const std::vector<double>& a, uint32_t N, double dx) {
    std::string text = "0\t";
    append_number(&text, a[0]);
    text += "\t0\r\n";
    const double span = static_cast<double>(N) * dx;
    for (uint32_t k = 1; k < N / 2u; ++k) {
        const double re = a[2u * k];
        const double im = a[2u * k + 1u];
        append_number(&text, static_cast<double>(k) / span);
        text += '\t';
        append_number(&text, std::sqrt((re * re) + (im * im)));
        text += '\t';
        append_number(&text, portable_atan2(im, re));
        text += "\r\n";
    }
    return text;
}

// In the current folder: the Windows build's paths are UTF-16.
#ifdef _WIN32
const PathChar kSpectrumPath[] = L"fftext-write-spectrum.tmp";
#else
const PathChar kSpectrumPath[] = "fftext-write-spectrum.tmp";
#endif
const char kSpectrumFile[] = "fftext-write-spectrum.tmp";

std::string written_file(const std::vector<double>& a, uint32_t N, double dx, const Workers& workers) {
    // A count that is a power of two and no deviation: no warnings.
    const StepInfo step{0.0, dx, 0.0};
    const FailureMessage message = write_spectrum(kSpectrumPath, 2, N, step, a.data(), workers);
    std::ifstream file(kSpectrumFile, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    file.close();
    std::remove(kSpectrumFile);
    return failed(message) ? message.text : text;
}

// Rows 1 ... N/2 - 1: whole rounds of rows_per_round(N) rows and `extra`
// rows more (or fewer).
struct Case {
    uint32_t rounds;
    int32_t extra;
};

// N need not be a power of two here.
uint32_t points_for(uint32_t round, const Case& c) {
    return 2u * (c.rounds * round + static_cast<uint32_t>(c.extra) + 1u);
}

void expect_same_text(const std::string& got, const std::string& want, const std::string& what) {
    if (got == want) return;
    size_t at = 0;
    while (at < got.size() && at < want.size() && got[at] == want[at]) ++at;
    ADD_FAILURE() << what << ": " << got.size() << " bytes, want " << want.size()
                  << "; first difference at byte " << at << ": got '" << got.substr(at, 40) << "', want '"
                  << want.substr(at, 40) << "'";
}

// Each case written on `workers` against the rows one by one, and the width
// of the widest run of tasks the writer asked for.
void expect_rows_one_by_one(int workers, uint32_t round, const Case* cases, size_t count, int want_width) {
    for (size_t i = 0; i < count; ++i) {
        const uint32_t N = points_for(round, cases[i]);
        // Each case probes the boundaries of its own geometry.
        ASSERT_EQ(rows_per_round(N, noting_threads(workers)), round) << "N = " << N;
        const std::vector<double> a = make_spectrum(N);
        const double dx = 1.0 / 3.0;
        reset_test_runs();
        const std::string got = written_file(a, N, dx, noting_threads(workers));
        const std::string what = "N = " + std::to_string(N) + " (" + std::to_string(cases[i].rounds) +
                                 " rounds of " + std::to_string(round) + " rows, " +
                                 std::to_string(cases[i].extra) + " more), " + std::to_string(workers) +
                                 " workers";
        EXPECT_EQ(widest_test_run.load(), want_width) << what;
        expect_same_text(got, rows_one_by_one(a, N, dx), what);
    }
}

// A spectrum this small is formatted and written a block at a time on the
// caller's thread, however many workers there are: no rows, one, rows
// around a whole block, and the most rows that stay on one thread.
TEST(WriteSpectrum, SmallSpectraBlockByBlock) {
    const Case cases[] = {{0, 0}, {0, 1}, {0, 2}, {1, -1}, {1, 0}, {1, 1}, {1, 100}, {2, -2}};
    for (int workers : {1, 3}) {
        const uint32_t round = rows_per_round(4, noting_threads(workers));
        EXPECT_EQ(round, rows_per_round(4, kOneWorker));
        expect_rows_one_by_one(workers, round, cases, std::size(cases), 0);
    }
}

// Large spectra go in rounds, each written while the next is formatted:
// the first round alone, partial, full and one row past it, and later
// rounds full, one short and one over, so that the last round, written once
// all are formatted, is whole, a single row, or a part. On two threads, an
// odd count and seven (the most the writer takes is eight), each thread
// really started; one worker formats the same rows block by block.
TEST(WriteSpectrum, LargeSpectraInRounds) {
    const Case cases[] = {{1, -1}, {1, 0}, {1, 1}, {2, -1}, {2, 0}, {2, 1}, {3, 0}, {3, 4321}};
    for (int workers : {1, 2, 3, 7}) {
        const uint32_t round = rows_per_round(1u << 24, noting_threads(workers));
        expect_rows_one_by_one(workers, round, cases, std::size(cases), workers == 1 ? 0 : workers);
    }
}

// More workers than the writer takes: eight threads format, and the rows
// are the same bytes as one worker writes.
TEST(WriteSpectrum, ManyWorkersAsOneWorker) {
    const uint32_t N = 1u << 18;
    const std::vector<double> a = make_spectrum(N);
    reset_test_runs();
    const std::string many = written_file(a, N, 0.001, noting_threads(kMaxWorkers));
    EXPECT_EQ(widest_test_run.load(), 8);
    expect_same_text(many, written_file(a, N, 0.001, kOneWorker), "64 workers against one");
}

}  // namespace
