#include "driver/failure_detail.h"

#include <cstring>

#include "input/input.h"
#include "numbers/numbers.h"

namespace {

// The most bytes of a path and of an input line a detail shows.
constexpr size_t kMostNameBytes = 120;
constexpr size_t kMostLineBytes = 60;

void append_number(FailureMessage* message, double value) {
    char digits[32];
    const size_t length = format_number(value, 9, digits);
    digits[length] = '\0';
    append_detail(message, digits);
}

// "NAME: " or "NAME:LINE: " in front of what the stage said, if anything.
void start_detail(FailureMessage* message, const char* name, uint32_t line) {
    char said[sizeof message->detail];
    std::memcpy(said, message->detail, sizeof said);
    message->detail[0] = '\0';
    append_shown(message, name, std::strlen(name), kMostNameBytes);
    if (line != 0) {
        append_detail(message, ":");
        append_count(message, line);
    }
    append_detail(message, ": ");
    append_detail(message, said);
}

}  // namespace

bool find_record_line(const TextBuffer& text, uint32_t record, RecordLine* place) {
    uint32_t line = 1;
    uint32_t records = 0;
    const char* cursor = text.bytes;
    while (*cursor != '\0') {
        const char* begin = cursor;
        bool blank = true;
        for (; *cursor != '\0' && *cursor != '\n' && *cursor != '\r'; ++cursor) {
            if (!is_input_space(*cursor)) blank = false;
        }
        if (!blank && ++records == record) {
            *place = RecordLine{line, begin, cursor};
            return true;
        }
        if (*cursor == '\r' && cursor[1] == '\n') ++cursor;
        if (*cursor != '\0') ++cursor;
        ++line;
    }
    return false;
}

void describe_parse_failure(FailureMessage* message, const char* name, const TextBuffer& text,
                            uint32_t count) {
    RecordLine place;
    if (message->record == 0) {
        // Too few data.
        append_count(message, count);
        append_detail(message,
                      count == 1 ? " sample read, at least 2 needed" : " samples read, at least 2 needed");
        start_detail(message, name, 0);
        return;
    }
    if (!find_record_line(text, message->record, &place)) return;
    if (std::strncmp(message->text, "Out of memory", 13) == 0) {
        append_detail(message, "the room for ");
        append_count(message, message->record - 1u);
        append_detail(message, " samples ran out here");
    } else {
        append_detail(message, "\"");
        append_shown(message, place.begin, static_cast<size_t>(place.end - place.begin), kMostLineBytes);
        append_detail(message, "\"");
    }
    start_detail(message, name, place.line);
}

void describe_step_failure(FailureMessage* message, const char* name, const TextBuffer& text,
                           const SamplePoint* points, uint32_t count, const StepInfo& step) {
    RecordLine first;
    RecordLine last;
    if (message->record != 0) {
        const uint32_t later = message->record;
        if (!find_record_line(text, later - 1u, &first) || !find_record_line(text, later, &last)) return;
        const double from = points[later - 2u].x;
        const double to = points[later - 1u].x;
        append_detail(message, "lines ");
        append_count(message, first.line);
        append_detail(message, " and ");
        append_count(message, last.line);
        if (from == to) {
            append_detail(message, ": the same abscissa ");
            append_number(message, from);
        } else {
            append_detail(message, ": interval ");
            append_number(message, to - from);
            append_detail(message, " from ");
            append_number(message, from);
            append_detail(message, " to ");
            append_number(message, to);
        }
        append_detail(message, ", mean step ");
        append_number(message, step.dx);
    } else {
        if (!find_record_line(text, 1, &first) || !find_record_line(text, count, &last)) return;
        append_detail(message, "first abscissa ");
        append_number(message, points[0].x);
        append_detail(message, " (line ");
        append_count(message, first.line);
        append_detail(message, "), last ");
        append_number(message, points[count - 1u].x);
        append_detail(message, " (line ");
        append_count(message, last.line);
        append_detail(message, "), step ");
        append_number(message, step.dx);
    }
    start_detail(message, name, 0);
}

void describe_file_failure(FailureMessage* message, const char* name) {
    if (message->detail[0] == '\0') return;
    start_detail(message, name, 0);
}
