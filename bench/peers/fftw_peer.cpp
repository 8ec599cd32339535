// A fast general-purpose peer: fast_float parsing, FFTW r2c (ESTIMATE),
// std::to_chars formatting, one large fwrite. Same job as fftext (two
// columns in; mean padding to 2^m; frequency, magnitude, phase rows out),
// without the exact rules: it shows what the fastest common tools give.
//   fftw_peer INPUT OUTPUT
#include <fftw3.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fast_float/fast_float.h"

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    FILE* in = std::fopen(argv[1], "rb");
    if (!in) return 2;
    std::fseek(in, 0, SEEK_END);
    long size = std::ftell(in);
    std::fseek(in, 0, SEEK_SET);
    std::vector<char> text(static_cast<size_t>(size) + 1);
    if (std::fread(text.data(), 1, static_cast<size_t>(size), in) != static_cast<size_t>(size)) return 2;
    std::fclose(in);

    std::vector<double> xs, ys;
    const char* p = text.data();
    const char* end = p + size;
    while (p < end) {
        while (p < end && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')) ++p;
        if (p >= end) break;
        double x = 0, y = 0;
        auto r = fast_float::from_chars(p, end, x);
        p = r.ptr;
        while (p < end && (*p == ' ' || *p == '\t')) ++p;
        r = fast_float::from_chars(p, end, y);
        p = r.ptr;
        while (p < end && *p != '\n') ++p;
        xs.push_back(x);
        ys.push_back(y);
    }
    size_t n = ys.size();
    if (n < 2) return 2;
    double dx = (xs[n - 1] - xs[0]) / static_cast<double>(n - 1);
    size_t N = 1;
    while (N < n) N *= 2;
    double sum = 0;
    for (double y : ys) sum += y;
    double* data = fftw_alloc_real(N);
    fftw_complex* bins = fftw_alloc_complex(N / 2 + 1);
    fftw_plan plan = fftw_plan_dft_r2c_1d(static_cast<int>(N), data, bins, FFTW_ESTIMATE);
    for (size_t i = 0; i < n; ++i) data[i] = ys[i];
    for (size_t i = n; i < N; ++i) data[i] = sum / static_cast<double>(n);
    fftw_execute(plan);

    std::vector<char> out(N / 2 * 56 + 64);
    char* o = out.data();
    const double span = static_cast<double>(N) * dx;
    // Refer the phases to the true abscissae: bin k turns by k * phi.
    const double phi = 2 * M_PI * xs[0] / span;
    const double cphi = std::cos(phi), sphi = std::sin(phi);
    double cr = dx, ci = 0;
    for (size_t k = 0; k < N / 2; ++k) {
        double re0 = bins[k][0], im0 = -bins[k][1];
        double re = re0 * cr - im0 * ci, im = im0 * cr + re0 * ci;
        double next = cr * cphi - ci * sphi;
        ci = ci * cphi + cr * sphi;
        cr = next;
        o = std::to_chars(o, o + 24, static_cast<double>(k) / span, std::chars_format::general, 9).ptr;
        *o++ = '\t';
        o = std::to_chars(o, o + 24, std::sqrt(re * re + im * im), std::chars_format::general, 9).ptr;
        *o++ = '\t';
        o = std::to_chars(o, o + 24, std::atan2(im, re), std::chars_format::general, 9).ptr;
        *o++ = '\r';
        *o++ = '\n';
    }
    FILE* f = std::fopen(argv[2], "wb");
    if (!f) return 2;
    std::fwrite(out.data(), 1, static_cast<size_t>(o - out.data()), f);
    return std::fclose(f) == 0 ? 1 : 2;
}
