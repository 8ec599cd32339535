#include <emmintrin.h>

#include <cmath>
#include <cstring>

#include "input/input.h"
#include "numbers/numbers.h"

namespace {

// The first CR, LF or the terminating zero at or after `cursor`.
const char* end_of_line(const char* cursor) {
    while (*cursor != '\0' && !is_line_break(*cursor)) ++cursor;
    return cursor;
}

enum class ChunkEnd { complete, text_ended, invalid_value, invalid_format, room_full };

// A stretch of text that begins where a record may begin: at the text's start
// or just after a line break, on a byte that is no whitespace. Its records
// go to points[0 ... room - 1].
struct Chunk {
    const char* begin;
    const char* end;  // the next chunk's first byte, or the terminating zero
    SamplePoint* points;
    uint32_t room;
    uint32_t count;  // records stored
    ChunkEnd ending;
};

// Records from chunk->begin up to chunk->end or the first zero byte, one per
// non-blank line. On a failure, the failing record is chunk->count + 1.
void parse_chunk(void* context) {
    Chunk* chunk = static_cast<Chunk*>(context);
    SamplePoint* points = chunk->points;
    const char* cursor = chunk->begin;
    uint32_t n = 0;
    ChunkEnd ending = ChunkEnd::complete;
    for (;;) {
        // The byte at `end` is no whitespace, so the skip stops there at the latest.
        while (is_input_space(*cursor)) ++cursor;
        if (cursor == chunk->end) break;
        if (*cursor == '\0') {
            ending = ChunkEnd::text_ended;
            break;
        }
        if (n == chunk->room) {
            ending = ChunkEnd::room_full;
            break;
        }
        points[n].x = read_number(cursor, &cursor);
        if (!std::isfinite(points[n].x)) {
            ending = ChunkEnd::invalid_value;
            break;
        }
        bool line_ended = false;
        for (; is_input_space(*cursor); ++cursor) {
            if (is_line_break(*cursor)) {
                line_ended = true;
                break;
            }
        }
        if (line_ended) {
            ending = ChunkEnd::invalid_format;
            break;
        }
        points[n].y = read_number(cursor, &cursor);
        if (!std::isfinite(points[n].y)) {
            ending = ChunkEnd::invalid_value;
            break;
        }
        ++n;
        // Whatever follows y on its line (more columns, a comment) is ignored.
        cursor = end_of_line(cursor);
        if (*cursor == '\0') {
            if (cursor != chunk->end) ending = ChunkEnd::text_ended;
            break;
        }
    }
    chunk->count = n;
    chunk->ending = ending;
}

// Any stretch of the text, and the number of bytes CR or LF in it whose next
// byte is neither: the ends of runs of line breaks. Every record of a chunk is
// followed by a run of its own, so the count bounds the records. It adds up
// over adjacent stretches, wherever they are cut.
struct Stretch {
    const char* begin;
    const char* end;  // the byte here is read too
    uint32_t runs;
};

void count_break_runs(void* context) {
    Stretch* stretch = static_cast<Stretch*>(context);
    const char* p = stretch->begin;
    const char* const end = stretch->end;
    uint64_t runs = 0;
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    while (end - p >= 16) {
        // Byte counters, emptied before they can wrap.
        __m128i counters = _mm_setzero_si128();
        for (int round = 0; round < 255 && end - p >= 16; ++round, p += 16) {
            const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
            const __m128i here_breaks = _mm_or_si128(_mm_cmpeq_epi8(here, lf), _mm_cmpeq_epi8(here, cr));
            const __m128i next_breaks = _mm_or_si128(_mm_cmpeq_epi8(next, lf), _mm_cmpeq_epi8(next, cr));
            counters = _mm_sub_epi8(counters, _mm_andnot_si128(next_breaks, here_breaks));
        }
        const __m128i sums = _mm_sad_epu8(counters, _mm_setzero_si128());
        runs += static_cast<uint64_t>(_mm_cvtsi128_si32(sums)) +
                static_cast<uint64_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
    }
    for (; p < end; ++p) runs += is_line_break(p[0]) && !is_line_break(p[1]);
    stretch->runs = static_cast<uint32_t>(runs);
}

// Where a chunk may begin at or after `from`: past the next LF and the
// whitespace after it, or the end of the text.
const char* chunk_start(const char* from, const char* text_end) {
    const void* lf = std::memchr(from, '\n', static_cast<size_t>(text_end - from));
    if (lf == nullptr) return text_end;
    const char* cursor = static_cast<const char*>(lf);
    while (cursor < text_end && is_input_space(*cursor)) ++cursor;
    return cursor;
}

FailureMessage chunk_failure(const Chunk& chunk, uint32_t records_before) {
    // With fewer than 2^28 bytes of text record numbers cannot wrap.
    const uint32_t record_number = records_before + chunk.count + 1u;
    switch (chunk.ending) {
        case ChunkEnd::invalid_value:
            return failure_at_record("Invalid value at line %u", record_number);
        case ChunkEnd::invalid_format:
            return failure_at_record("Invalid input file format at line %u", record_number);
        case ChunkEnd::room_full: {
            FailureMessage message = failure(kCaptionError, "Out of memory (data array)");
            message.record = record_number;
            return message;
        }
        default:
            return no_failure();
    }
}

int chunks_for(uint32_t size, int workers) {
    if (size < kParseThreadBytes || workers < 2) return 1;
    const uint32_t by_size = size / kLeastParseChunkBytes;
    int chunks = workers < kMostParseThreads ? workers : kMostParseThreads;
    if (by_size < static_cast<uint32_t>(chunks)) chunks = static_cast<int>(by_size);
    return chunks;
}

}  // namespace

FailureMessage parse_samples(const TextBuffer& text, const SampleArray& samples, uint32_t* count,
                             const Workers& workers) {
    const Workers chunks = {chunks_for(text.size, workers.count), workers.run};
    return parse_samples_in_chunks(text, samples, count, chunks);
}

FailureMessage parse_samples_in_chunks(const TextBuffer& text, const SampleArray& samples, uint32_t* count,
                                       const Workers& workers) {
    int chunk_count = workers.count;
    if (chunk_count < 1) chunk_count = 1;
    if (chunk_count > kMostParseThreads) chunk_count = kMostParseThreads;
    SamplePoint* const points = reinterpret_cast<SamplePoint*>(samples.values);
    const char* const text_end = text.bytes + text.size;

    // Equal shares of the text, each moved on to where a line begins.
    Chunk chunks[kMostParseThreads];
    void* contexts[kMostParseThreads];
    const char* begin = text.bytes;
    for (int c = 0; c < chunk_count; ++c) {
        const char* end = text_end;
        if (c + 1 < chunk_count) {
            const char* share = text.bytes + static_cast<uint64_t>(text.size) * static_cast<uint32_t>(c + 1) /
                                                 static_cast<uint32_t>(chunk_count);
            end = share < begin ? begin : chunk_start(share, text_end);
        }
        chunks[c] = Chunk{begin, end, points, 0, 0, ChunkEnd::complete};
        contexts[c] = &chunks[c];
        begin = end;
    }

    // Chunk c stores its records behind room for as many records as the
    // chunks before it have line-break runs, so no two chunks overlap. Those
    // are counted in halves of chunks, so that two chunks keep two cores busy.
    Stretch halves[2 * kMostParseThreads];
    void* half_contexts[2 * kMostParseThreads];
    const int counted = 2 * (chunk_count - 1);
    for (int c = 0; c + 1 < chunk_count; ++c) {
        const char* middle = chunks[c].begin + (chunks[c].end - chunks[c].begin) / 2;
        halves[2 * c] = Stretch{chunks[c].begin, middle, 0};
        halves[2 * c + 1] = Stretch{middle, chunks[c].end, 0};
        half_contexts[2 * c] = &halves[2 * c];
        half_contexts[2 * c + 1] = &halves[2 * c + 1];
    }
    if (counted > 0) workers.run(count_break_runs, half_contexts, counted);
    uint64_t start = 0;
    for (int c = 0; c < chunk_count; ++c) {
        const uint32_t offset = start < samples.room ? static_cast<uint32_t>(start) : samples.room;
        chunks[c].points = points + offset;
        chunks[c].room = samples.room - offset;
        if (c + 1 < chunk_count) start += static_cast<uint64_t>(halves[2 * c].runs) + halves[2 * c + 1].runs;
    }
    workers.run(parse_chunk, contexts, chunk_count);

    // Joined in text order: the first failure wins, with its record number
    // counted over the chunks before it; a zero byte ends the text.
    uint32_t n = 0;
    for (int c = 0; c < chunk_count; ++c) {
        Chunk& chunk = chunks[c];
        if (chunk.ending == ChunkEnd::room_full && chunk.points != points + n) {
            // Its room ended early; from here on the records follow the
            // others directly, as one thread would have stored them.
            chunk.points = points + n;
            chunk.room = samples.room - n;
            chunk.end = text_end;
            parse_chunk(&chunk);
        }
        const FailureMessage message = chunk_failure(chunk, n);
        if (failed(message)) return message;
        if (chunk.points != points + n) {
            std::memmove(points + n, chunk.points, static_cast<size_t>(chunk.count) * sizeof(SamplePoint));
        }
        n += chunk.count;
        if (chunk.ending == ChunkEnd::text_ended || chunk.end == text_end) break;
    }
    // A single point has no step and no spectrum.
    *count = n;
    if (n < 2) return failure(kCaptionError, "Too few data");
    return no_failure();
}
