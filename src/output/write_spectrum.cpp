#include <cmath>
#include <cstring>

#include "common/trig.h"
#include "output/output.h"

namespace {

// Rows are formatted in blocks, several blocks at a time on the machine's
// cores, and written in order. A row takes at most 52 bytes.
constexpr uint32_t kBlockRows = 16384;
constexpr size_t kLongestRow = 64;
constexpr size_t kBlockBytes = kBlockRows * kLongestRow;
constexpr int kMostBlocks = 8;
// Without memory for the blocks, one small block on the stack does.
constexpr uint32_t kFallbackRows = 1024;
// Below this many rows a second thread costs more than it saves.
constexpr uint32_t kParallelRows = 2 * kBlockRows;

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
        cursor += format_number(std::sqrt((re * re) + (im * im)), 9, cursor);
        *cursor++ = '\t';
        cursor += format_phase(im, re, cursor);
        cursor = end_line(cursor);
    }
    block->used = static_cast<size_t>(cursor - block->bytes);
}

int block_count(uint32_t rows) {
    if (rows < kParallelRows) return 1;
    const int processors = processor_count();
    return processors < kMostBlocks ? processors : kMostBlocks;
}

// The rows 1 ... N/2 - 1, in rounds of `blocks` blocks. False when a write failed.
bool write_rows(FileHandle file, uint32_t N, double dx, const double* a, char* buffers, int blocks,
                uint32_t block_rows) {
    RowBlock block[kMostBlocks];
    void* contexts[kMostBlocks];
    const uint32_t rows_end = N / 2u;
    const double span = static_cast<double>(N) * dx;
    for (uint32_t first = 1; first < rows_end;) {
        int used = 0;
        for (; used < blocks && first < rows_end; ++used) {
            const uint32_t last = rows_end - first < block_rows ? rows_end : first + block_rows;
            block[used] = RowBlock{
                a, span, first, last, buffers + static_cast<size_t>(used) * block_rows * kLongestRow, 0};
            contexts[used] = &block[used];
            first = last;
        }
        run_parallel(format_rows, contexts, used);
        for (int i = 0; i < used; ++i) {
            if (!write_output(file, block[i].bytes, block[i].used)) return false;
        }
    }
    return true;
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
    const double fraction = t - std::floor(t);
    return std::fabs(fraction - 0.5) > 1e-3;
}

size_t format_phase(double im, double re, char* out) {
    // The library's atan2 is fast and off by a unit in the last place at
    // most, but that unit differs between libraries. Printed to nine digits
    // it shows only next to a rounding point, where the portable, correctly
    // rounded routine decides instead. Zeros go there too, for their sign.
    const double guess = std::atan2(im, re);
    return format_number(nine_digits_settled(guess) ? guess : portable_atan2(im, re), 9, out);
}

FailureMessage write_spectrum(const PathChar* path, uint32_t count, uint32_t N, const StepInfo& step,
                              const double* spectrum) {
    int blocks = block_count(N / 2u);
    uint32_t block_rows = kBlockRows;
    char* buffers = static_cast<char*>(allocate_pages(static_cast<size_t>(blocks) * kBlockBytes));
    char fallback[kFallbackRows * kLongestRow];
    if (buffers == nullptr) {
        buffers = fallback;
        blocks = 1;
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
    const bool written = write_output(file, head, static_cast<size_t>(head_end - head)) &&
                         write_rows(file, N, step.dx, spectrum, buffers, blocks, block_rows);
    if (!written) {
        discard_output(file, path);
        return failure(kCaptionError, "WriteFile failed");
    }
    if (!close_output(file, path)) return failure(kCaptionError, "WriteFile failed");
    return no_failure();
}
