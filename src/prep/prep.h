// Preparation: the step check and the padding to a power of two.
#pragma once

#include <cstdint>

#include "common/failure.h"
#include "common/records.h"

// Derives x0 and the mean step dx = (x[n-1] - x0) / (n - 1) and compares every
// interval with dx. Fails with "Input data are not sorted or not equidistant"
// when an interval strays by more than 1 % (or dx is not finite), and
// "Zero step in input data is invalid" when dx is 0. Needs count >= 2.
// *step holds x0 and dx on a failure too. Where an interval fails, the
// message's record is its later sample (1-based: the interval from record
// `record - 1` to `record`); where none does, it is 0.
FailureMessage check_step(const SamplePoint* points, uint32_t count, StepInfo* step);

// Moves the ordinates to the front of the array and pads them with their mean
// up to the smallest power of two N >= count; returns N. The array must hold
// `count` SamplePoint records, i.e. 2 * count doubles, and N < 2 * count.
uint32_t pad_to_power_of_two(double* values, uint32_t count);
