// The step check and the padding: which abscissae pass, what the array holds after.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "prep/prep.h"

namespace {

std::string check(const std::vector<double>& xs, StepInfo* step) {
    std::vector<SamplePoint> points;
    for (double x : xs) points.push_back({x, 1.0});
    FailureMessage message = check_step(points.data(), static_cast<uint32_t>(points.size()), step);
    return failed(message) ? message.text : "";
}

struct StepCase {
    const char* why;
    std::vector<double> xs;
    const char* message;
    double dx;
    double maxdev;
};

TEST(CheckStep, AcceptsAndRejects) {
    const char* unsorted = "Input data are not sorted or not equidistant";
    const char* zero = "Zero step in input data is invalid";
    const StepCase cases[] = {
        {"exact step", {0, 1, 2, 3}, "", 1.0, 0.0},
        {"two points give their difference", {0.25, 0.5}, "", 0.25, 0.0},
        {"half a percent is accepted", {0, 1.005, 2}, "", 1.0, 0.004999999999999893},
        {"two percent is not", {0, 1.02, 2}, unsorted, 0, 0},
        {"decreasing", {3, 2, 1}, unsorted, 0, 0},
        {"a decreasing pair: the last interval is compared", {1, 0}, unsorted, 0, 0},
        {"only the last interval strays", {0, 1.0099, 2.0198, 3.0297, 4}, unsorted, 0, 0},
        {"all equal", {5, 5, 5}, zero, 0, 0},
        {"the interval test comes before the zero test", {0, 1, 0}, unsorted, 0, 0},
        {"a span beyond the doubles", {-1e308, 1e308}, unsorted, 0, 0},
        {"a span beyond the doubles, more points", {-1e308, 0, 1e308}, unsorted, 0, 0},
        {"decreasing subnormal steps: the tolerance underflows", {1.5e-323, 1e-323, 5e-324, 0}, unsorted, 0, 0},
        {"increasing subnormal steps are steps", {0, 5e-324, 1e-323, 1.5e-323}, "", 5e-324, 0.0},
    };
    for (const StepCase& c : cases) {
        StepInfo step{};
        ASSERT_EQ(check(c.xs, &step), c.message) << c.why;
        if (*c.message != '\0') continue;
        EXPECT_EQ(step.x0, c.xs[0]) << c.why;
        EXPECT_EQ(step.dx, c.dx) << c.why;
        EXPECT_EQ(step.maxdev, c.maxdev) << c.why;
    }
}

TEST(CheckStep, StepIsTheSpanDividedByTheCount) {
    // The difference is formed first, then divided: (0.3 - 0.1) / 2, not 0.3/2 - 0.1/2.
    StepInfo step{};
    ASSERT_EQ(check({0.1, 0.2, 0.3}, &step), "");
    EXPECT_EQ(step.dx, (0.3 - 0.1) / 2.0);
    EXPECT_EQ(step.maxdev, std::fabs((0.2 - 0.1) - step.dx));
}

TEST(PadToPowerOfTwo, MovesOrdinatesAndPadsWithTheMean) {
    struct Case {
        std::vector<double> ys;
        uint32_t N;
        std::vector<double> want;
    };
    const Case cases[] = {
        {{1, 2, 3, 4, 5}, 8, {1, 2, 3, 4, 5, 3, 3, 3}},
        {{4, 5, 6, 7}, 4, {4, 5, 6, 7}},
        {{1, 3}, 2, {1, 3}},
        {{0.1, 0.2, 0.4}, 4, {0.1, 0.2, 0.4, ((0.1 + 0.2) + 0.4) / 3.0}},
        {{-3, 0, 2, 4, 6, 4}, 8, {-3, 0, 2, 4, 6, 4, 13.0 / 6.0, 13.0 / 6.0}},
    };
    for (const Case& c : cases) {
        std::vector<double> values;
        for (size_t i = 0; i < c.ys.size(); ++i) {
            values.push_back(static_cast<double>(i) * 7.0);
            values.push_back(c.ys[i]);
        }
        const uint32_t count = static_cast<uint32_t>(c.ys.size());
        ASSERT_EQ(pad_to_power_of_two(values.data(), count), c.N);
        for (uint32_t i = 0; i < c.N; ++i) EXPECT_EQ(values[i], c.want[i]) << "index " << i;
    }
}

TEST(PadToPowerOfTwo, LargestCountStaysInsideTheArray) {
    // 2^k + 1 points need the most padding: N = 2^(k+1) - 2 < 2n doubles.
    const uint32_t count = 4097;
    std::vector<double> values(2u * count, 2.0);
    EXPECT_EQ(pad_to_power_of_two(values.data(), count), 8192u);
    EXPECT_EQ(values[8191], 2.0);
}

}  // namespace
