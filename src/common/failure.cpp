#include "common/failure.h"

#include <cstdio>

const char kCaptionError[] = "Error";
const char kCaptionWarning[] = "Warning";

FailureMessage no_failure() {
    FailureMessage message;
    message.text[0] = '\0';
    message.caption = kCaptionError;
    return message;
}

FailureMessage failure(const char* caption, const char* text) {
    FailureMessage message;
    std::snprintf(message.text, sizeof message.text, "%s", text);
    message.caption = caption;
    return message;
}

FailureMessage failure_at_record(const char* format, uint32_t record_number) {
    // %u of an unsigned is the same in every locale.
    FailureMessage message;
    std::snprintf(message.text, sizeof message.text, format, static_cast<unsigned>(record_number));
    message.caption = kCaptionError;
    return message;
}
