// The whole run on arbitrary input file contents, through the in-memory
// platform: it ends with exactly one message or exactly one output file, the
// exit code says which, and the output is the writer's format line by line
// with as many rows as the padded point count asks for.
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "checks.h"
#include "driver/driver.h"
#include "input/input.h"
#include "memory_platform.h"

namespace {

const char kPaddingWarning[] =
    "%warning There are not 2^n data in the input file --> data were padded with an average value";
const char kDeviationWarning[] = "%warning Input step not equidistant; relative deviation = ";

// The count parse_samples finds in the file, with the loader's room, or its
// message; the run must agree with it. Files under 2 bytes are never parsed.
FailureMessage parse_again(const uint8_t* data, size_t size, uint32_t* count) {
    char* bytes = static_cast<char*>(std::malloc(size + 1));
    std::memcpy(bytes, data, size);
    bytes[size] = '\0';
    const uint32_t room = static_cast<uint32_t>((8 * (size / 2) + 4095) / 4096 * 4096 / sizeof(SamplePoint));
    double* values = static_cast<double*>(std::calloc(room, sizeof(SamplePoint)));
    const TextBuffer text = {bytes, static_cast<uint32_t>(size)};
    const SampleArray samples = {values, room};
    const FailureMessage message = parse_samples(text, samples, count, kOneWorker);
    std::free(values);
    std::free(bytes);
    return message;
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t at = text.find(separator); at != std::string::npos; at = text.find(separator, start)) {
        parts.push_back(text.substr(start, at - start));
        start = at + 1;
    }
    parts.push_back(text.substr(start));
    return parts;
}

// A printed number's value; the non-finite spellings as infinity or NaN.
double printed_value(const std::string& field, int precision) {
    if (!is_printed_number(field.data(), field.size(), precision)) {
        std::fprintf(stderr, "not a number as printed: \"%s\"\n", field.c_str());
    }
    FUZZ_CHECK(is_printed_number(field.data(), field.size(), precision));
    FUZZ_CHECK(field.size() <= 16);
    if (field.find('#') != std::string::npos) {
        if (field.find("INF") == std::string::npos) return std::nan("");
        return (field[0] == '-') ? -HUGE_VAL : HUGE_VAL;
    }
    return std::strtod(field.c_str(), nullptr);
}

// `lines` hold the output without their CR LF; `count` points padded to N.
void check_output(const std::vector<std::string>& lines, uint32_t count, uint32_t N) {
    size_t at = 0;
    const bool padded = (count & (count - 1)) != 0;
    if (padded) {
        FUZZ_CHECK(at < lines.size() && lines[at] == kPaddingWarning);
        ++at;
    }
    const size_t prefix_length = sizeof kDeviationWarning - 1;
    if (at < lines.size() && lines[at].compare(0, prefix_length, kDeviationWarning) == 0) {
        // Reported above a millionth of the step; intervals beyond 1 % are rejected.
        const double deviation = printed_value(lines[at].substr(prefix_length), 4);
        FUZZ_CHECK(deviation >= 1e-6 && deviation <= 0.01);
        ++at;
    }
    FUZZ_CHECK(at < lines.size());
    const std::vector<std::string> zero_row = split(lines[at++], '\t');
    FUZZ_CHECK(zero_row.size() == 3 && zero_row[0] == "0" && zero_row[2] == "0");
    printed_value(zero_row[1], 9);

    // One row for the zero frequency, one for each bin below the Nyquist one.
    FUZZ_CHECK(lines.size() - at == N / 2 - 1);
    double first = 0.0;
    double previous = 0.0;
    for (uint32_t k = 1; at < lines.size(); ++k, ++at) {
        const std::vector<std::string> row = split(lines[at], '\t');
        FUZZ_CHECK(row.size() == 3);
        const double frequency = printed_value(row[0], 9);
        const double magnitude = printed_value(row[1], 9);
        const double phase = printed_value(row[2], 9);
        // Increasing abscissae give a positive step and increasing frequencies.
        if (!(frequency >= previous)) std::fprintf(stderr, "row %u: \"%s\"\n", k, lines[at].c_str());
        FUZZ_CHECK(frequency >= previous);
        if (k == 1) first = frequency;
        // k / (N dx) and 1 / (N dx): one rounding each, then nine digits each.
        if (std::isfinite(frequency) && first >= 1e-290) {
            FUZZ_CHECK(std::fabs((frequency / k) - first) <= 2e-8 * first);
        }
        FUZZ_CHECK(std::isnan(magnitude) || magnitude >= 0.0);
        FUZZ_CHECK(!std::isfinite(phase) || std::fabs(phase) <= 3.14159265);
        previous = frequency;
    }
}

void check_message(const MemoryRun& run, const uint8_t* data, size_t size) {
    const FailureMessage& message = run.message;
    FUZZ_CHECK(!run.message_dialog_mode);
    FUZZ_CHECK(strnlen(message.text, sizeof message.text) < sizeof message.text);
    const bool warning = std::strcmp(message.caption, "Warning") == 0;
    FUZZ_CHECK(warning || std::strcmp(message.caption, "Error") == 0);
    if (size == 0) {
        FUZZ_CHECK(warning && std::strcmp(message.text, "Empty file") == 0);
        return;
    }
    FUZZ_CHECK(!warning);
    if (size == 1) {
        FUZZ_CHECK(std::strcmp(message.text, "Out of memory (data array)") == 0);
        return;
    }
    uint32_t count = 0;
    const FailureMessage parsed = parse_again(data, size, &count);
    if (failed(parsed)) {
        FUZZ_CHECK(std::strcmp(message.text, parsed.text) == 0);
        return;
    }
    const bool step_message =
        std::strcmp(message.text, "Input data are not sorted or not equidistant") == 0 ||
        std::strcmp(message.text, "Zero step in input data is invalid") == 0;
    if (!step_message) std::fprintf(stderr, "unexpected message \"%s\"\n", message.text);
    FUZZ_CHECK(step_message);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::setlocale(LC_ALL, "C");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    start_memory_run(data, size);
    const int exit_code = run_transform();
    const MemoryRun& run = memory_run();

    FUZZ_CHECK(run.inputs_opened == 1);
    const bool wrote = run.outputs_created == 1;
    FUZZ_CHECK(wrote ? run.messages_shown == 0 : (run.messages_shown == 1 && run.outputs_created == 0));
    FUZZ_CHECK(exit_code == (wrote ? 1 : 0));
    if (!wrote) {
        check_message(run, data, size);
        end_memory_run();
        return 0;
    }
    FUZZ_CHECK(run.inputs_closed == 1 && run.outputs_closed == 1 && run.outputs_discarded == 0);

    // Every line ends with CR LF, and no CR or LF stands anywhere else.
    const std::string& output = run.output;
    FUZZ_CHECK(output.size() >= 2 && output.compare(output.size() - 2, 2, "\r\n") == 0);
    std::vector<std::string> lines = split(output.substr(0, output.size() - 2), '\n');
    for (std::string& line : lines) {
        if (&line != &lines.back()) {
            FUZZ_CHECK(!line.empty() && line.back() == '\r');
            line.pop_back();
        }
        FUZZ_CHECK(line.find('\r') == std::string::npos);
    }

    uint32_t count = 0;
    const FailureMessage parsed = parse_again(data, size, &count);
    FUZZ_CHECK(!failed(parsed) && count >= 2);
    uint32_t N = 1;
    while (N < count) N *= 2;
    check_output(lines, count, N);
    end_memory_run();
    return 0;
}
