// The export's text, line by line, read block by block through the source:
// a UTF-8 byte-order mark dropped, UTF-16 (with its byte-order mark) turned
// into UTF-8, CR LF, LF and CR all ending a line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "import/import.h"

// Raw bytes read at a time.
constexpr size_t kReadBytes = size_t{256} << 10;

enum class TextEncoding { unknown, utf8, utf16_little, utf16_big };

struct TextStream {
    ImportSource source;
    TextEncoding encoding;
    std::vector<char> raw;
    std::vector<char> text;  // UTF-8; the unread part is [start, end)
    size_t start;
    size_t end;
    bool at_end;        // the source has nothing more
    bool has_odd_byte;  // UTF-16: the first byte of a unit split by a block
    unsigned char odd_byte;
    uint32_t high_surrogate;  // UTF-16: waiting for its low half (0: none)
    uint64_t line;            // the number of the last line handed out
};

void start_text_stream(ImportSource source, TextStream* stream);

// Reads the next block into the text; false when the source failed.
bool read_block(TextStream* stream);

enum class LineStatus { line, end, read_error, too_long };

// The next line without its line end, valid until the next call. The last
// line of a file need not end with a line end.
LineStatus next_line(TextStream* stream, const char** line, size_t* length);

// The complete lines of the unread text, without reading (the last line
// counts as complete once the source is at its end).
struct TextLine {
    const char* text;
    size_t length;
};
std::vector<TextLine> unread_lines(const TextStream& stream, size_t most);
