#include "prep/prep.h"

uint32_t pad_to_power_of_two(double* values, uint32_t count) {
    // Going upwards in place is safe: double i comes from double 2i + 1,
    // which has not been overwritten yet.
    double sum = 0.0;
    for (uint32_t i = 0; i < count; ++i) {
        const double y = values[2u * i + 1u];
        values[i] = y;
        sum = sum + y;
    }
    const double mean = sum / static_cast<double>(count);
    uint32_t N = 1;
    while (N < count) N = 2u * N;
    for (uint32_t i = count; i < N; ++i) values[i] = mean;
    return N;
}
