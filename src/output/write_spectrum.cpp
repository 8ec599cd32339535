#include <cmath>
#include <cstring>

#include "output/output.h"

namespace {

constexpr size_t kBufferBytes = 65536;
constexpr size_t kLongestLine = 128;  // a row takes at most 52 bytes, a warning 80

const char kPaddingWarning[] =
    "%warning There are not 2^n data in the input file --> data were padded with an average value";
const char kDeviationWarning[] = "%warning Input step not equidistant; relative deviation = ";

// Collects lines and hands them to the file in large blocks. Once a write has
// failed, nothing more is written.
struct LineWriter {
    FileHandle file;
    bool ok;
    size_t used;
    char bytes[kBufferBytes];
};

void flush(LineWriter* out) {
    if (out->ok && out->used > 0) out->ok = write_output(out->file, out->bytes, out->used);
    out->used = 0;
}

// Room for one more line of at most kLongestLine bytes.
char* line_start(LineWriter* out) {
    if (out->used > kBufferBytes - kLongestLine) flush(out);
    return out->bytes + out->used;
}

void line_end(LineWriter* out, char* end) {
    *end++ = '\r';
    *end++ = '\n';
    out->used = static_cast<size_t>(end - out->bytes);
}

char* append(char* cursor, const char* text, size_t length) {
    std::memcpy(cursor, text, length);
    return cursor + length;
}

void write_warnings(LineWriter* out, uint32_t count, const StepInfo& step) {
    if (count == 1 || (count & (count - 1u)) != 0) {
        char* cursor = line_start(out);
        line_end(out, append(cursor, kPaddingWarning, sizeof kPaddingWarning - 1));
    }
    if (step.maxdev > step.dx * 0.000001) {
        char* cursor = line_start(out);
        cursor = append(cursor, kDeviationWarning, sizeof kDeviationWarning - 1);
        cursor += format_number(step.maxdev / step.dx, 4, cursor);
        line_end(out, cursor);
    }
}

void write_rows(LineWriter* out, uint32_t N, double dx, const double* a) {
    char* cursor = line_start(out);
    *cursor++ = '0';
    *cursor++ = '\t';
    cursor += format_number(a[0], 9, cursor);
    *cursor++ = '\t';
    *cursor++ = '0';
    line_end(out, cursor);

    const double span = static_cast<double>(N) * dx;
    for (uint32_t k = 1; k < N / 2u; ++k) {
        const double re = a[2u * k];
        const double im = a[2u * k + 1u];
        cursor = line_start(out);
        cursor += format_number(static_cast<double>(k) / span, 9, cursor);
        *cursor++ = '\t';
        cursor += format_number(std::sqrt((re * re) + (im * im)), 9, cursor);
        *cursor++ = '\t';
        cursor += format_number(std::atan2(im, re), 9, cursor);
        line_end(out, cursor);
    }
}

}  // namespace

FailureMessage write_spectrum(const PathChar* path, uint32_t count, uint32_t N, const StepInfo& step,
                              const double* spectrum) {
    FileHandle file;
    if (!create_output(path, &file)) {
        return failure(kCaptionError, "CreateFile(GENERIC_WRITE, FILE_SHARE_READ) failed");
    }
    LineWriter out;
    out.file = file;
    out.ok = true;
    out.used = 0;
    write_warnings(&out, count, step);
    write_rows(&out, N, step.dx, spectrum);
    flush(&out);
    // A full disk must not pass for a complete spectrum: the close is checked
    // too, and whatever was written of the file goes.
    if (!out.ok) {
        discard_output(file, path);
        return failure(kCaptionError, "WriteFile failed");
    }
    if (!close_output(file, path)) return failure(kCaptionError, "WriteFile failed");
    return no_failure();
}
