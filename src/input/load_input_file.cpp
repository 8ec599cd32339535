#include "input/input.h"

namespace {

constexpr uint32_t kPageBytes = 4096;

FailureMessage give_up(FileHandle file, const char* caption, const char* text) {
    close_input(file);
    return failure(caption, text);
}

// A failed call on the open file: the system's reason is taken before the close.
FailureMessage give_up_on_call(FileHandle file, const char* text) {
    const FailureMessage message = system_failure(text, system_reason().c_str());
    close_input(file);
    return message;
}

}  // namespace

FailureMessage load_input_file(const PathChar* path, TextBuffer* text, SampleArray* samples,
                               const Workers& workers) {
    FileHandle file;
    if (!open_input(path, &file)) {
        return system_failure("CreateFile(GENERIC_READ, FILE_SHARE_READ) failed", system_reason().c_str());
    }
    uint64_t size = 0;
    if (!query_size(file, &size)) return give_up_on_call(file, "GetFileSizeEx failed");
    // The checks run in this order: an empty file is reported only after it was
    // opened and measured, a huge one before any allocation.
    if (size >= kMaxInputBytes) {
        FailureMessage message = give_up(file, kCaptionError, "File too large");
        append_count(&message, size);
        append_detail(&message, " bytes, more than the 268435455 allowed");
        return message;
    }
    if (size == 0) return give_up(file, kCaptionWarning, "Empty file");

    const uint32_t length = static_cast<uint32_t>(size);
    char* bytes = static_cast<char*>(allocate_pages(length + 1u));
    if (bytes == nullptr) return give_up(file, kCaptionError, "Out of memory (input data)");
    bytes[length] = '\0';
    // A short read leaves zeros behind the bytes delivered: a shorter file.
    if (!read_whole(file, bytes, length, workers)) return give_up_on_call(file, "ReadFile failed");
    close_input(file);

    // Half a double per byte of text; a 1-byte file asks for nothing and is refused.
    // Below 2^28 bytes none of these sizes overflows 32 bits.
    const uint32_t request = 8u * (length / 2u);
    void* block = allocate_pages(request);
    if (block == nullptr) return failure(kCaptionError, "Out of memory (data array)");

    const uint32_t rounded = (request + kPageBytes - 1u) / kPageBytes * kPageBytes;
    text->bytes = bytes;
    text->size = length;
    samples->values = static_cast<double*>(block);
    samples->room = rounded / static_cast<uint32_t>(sizeof(SamplePoint));
    return no_failure();
}
