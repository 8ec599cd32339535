#include <cmath>

#include "prep/prep.h"

namespace {

// The step as derived, for the detail of a failure; `record` as in prep.h.
__attribute__((cold, noinline)) FailureMessage step_failure(const char* text, uint32_t record, double x0,
                                                            double dx, StepInfo* step) {
    step->x0 = x0;
    step->dx = dx;
    step->maxdev = 0.0;
    FailureMessage message = failure(kCaptionError, text);
    message.record = record;
    return message;
}

const char kNotEquidistant[] = "Input data are not sorted or not equidistant";

}  // namespace

FailureMessage check_step(const SamplePoint* points, uint32_t count, StepInfo* step) {
    const double x0 = points[0].x;
    const double dx = (points[count - 1].x - x0) / static_cast<double>(count - 1u);
    const double tolerance = 0.01 * dx;
    double maxdev = 0.0;
    // Every interval is compared, the last one too, so a decreasing pair and a
    // stray last interval are rejected. With decreasing abscissae the tolerance
    // is negative and the first interval already fails. A NaN deviation
    // neither fails nor counts.
    // (The pointer alone runs through the loop; the failing record is
    // worked out from it on the failure path.)
    const SamplePoint* const end = points + count;
    for (const SamplePoint* p = points + 1; p < end; ++p) {
        const double d = std::fabs((p[0].x - p[-1].x) - dx);
        if (d > tolerance)
            return step_failure(kNotEquidistant, static_cast<uint32_t>(p - points) + 1u, x0, dx, step);
        if (d > maxdev) maxdev = d;
    }
    // A span beyond the range of a double gives an infinite step, which no
    // interval can be compared with. A decreasing step so tiny that its
    // tolerance underflows to -0 lets exactly equal intervals through the
    // loop; decreasing data are rejected all the same.
    if (!std::isfinite(dx) || dx < 0.0) return step_failure(kNotEquidistant, 0, x0, dx, step);
    if (dx == 0.0) return step_failure("Zero step in input data is invalid", 0, x0, dx, step);
    step->x0 = x0;
    step->dx = dx;
    step->maxdev = maxdev;
    return no_failure();
}
