// platform.h over memory; see memory_platform.h.
#include "memory_platform.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "checks.h"
#include "platform/platform.h"
#include "os/os.h"

namespace {

constexpr FileHandle kInputHandle = 3;
constexpr FileHandle kOutputHandle = 4;
constexpr size_t kPageBytes = 4096;

const uint8_t* input_bytes = nullptr;
size_t input_size = 0;
MemoryRun run;
// Blocks from allocate_pages: the program never releases them, the end of
// each run does.
std::vector<void*> pages;

}  // namespace

void end_memory_run() {
    for (void* block : pages) std::free(block);
    pages.clear();
}

void start_memory_run(const uint8_t* data, size_t size) {
    end_memory_run();
    input_bytes = data;
    input_size = size;
    run = MemoryRun();
    run.message.text[0] = '\0';
    run.message.caption = "";
}

const MemoryRun& memory_run() { return run; }

int argument_count() { return 3; }

const PathChar* argument(int index) {
    static const char* const kArguments[] = {"fftext", "in", "out"};
    FUZZ_CHECK(index >= 0 && index < 3);
    return kArguments[index];
}

// The paths are on the command line: a dialog is a mistake.
const PathChar* ask_input_path() {
    FUZZ_CHECK(false);
    return nullptr;
}

const PathChar* ask_output_path() {
    FUZZ_CHECK(false);
    return nullptr;
}

bool open_input(const PathChar* path, FileHandle* file) {
    FUZZ_CHECK(std::strcmp(path, "in") == 0);
    FUZZ_CHECK(run.inputs_opened == 0);
    ++run.inputs_opened;
    *file = kInputHandle;
    return true;
}

bool query_size(FileHandle file, uint64_t* size) {
    FUZZ_CHECK(file == kInputHandle && run.inputs_closed == 0);
    *size = input_size;
    return true;
}

bool read_whole(FileHandle file, void* buffer, uint32_t size, const Workers& workers) {
    FUZZ_CHECK(workers.count >= 1 && workers.count <= kMaxWorkers);
    FUZZ_CHECK(file == kInputHandle && run.inputs_closed == 0);
    FUZZ_CHECK(size == input_size);
    if (size > 0) std::memcpy(buffer, input_bytes, size);
    return true;
}

void close_input(FileHandle file) {
    FUZZ_CHECK(file == kInputHandle && run.inputs_closed == 0);
    ++run.inputs_closed;
}

// Exactly the page-rounded block, so that ASan sees any byte beyond it.
void* allocate_pages(size_t bytes) {
    if (bytes == 0) return nullptr;
    void* block = std::calloc((bytes + kPageBytes - 1) / kPageBytes, kPageBytes);
    FUZZ_CHECK(block != nullptr);
    pages.push_back(block);
    return block;
}

bool create_output(const PathChar* path, FileHandle* file) {
    FUZZ_CHECK(std::strcmp(path, "out") == 0);
    FUZZ_CHECK(run.outputs_created == 0);
    ++run.outputs_created;
    *file = kOutputHandle;
    return true;
}

bool write_output(FileHandle file, const void* bytes, size_t count) {
    FUZZ_CHECK(file == kOutputHandle && run.outputs_closed == 0 && run.outputs_discarded == 0);
    run.output.append(static_cast<const char*>(bytes), count);
    return true;
}

bool close_output(FileHandle file, const PathChar* path) {
    FUZZ_CHECK(file == kOutputHandle && std::strcmp(path, "out") == 0);
    FUZZ_CHECK(run.outputs_closed == 0 && run.outputs_discarded == 0);
    ++run.outputs_closed;
    return true;
}

void discard_output(FileHandle file, const PathChar* path) {
    FUZZ_CHECK(file == kOutputHandle && std::strcmp(path, "out") == 0);
    FUZZ_CHECK(run.outputs_closed == 0 && run.outputs_discarded == 0);
    ++run.outputs_discarded;
}

// One thread, the tasks in reverse order: any order is a legal schedule, and
// this one shows a task that depends on an earlier one having run.
void run_parallel(void (*task)(void*), void* const* contexts, int count) {
    FUZZ_CHECK(count >= 1);
    for (int i = count - 1; i >= 0; --i) task(contexts[i]);
}

// More than one, so that the writer takes its path for several blocks.
int processor_count() { return 4; }

void show_message(const FailureMessage& message, bool dialog_mode) {
    ++run.messages_shown;
    run.message = message;
    run.message_dialog_mode = dialog_mode;
}
