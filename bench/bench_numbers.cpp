// Parsing and formatting per number, beside the general-purpose peers:
// strtod, std::from_chars, fast_float; snprintf("%.9g"), std::to_chars.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "fast_float/fast_float.h"
#include "input/input.h"
#include "numbers/numbers.h"
#include "os/os.h"

namespace {

// 200,000 lines of a slowly rising abscissa and normal noise, each pair
// printed with `format` (two conversions and a line break).
std::string sample_lines(const char* format) {
    std::mt19937_64 random(7);
    std::normal_distribution<double> noise(0.0, 1.0);
    std::string out;
    char line[96];
    for (int n = 0; n < 200000; ++n) {
        std::snprintf(line, sizeof line, format, 0.001 + n * 5e-7, noise(random));
        out += line;
    }
    return out;
}

// Lines like the benchmark files: `0.001234500<TAB>1.251665e+00`.
const std::string& sample_text() {
    static const std::string text = sample_lines("%.9f\t%.6e\n");
    return text;
}

// Lines as numpy's savetxt writes them by default: `%.18e`, 19 significant
// digits, beyond the exact fast path.
const std::string& long_sample_text() {
    static const std::string text = sample_lines("%.18e %.18e\n");
    return text;
}

const std::vector<double>& sample_values() {
    static std::vector<double> values = [] {
        std::mt19937_64 random(11);
        std::uniform_real_distribution<double> magnitude(-6.0, 6.0);
        std::vector<double> out;
        for (int i = 0; i < 100000; ++i) out.push_back(std::pow(10.0, magnitude(random)) * (i % 2 ? 1 : -1));
        return out;
    }();
    return values;
}

void count_numbers(benchmark::State& state, size_t numbers, const std::string& text = sample_text()) {
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * numbers));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// Whole records, in as many chunks as parse_samples takes on this machine
// (state.range(0) == 0, wall time) or in one chunk on one thread (1).
void BM_parse_samples(benchmark::State& state) {
    const std::string& text = sample_text();
    std::vector<double> block(text.size() + 16);
    SampleArray samples{block.data(), static_cast<uint32_t>(block.size() / 2)};
    const TextBuffer buffer{text.c_str(), static_cast<uint32_t>(text.size())};
    uint32_t count = 0;
    for (auto _ : state) {
        if (state.range(0) == 1) {
            parse_samples_in_chunks(buffer, samples, &count, kOneWorker);
        } else {
            parse_samples(buffer, samples, &count, Workers{processor_count(), run_parallel});
        }
        benchmark::DoNotOptimize(block.data());
    }
    count_numbers(state, 2u * count);
}

template <typename Convert>
void parse_with(benchmark::State& state, Convert convert, const std::string& text = sample_text()) {
    size_t numbers = 0;
    for (auto _ : state) {
        numbers = 0;
        const char* cursor = text.c_str();
        const char* end = cursor + text.size();
        double sum = 0;
        while (cursor < end) {
            sum += convert(&cursor, end);
            ++cursor;  // the tab or line break
            ++numbers;
        }
        benchmark::DoNotOptimize(sum);
    }
    count_numbers(state, numbers, text);
}

void BM_read_number(benchmark::State& state) {
    parse_with(state, [](const char** cursor, const char*) { return read_number(*cursor, cursor); });
}

void BM_fast_float(benchmark::State& state) {
    parse_with(state, [](const char** cursor, const char* end) {
        double value = 0;
        *cursor = fast_float::from_chars(*cursor, end, value).ptr;
        return value;
    });
}

void BM_read_number_long(benchmark::State& state) {
    parse_with(
        state, [](const char** cursor, const char*) { return read_number(*cursor, cursor); },
        long_sample_text());
}

void BM_fast_float_long(benchmark::State& state) {
    parse_with(
        state,
        [](const char** cursor, const char* end) {
            double value = 0;
            *cursor = fast_float::from_chars(*cursor, end, value).ptr;
            return value;
        },
        long_sample_text());
}

void BM_from_chars(benchmark::State& state) {
    parse_with(state, [](const char** cursor, const char* end) {
        double value = 0;
        *cursor = std::from_chars(*cursor, end, value).ptr;
        return value;
    });
}

void BM_strtod(benchmark::State& state) {
    parse_with(state, [](const char** cursor, const char*) {
        char* end = nullptr;
        double value = std::strtod(*cursor, &end);
        *cursor = end;
        return value;
    });
}

template <typename Format>
void format_with(benchmark::State& state, Format format) {
    const std::vector<double>& values = sample_values();
    char out[64];
    for (auto _ : state) {
        for (double v : values) benchmark::DoNotOptimize(format(v, out));
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * values.size()));
}

void BM_format_number(benchmark::State& state) {
    format_with(state, [](double v, char* out) { return format_number(v, 9, out); });
}

void BM_snprintf_g9(benchmark::State& state) {
    format_with(state, [](double v, char* out) { return std::snprintf(out, 64, "%.9g", v); });
}

void BM_to_chars_g9(benchmark::State& state) {
    format_with(state, [](double v, char* out) {
        return std::to_chars(out, out + 64, v, std::chars_format::general, 9).ptr - out;
    });
}

}  // namespace

BENCHMARK(BM_parse_samples)->Arg(1)->Arg(0)->UseRealTime();
BENCHMARK(BM_read_number);
BENCHMARK(BM_fast_float);
BENCHMARK(BM_from_chars);
BENCHMARK(BM_strtod);
BENCHMARK(BM_read_number_long);
BENCHMARK(BM_fast_float_long);
BENCHMARK(BM_format_number);
BENCHMARK(BM_snprintf_g9);
BENCHMARK(BM_to_chars_g9);
BENCHMARK_MAIN();
