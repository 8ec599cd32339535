#include <cmath>

#include "prep/prep.h"

FailureMessage check_step(const SamplePoint* points, uint32_t count, StepInfo* step) {
    const double x0 = points[0].x;
    const double dx = (points[count - 1].x - x0) / static_cast<double>(count - 1u);
    step->x0 = x0;
    step->dx = dx;
    step->maxdev = 0.0;
    const double tolerance = 0.01 * dx;
    double maxdev = 0.0;
    // Every interval is compared, the last one too, so a decreasing pair and a
    // stray last interval are rejected. With decreasing abscissae the tolerance
    // is negative and the first interval already fails. A NaN deviation
    // neither fails nor counts.
    for (uint32_t i = 1; i < count; ++i) {
        const double d = std::fabs((points[i].x - points[i - 1].x) - dx);
        if (d > tolerance) {
            FailureMessage message = failure(kCaptionError, "Input data are not sorted or not equidistant");
            message.record = i + 1u;
            return message;
        }
        if (d > maxdev) maxdev = d;
    }
    // A span beyond the range of a double gives an infinite step, which no
    // interval can be compared with. A decreasing step so tiny that its
    // tolerance underflows to -0 lets exactly equal intervals through the
    // loop; decreasing data are rejected all the same.
    if (!std::isfinite(dx) || dx < 0.0) {
        return failure(kCaptionError, "Input data are not sorted or not equidistant");
    }
    if (dx == 0.0) return failure(kCaptionError, "Zero step in input data is invalid");
    step->maxdev = maxdev;
    return no_failure();
}
