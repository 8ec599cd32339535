#include "import/text_stream.h"

#include <cstring>

namespace {

// Appends code point `c` as UTF-8.
char* put_utf8(uint32_t c, char* out) {
    if (c < 0x80) {
        *out++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *out++ = static_cast<char>(0xC0 | (c >> 6));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (c >> 12));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (c >> 18));
        *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

constexpr uint32_t kReplacement = 0xFFFD;

// One UTF-16 unit; an unpaired surrogate becomes U+FFFD.
char* put_unit(TextStream* stream, uint32_t unit, char* out) {
    if (stream->high_surrogate != 0) {
        const uint32_t high = stream->high_surrogate;
        stream->high_surrogate = 0;
        if (unit >= 0xDC00 && unit < 0xE000) {
            return put_utf8(0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00), out);
        }
        out = put_utf8(kReplacement, out);
    }
    if (unit >= 0xD800 && unit < 0xDC00) {
        stream->high_surrogate = unit;
        return out;
    }
    return put_utf8((unit >= 0xDC00 && unit < 0xE000) ? kReplacement : unit, out);
}

char* decode_utf16(TextStream* stream, const unsigned char* bytes, size_t count, char* out) {
    const bool little = stream->encoding == TextEncoding::utf16_little;
    size_t at = 0;
    if (stream->has_odd_byte && count > 0) {
        const uint32_t first = stream->odd_byte, second = bytes[0];
        out = put_unit(stream, little ? (first | (second << 8)) : ((first << 8) | second), out);
        stream->has_odd_byte = false;
        at = 1;
    }
    for (; at + 1 < count; at += 2) {
        const uint32_t first = bytes[at], second = bytes[at + 1];
        out = put_unit(stream, little ? (first | (second << 8)) : ((first << 8) | second), out);
    }
    if (at < count) {
        stream->has_odd_byte = true;
        stream->odd_byte = bytes[at];
    }
    return out;
}

}  // namespace

void start_text_stream(ImportSource source, TextStream* stream) {
    stream->source = source;
    stream->encoding = TextEncoding::unknown;
    stream->raw.assign(kReadBytes, '\0');
    stream->text.clear();
    stream->start = 0;
    stream->end = 0;
    stream->at_end = false;
    stream->has_odd_byte = false;
    stream->odd_byte = 0;
    stream->high_surrogate = 0;
    stream->line = 0;
}

bool read_block(TextStream* stream) {
    if (stream->at_end) return true;
    if (stream->start > 0) {
        std::memmove(stream->text.data(), stream->text.data() + stream->start, stream->end - stream->start);
        stream->end -= stream->start;
        stream->start = 0;
    }
    size_t got = 0;
    if (!stream->source.read(stream->source.context, stream->raw.data(), kReadBytes, &got)) return false;
    stream->at_end = got < kReadBytes;
    // UTF-16 takes at most 3 bytes of UTF-8 for 2 bytes read, plus a pending half.
    const size_t room = stream->end + got + got / 2 + 8;
    if (stream->text.size() < room) stream->text.resize(room);
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(stream->raw.data());
    if (stream->encoding == TextEncoding::unknown) {
        stream->encoding = TextEncoding::utf8;
        if (got >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
            bytes += 3;
            got -= 3;
        } else if (got >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
            stream->encoding = TextEncoding::utf16_little;
            bytes += 2;
            got -= 2;
        } else if (got >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) {
            stream->encoding = TextEncoding::utf16_big;
            bytes += 2;
            got -= 2;
        }
    }
    char* out = stream->text.data() + stream->end;
    if (stream->encoding == TextEncoding::utf8) {
        std::memcpy(out, bytes, got);
        out += got;
    } else {
        out = decode_utf16(stream, bytes, got, out);
        if (stream->at_end && (stream->has_odd_byte || stream->high_surrogate != 0)) {
            out = put_utf8(kReplacement, out);
            stream->has_odd_byte = false;
            stream->high_surrogate = 0;
        }
    }
    stream->end = static_cast<size_t>(out - stream->text.data());
    return true;
}

LineStatus next_line(TextStream* stream, const char** line, size_t* length) {
    for (;;) {
        const char* begin = stream->text.data() + stream->start;
        const char* stop = stream->text.data() + stream->end;
        const char* p = begin;
        while (p < stop && *p != '\n' && *p != '\r') ++p;
        // A CR that ends the text may be the first half of a CR LF.
        if (p < stop && !(*p == '\r' && p + 1 == stop && !stream->at_end)) {
            *line = begin;
            *length = static_cast<size_t>(p - begin);
            const size_t ending = (*p == '\r' && p + 1 < stop && p[1] == '\n') ? 2 : 1;
            stream->start += *length + ending;
            ++stream->line;
            return LineStatus::line;
        }
        if (stream->at_end) {
            if (begin == stop) return LineStatus::end;
            *line = begin;
            *length = static_cast<size_t>(stop - begin);
            stream->start = stream->end;
            ++stream->line;
            return LineStatus::line;
        }
        if (static_cast<size_t>(stop - begin) > kMaxLineBytes) {
            stream->line += 1;
            return LineStatus::too_long;
        }
        if (!read_block(stream)) return LineStatus::read_error;
    }
}

std::vector<TextLine> unread_lines(const TextStream& stream, size_t most) {
    std::vector<TextLine> lines;
    const char* p = stream.text.data() + stream.start;
    const char* stop = stream.text.data() + stream.end;
    while (p < stop && lines.size() < most) {
        const char* begin = p;
        while (p < stop && *p != '\n' && *p != '\r') ++p;
        if (p == stop && !stream.at_end) break;
        if (p + 1 == stop && *p == '\r' && !stream.at_end) break;
        lines.push_back(TextLine{begin, static_cast<size_t>(p - begin)});
        if (p < stop) p += (*p == '\r' && p + 1 < stop && p[1] == '\n') ? 2 : 1;
    }
    return lines;
}
