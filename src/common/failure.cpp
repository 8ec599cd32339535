#include "common/failure.h"

#include <cstdio>
#include <cstring>

const char kCaptionError[] = "Error";
const char kCaptionWarning[] = "Warning";

FailureMessage no_failure() {
    FailureMessage message;
    message.text[0] = '\0';
    message.caption = kCaptionError;
    message.record = 0;
    message.detail[0] = '\0';
    return message;
}

FailureMessage failure(const char* caption, const char* text) {
    FailureMessage message = no_failure();
    std::snprintf(message.text, sizeof message.text, "%s", text);
    message.caption = caption;
    return message;
}

FailureMessage failure_at_record(const char* format, uint32_t record_number) {
    // %u of an unsigned is the same in every locale.
    FailureMessage message = no_failure();
    std::snprintf(message.text, sizeof message.text, format, static_cast<unsigned>(record_number));
    message.record = record_number;
    return message;
}

FailureMessage system_failure(const char* text, const char* reason) {
    FailureMessage message = failure(kCaptionError, text);
    append_shown(&message, reason, std::strlen(reason), 120);
    return message;
}

namespace {

// Appends `length` bytes if all of them fit; false (and nothing) otherwise.
bool append_bytes(FailureMessage* message, const char* bytes, size_t length) {
    const size_t used = std::strlen(message->detail);
    if (used + length >= sizeof message->detail) return false;
    std::memcpy(message->detail + used, bytes, length);
    message->detail[used + length] = '\0';
    return true;
}

// The length of the UTF-8 sequence at bytes[0 ... left - 1] that encodes a
// printable character beyond ASCII, or 0: overlong forms, surrogates, values
// beyond U+10FFFF and the C1 controls U+0080 ... U+009F are not shown as they are.
size_t printable_sequence(const unsigned char* bytes, size_t left) {
    const unsigned char lead = bytes[0];
    size_t length;
    uint32_t code;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
        code = lead & 0x1fu;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        code = lead & 0x0fu;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        code = lead & 0x07u;
    } else {
        return 0;
    }
    if (length > left) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((bytes[i] & 0xc0u) != 0x80u) return 0;
        code = (code << 6) | (bytes[i] & 0x3fu);
    }
    const uint32_t least[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[length] || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) return 0;
    if (code <= 0x9f) return 0;
    return length;
}

}  // namespace

void append_detail(FailureMessage* message, const char* text) {
    const size_t used = std::strlen(message->detail);
    std::snprintf(message->detail + used, sizeof message->detail - used, "%s", text);
}

void append_shown(FailureMessage* message, const char* bytes, size_t length, size_t most) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes);
    size_t i = 0;
    while (i < length) {
        if (i >= most) {
            append_bytes(message, "...", 3);
            return;
        }
        const unsigned char c = p[i];
        char escaped[5];
        size_t step = 1;
        bool fits;
        if (c == '\t' || c == '\r' || c == '\n' || c == '\\') {
            const char letter = c == '\t' ? 't' : c == '\r' ? 'r' : c == '\n' ? 'n' : '\\';
            const char pair[2] = {'\\', letter};
            fits = append_bytes(message, pair, 2);
        } else if (c >= 0x20 && c < 0x7f) {
            fits = append_bytes(message, bytes + i, 1);
        } else if ((step = c >= 0x80 ? printable_sequence(p + i, length - i) : 0) > 0) {
            fits = append_bytes(message, bytes + i, step);
        } else {
            step = 1;
            std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned>(c));
            fits = append_bytes(message, escaped, 4);
        }
        if (!fits) return;
        i += step;
    }
}

void append_count(FailureMessage* message, uint64_t value) {
    char digits[24];
    std::snprintf(digits, sizeof digits, "%llu", static_cast<unsigned long long>(value));
    append_detail(message, digits);
}
