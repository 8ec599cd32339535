#include "transform/transform.h"

static inline void swap_complex(double* z, uint32_t i, uint32_t j)
{
    double re = z[2 * i];
    double im = z[2 * i + 1];
    z[2 * i] = z[2 * j];
    z[2 * i + 1] = z[2 * j + 1];
    z[2 * j] = re;
    z[2 * j + 1] = im;
}

void bit_reverse(double* z, uint32_t M)
{
    if (M <= 2) {
        return;
    }
    // j runs as a counter whose carry moves from the top bit down, so it is
    // always i with its bits reversed; each pair is swapped once, when j > i.
    uint32_t j = 0;
    for (uint32_t i = 0; i + 1 < M; ++i) {
        if (j > i) {
            swap_complex(z, i, j);
        }
        uint32_t m = M / 2;
        while (m >= 1 && j >= m) {
            j -= m;
            m /= 2;
        }
        j += m;
    }
}
