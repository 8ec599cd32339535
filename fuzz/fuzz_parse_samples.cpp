// parse_samples on arbitrary file contents, with the text and the sample array
// allocated exactly as large as the loader makes them usable, so that ASan
// reports any byte read past the zero or any record stored beyond the room.
// The result is compared with the file format worked through step by step
// without a room limit. The text is parsed in one to four chunks on as many
// threads (by the input's size), which must not change any result.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "checks.h"
#include "input/input.h"
#include "numbers/numbers.h"
#include "os/os.h"

namespace {

// Room of the loader's array for a file of `size` bytes: a request of
// 8 * floor(size / 2) bytes rounded up to whole 4096-byte pages, in records.
uint32_t page_rounded_room(size_t size) {
    const size_t request = 8 * (size / 2);
    return static_cast<uint32_t>((request + 4095) / 4096 * 4096 / sizeof(SamplePoint));
}

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

struct Outcome {
    std::vector<SamplePoint> points;
    std::string message;     // empty: parsed
    uint32_t records_begun;  // records whose first byte was reached
};

// The format, record by record, with unlimited room.
Outcome parse_without_limit(const char* text) {
    Outcome outcome;
    outcome.records_begun = 0;
    const char* cursor = text;
    char line[64];
    while (cursor != nullptr) {
        while (is_blank(*cursor)) ++cursor;
        if (*cursor == '\0') break;
        ++outcome.records_begun;
        const unsigned record = outcome.records_begun;
        SamplePoint point;
        point.x = read_number(cursor, &cursor);
        if (!std::isfinite(point.x)) {
            std::snprintf(line, sizeof line, "Invalid value at line %u", record);
            outcome.message = line;
            return outcome;
        }
        while (*cursor == ' ' || *cursor == '\t' || *cursor == '\v' || *cursor == '\f') ++cursor;
        if (*cursor == '\r' || *cursor == '\n') {
            std::snprintf(line, sizeof line, "Invalid input file format at line %u", record);
            outcome.message = line;
            return outcome;
        }
        point.y = read_number(cursor, &cursor);
        if (!std::isfinite(point.y)) {
            std::snprintf(line, sizeof line, "Invalid value at line %u", record);
            outcome.message = line;
            return outcome;
        }
        outcome.points.push_back(point);
        cursor = std::strpbrk(cursor, "\r\n");
    }
    if (outcome.points.size() < 2) outcome.message = "Too few data";
    return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A 1-byte file never reaches the parser: its array request is 0 bytes.
    if (size < 2) return 0;
    char* bytes = static_cast<char*>(std::malloc(size + 1));
    std::memcpy(bytes, data, size);
    bytes[size] = '\0';
    const uint32_t room = page_rounded_room(size);
    double* values = static_cast<double*>(std::calloc(room, sizeof(SamplePoint)));

    const TextBuffer text = {bytes, static_cast<uint32_t>(size)};
    const SampleArray samples = {values, room};
    uint32_t count = 0;
    const Workers chunks = {1 + static_cast<int>(size % 4), run_parallel};
    const FailureMessage message = parse_samples_in_chunks(text, samples, &count, chunks);

    const size_t length = strnlen(message.text, sizeof message.text);
    FUZZ_CHECK(length < sizeof message.text);
    const bool known = length == 0 || std::strcmp(message.text, "Too few data") == 0 ||
                       std::strcmp(message.text, "Out of memory (data array)") == 0 ||
                       is_record_message(message.text, length, "Invalid value at line ") ||
                       is_record_message(message.text, length, "Invalid input file format at line ");
    if (!known) std::fprintf(stderr, "unknown message \"%s\"\n", message.text);
    FUZZ_CHECK(known);
    FUZZ_CHECK(std::strcmp(message.caption, "Error") == 0);

    // Either every record fits, or the room runs out exactly when record
    // room + 1 begins, before anything about it is judged.
    const Outcome expected = parse_without_limit(bytes);
    if (expected.records_begun > room) {
        FUZZ_CHECK(std::strcmp(message.text, "Out of memory (data array)") == 0);
    } else {
        if (expected.message != message.text) {
            std::fprintf(stderr, "message \"%s\", expected \"%s\"\n", message.text, expected.message.c_str());
        }
        FUZZ_CHECK(expected.message == message.text);
    }
    if (length == 0) {
        FUZZ_CHECK(count == expected.points.size() && count <= room);
        const SamplePoint* points = reinterpret_cast<const SamplePoint*>(values);
        for (uint32_t i = 0; i < count; ++i) {
            FUZZ_CHECK(bits_of(points[i].x) == bits_of(expected.points[i].x));
            FUZZ_CHECK(bits_of(points[i].y) == bits_of(expected.points[i].y));
        }
    }
    std::free(values);
    std::free(bytes);
    return 0;
}
