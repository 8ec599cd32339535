// One AVX instruction, or more: exits with 0 where the processor has AVX and
// is stopped by SIGILL where it has not. qemu_without_avx.sh runs it to
// show that the emulated processor really lacks AVX.
#include <immintrin.h>

int main(int argc, char**) {
    __m256d v = _mm256_set1_pd(static_cast<double>(argc));
    v = _mm256_add_pd(v, v);
    return _mm256_cvtsd_f64(v) == 2.0 * argc ? 0 : 1;
}
