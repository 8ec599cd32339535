#include <cstdlib>

#include "common/workers.h"
#include "driver/driver.h"
#include "input/input.h"
#include "os/os.h"
#include "output/output.h"
#include "platform/platform.h"
#include "prep/prep.h"
#include "transform/transform.h"

namespace {

int report(const FailureMessage& message, bool dialog_mode) {
    show_message(message, dialog_mode);
    return 0;
}

}  // namespace

int run_transform() {
    // The one place the run's thread count is decided; every step below
    // takes it from here.
    const Workers workers = {worker_count(std::getenv("FFTEXT_THREADS"), processor_count()), run_parallel};

    // With fewer than two paths on the command line, both come from dialogs.
    const bool dialog_mode = argument_count() < 3;
    const PathChar* input_path = dialog_mode ? ask_input_path() : argument(1);
    if (input_path == nullptr) return 0;

    TextBuffer text;
    SampleArray samples;
    FailureMessage message = load_input_file(input_path, &text, &samples, workers);
    if (failed(message)) return report(message, dialog_mode);

    uint32_t count = 0;
    message = parse_samples(text, samples, &count, workers);
    if (failed(message)) return report(message, dialog_mode);

    StepInfo step;
    message = check_step(reinterpret_cast<const SamplePoint*>(samples.values), count, &step);
    if (failed(message)) return report(message, dialog_mode);

    const uint32_t N = pad_to_power_of_two(samples.values, count);
    real_spectrum(samples.values, N, step.x0, step.dx, workers);

    // The output is asked for only now, after everything that can go wrong with the input.
    const PathChar* output_path = dialog_mode ? ask_output_path() : argument(2);
    if (output_path == nullptr) return 0;

    message = write_spectrum(output_path, count, N, step, samples.values, workers);
    if (failed(message)) return report(message, dialog_mode);
    return 1;
}
