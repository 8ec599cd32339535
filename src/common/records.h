// Records shared by every stage of the run.
#pragma once

#include <cstddef>
#include <cstdint>

// One input record: abscissa, then ordinate. The sample array is reused in
// place as doubles later on, so the layout must be exactly two doubles.
struct SamplePoint {
    double x;
    double y;
};
static_assert(sizeof(SamplePoint) == 16, "SamplePoint must be two packed doubles");

// The whole input file followed by one zero byte; read-only after loading.
struct TextBuffer {
    const char* bytes;  // bytes[size] == '\0'
    uint32_t size;
};

// The single working block. It starts as `room` SamplePoint records, then its
// first N doubles hold the padded ordinates, and finally the SpectrumArray:
//   a[0]          zero-frequency value (real)
//   a[1]          Nyquist value (real, never written out)
//   a[2k], a[2k+1] real and imaginary part of bin k, k = 1 ... N/2 - 1
struct SampleArray {
    double* values;
    uint32_t room;  // capacity in SamplePoint records (twice that in doubles)
};

// What the step check hands on to the transform and the writer.
struct StepInfo {
    double x0;      // first abscissa: the time origin of the spectrum
    double dx;      // mean step
    double maxdev;  // largest |interval - dx| among the compared intervals
};
