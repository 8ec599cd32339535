#include <emmintrin.h>

#include <atomic>
#include <cfloat>
#include <cmath>
#include <cstring>

#include "common/trig.h"
#include "numbers/numbers.h"
#include "output/output.h"

namespace {

// Rows are formatted into blocks with room for the longest rows (a row takes
// at most 52 bytes) and written in order. On one thread a block at a time:
// format, then write. On several, in rounds of blocks: while the threads
// format round r + 1, the caller's thread first writes round r, then joins
// them. Blocks go to whichever thread is free, so the one that writes
// formats fewer; the room of two rounds is in use at a time.
constexpr size_t kLongestRow = 64;
constexpr uint32_t kSerialBlockRows = 16384;
constexpr uint32_t kBlockRows = 2048;
constexpr uint32_t kRoundBlocksPerThread = 8;
// 4 MiB of room per round, however many threads.
constexpr uint32_t kMostRoundBlocks = 32;
// Without memory for the blocks, one small block on the stack does.
constexpr uint32_t kFallbackRows = 1024;

const char kPaddingWarning[] =
    "%warning There are not 2^n data in the input file --> data were padded with an average value";
const char kDeviationWarning[] = "%warning Input step not equidistant; relative deviation = ";

struct RowBlock {
    const double* a;
    double span;     // N * dx, formed once
    uint32_t first;  // rows first ... last - 1
    uint32_t last;
    char* bytes;
    size_t used;
};

// One round of the pipeline, shared by its threads.
struct Round {
    RowBlock* blocks;  // to format
    uint32_t count;
    std::atomic<uint32_t> next;  // the first block no thread has taken yet
    const RowBlock* previous;    // the round before, formatted, to write
    uint32_t previous_count;
    FileHandle file;
    bool written;  // false once a write failed
};

// What one thread does in a round. Only the first part writes; the workers'
// run gives it to the caller's thread.
struct RoundPart {
    Round* round;
    bool writes;
};

char* append(char* cursor, const char* text, size_t length) {
    std::memcpy(cursor, text, length);
    return cursor + length;
}

char* end_line(char* cursor) {
    *cursor++ = '\r';
    *cursor++ = '\n';
    return cursor;
}

char* write_warnings(char* cursor, uint32_t count, const StepInfo& step) {
    if (count == 1 || (count & (count - 1u)) != 0) {
        cursor = end_line(append(cursor, kPaddingWarning, sizeof kPaddingWarning - 1));
    }
    if (step.maxdev > step.dx * 0.000001) {
        cursor = append(cursor, kDeviationWarning, sizeof kDeviationWarning - 1);
        cursor = end_line(cursor + format_number(step.maxdev / step.dx, 4, cursor));
    }
    return cursor;
}

// The square root by the SSE2 instruction on every build. A library call (the
// 32-bit Windows runtime's, which a cold function may get instead of the
// inline instruction) takes the x87 unit's wider root and rounds twice.
inline double sse2_sqrt(double x) { return _mm_cvtsd_f64(_mm_sqrt_sd(_mm_set_sd(x), _mm_set_sd(x))); }

// The magnitude of a bin whose sum of squares overflowed or fell below the
// smallest normal double (plain is what the plain formula gave). Both parts
// are scaled by 2^-e, e the exponent of the larger, so that its square lies in
// [1, 4): scaling by a power of two is exact, and the only part that can lose
// bits on the way is a smaller one whose square is below 2^-1022 of the
// larger's and so cannot change their rounded sum. The square root is scaled
// back by 2^e, exact unless the magnitude itself overflows or is subnormal.
// Non-finite parts and exact zeros keep the plain result.
__attribute__((cold, noinline)) double scaled_magnitude(double re, double im, double plain) {
    if (!std::isfinite(re) || !std::isfinite(im) || (re == 0.0 && im == 0.0)) return plain;
    const int e = std::ilogb(std::fmax(std::fabs(re), std::fabs(im)));
    const double re_scaled = std::ldexp(re, -e);
    const double im_scaled = std::ldexp(im, -e);
    return std::ldexp(sse2_sqrt((re_scaled * re_scaled) + (im_scaled * im_scaled)), e);
}

}  // namespace

double bin_magnitude(double re, double im) {
    const double plain = sse2_sqrt((re * re) + (im * im));
    // One unsigned comparison for 2^-511 <= plain <= DBL_MAX, that is for a
    // sum of squares that is a finite normal number; zero, NaN and infinity
    // (whatever their sign) fall outside.
    constexpr uint64_t kLowest = 0x2000000000000000u;   // 2^-511
    constexpr uint64_t kHighest = 0x7fefffffffffffffu;  // DBL_MAX
    uint64_t bits;
    std::memcpy(&bits, &plain, sizeof bits);
    if (bits - kLowest <= kHighest - kLowest) return plain;
    return scaled_magnitude(re, im, plain);
}

namespace {

char* write_zero_row(char* cursor, double a0) {
    *cursor++ = '0';
    *cursor++ = '\t';
    cursor += format_number(a0, 9, cursor);
    *cursor++ = '\t';
    *cursor++ = '0';
    return end_line(cursor);
}

// Frequency k / (N dx), magnitude and phase of bin k, for each row of the block.
void format_rows(void* context) {
    RowBlock* block = static_cast<RowBlock*>(context);
    char* cursor = block->bytes;
    for (uint32_t k = block->first; k < block->last; ++k) {
        const double re = block->a[2u * k];
        const double im = block->a[2u * k + 1u];
        cursor += format_number(static_cast<double>(k) / block->span, 9, cursor);
        *cursor++ = '\t';
        cursor += format_number(bin_magnitude(re, im), 9, cursor);
        *cursor++ = '\t';
        cursor += format_phase(im, re, cursor);
        cursor = end_line(cursor);
    }
    block->used = static_cast<size_t>(cursor - block->bytes);
}

// Up to `most_blocks` blocks of `block_rows` rows (the last may be shorter)
// from row *first on, at most to rows.last, each with its room from
// rows.bytes on; moves *first past them and returns the number of blocks.
uint32_t split_rows(const RowBlock& rows, uint32_t* first, uint32_t block_rows, uint32_t most_blocks,
                    RowBlock* blocks) {
    uint32_t count = 0;
    for (; count < most_blocks && *first < rows.last; ++count) {
        const uint32_t last = rows.last - *first < block_rows ? rows.last : *first + block_rows;
        blocks[count] = RowBlock{rows.a,
                                 rows.span,
                                 *first,
                                 last,
                                 rows.bytes + static_cast<size_t>(count) * block_rows * kLongestRow,
                                 0};
        *first = last;
    }
    return count;
}

bool write_blocks(FileHandle file, const RowBlock* blocks, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        if (!write_output(file, blocks[i].bytes, blocks[i].used)) return false;
    }
    return true;
}

void run_round_part(void* context) {
    const RoundPart* part = static_cast<const RoundPart*>(context);
    Round* round = part->round;
    if (part->writes) {
        round->written = write_blocks(round->file, round->previous, round->previous_count);
        if (!round->written) return;
    }
    for (;;) {
        const uint32_t i = round->next.fetch_add(1, std::memory_order_relaxed);
        if (i >= round->count) return;
        format_rows(&round->blocks[i]);
    }
}

int thread_count(uint32_t rows, const Workers& workers) {
    if (rows < kWriteThreadRows || workers.count < 2) return 1;
    return workers.count < kMostWriteThreads ? workers.count : kMostWriteThreads;
}

uint32_t round_blocks(int threads) {
    const uint32_t blocks = static_cast<uint32_t>(threads) * kRoundBlocksPerThread;
    return blocks < kMostRoundBlocks ? blocks : kMostRoundBlocks;
}

uint32_t round_rows(int threads) {
    return threads == 1 ? kSerialBlockRows : round_blocks(threads) * kBlockRows;
}

// `rows` in blocks of `block_rows`, one at a time on the caller's thread.
bool write_rows_serially(FileHandle file, RowBlock rows, uint32_t block_rows) {
    RowBlock block;
    for (uint32_t first = rows.first; first < rows.last;) {
        split_rows(rows, &first, block_rows, 1, &block);
        format_rows(&block);
        if (!write_output(file, block.bytes, block.used)) return false;
    }
    return true;
}

// `rows` in rounds on `threads` threads; rows.bytes holds the room of two
// rounds, which take turns.
bool write_rows_in_rounds(FileHandle file, RowBlock rows, int threads, ParallelRun run) {
    RowBlock blocks[2][kMostRoundBlocks];
    const uint32_t most_blocks = round_blocks(threads);
    const size_t round_bytes = static_cast<size_t>(most_blocks) * kBlockRows * kLongestRow;
    Round round;
    round.file = file;
    round.previous = nullptr;
    round.previous_count = 0;
    RoundPart writer{&round, true};
    RoundPart formatter{&round, false};
    void* contexts[kMostWriteThreads] = {&writer};
    for (int i = 1; i < threads; ++i) contexts[i] = &formatter;
    int turn = 0;
    for (uint32_t first = rows.first; first < rows.last; turn ^= 1) {
        RowBlock room = rows;
        room.bytes += static_cast<size_t>(turn) * round_bytes;
        round.blocks = blocks[turn];
        round.count = split_rows(room, &first, kBlockRows, most_blocks, blocks[turn]);
        round.next.store(0, std::memory_order_relaxed);
        round.written = true;
        run(run_round_part, contexts, threads);
        if (!round.written) return false;
        round.previous = blocks[turn];
        round.previous_count = round.count;
    }
    return write_blocks(file, round.previous, round.previous_count);
}

// `rows`, with their room at rows.bytes: on one thread in blocks of
// `block_rows`, on several in rounds. False when a write failed.
bool write_rows(FileHandle file, const RowBlock& rows, int threads, ParallelRun run, uint32_t block_rows) {
    if (threads == 1) return write_rows_serially(file, rows, block_rows);
    return write_rows_in_rounds(file, rows, threads, run);
}

}  // namespace

bool nine_digits_settled(double value) {
    const double magnitude = std::fabs(value);
    if (!(magnitude >= 1e-300 && magnitude <= 4.0)) return false;
    // Scaled into [1e8, 1e9) the nine digits are the integer part, and they
    // change at the halves. Each step is off by at most half an ulp: even
    // after 300 of them t is within 4e-5 of its exact value.
    double t = magnitude * 1e8;
    while (t < 1e8) t = t * 10.0;
    // 1e8 <= t < 1e9 < 2^31: the truncation to a 32-bit integer is its
    // floor, without a library call on 32-bit x86.
    const double fraction = t - static_cast<double>(static_cast<int32_t>(t));
    return std::fabs(fraction - 0.5) > 1e-3;
}

size_t format_phase(double im, double re, char* out) {
    // quick_atan2 is fast and within 2e-15 of the exact angle, but not
    // correctly rounded. Printed to nine digits that shows only next to a
    // rounding point, where the portable, correctly rounded routine decides
    // instead. Zeros go there too, for their sign.
    const double guess = quick_atan2(im, re);
    return format_number(nine_digits_settled(guess) ? guess : portable_atan2(im, re), 9, out);
}

uint32_t rows_per_round(uint32_t N, const Workers& workers) {
    return round_rows(thread_count(N / 2u, workers));
}

FailureMessage write_spectrum(const PathChar* path, uint32_t count, uint32_t N, const StepInfo& step,
                              const double* spectrum, const Workers& workers) {
    int threads = thread_count(N / 2u, workers);
    uint32_t block_rows = kSerialBlockRows;
    // One block for one thread; the room of two rounds for several.
    const size_t rounds = threads == 1 ? 1 : 2;
    char* buffers = static_cast<char*>(allocate_pages(rounds * round_rows(threads) * kLongestRow));
    char fallback[kFallbackRows * kLongestRow];
    if (buffers == nullptr) {
        buffers = fallback;
        threads = 1;
        block_rows = kFallbackRows;
    }
    FileHandle file;
    if (!create_output(path, &file)) {
        return failure(kCaptionError, "CreateFile(GENERIC_WRITE, FILE_SHARE_READ) failed");
    }
    char head[512];
    const char* head_end = write_zero_row(write_warnings(head, count, step), spectrum[0]);
    // A full disk must not pass for a complete spectrum: every write and the
    // close are checked, and whatever was written of the file goes.
    const RowBlock rows{spectrum, static_cast<double>(N) * step.dx, 1, N / 2u, buffers, 0};
    const bool written = write_output(file, head, static_cast<size_t>(head_end - head)) &&
                         write_rows(file, rows, threads, workers.run, block_rows);
    if (!written) {
        discard_output(file, path);
        return failure(kCaptionError, "WriteFile failed");
    }
    if (!close_output(file, path)) return failure(kCaptionError, "WriteFile failed");
    return no_failure();
}
