// fftext-import's reader on arbitrary exports. The first byte chooses the
// options (delimiter, decimal comma, --skip-bad, --dt, columns); the rest is
// the export. A conversion must either fail with a message or write rows of
// two tab-separated numbers that read back as finite doubles, and converting
// what it wrote once more must give the same bytes.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "checks.h"
#include "import/import.h"
#include "numbers/numbers.h"

namespace {

struct Memory {
    const char* bytes;
    size_t size;
    size_t offset;
};

bool read_memory(void* context, char* buffer, size_t count, size_t* got) {
    Memory* memory = static_cast<Memory*>(context);
    *got = std::min(count, memory->size - memory->offset);
    std::memcpy(buffer, memory->bytes + memory->offset, *got);
    memory->offset += *got;
    return true;
}

bool append(void* context, const char* bytes, size_t count) {
    static_cast<std::string*>(context)->append(bytes, count);
    return true;
}

ImportResult convert(const char* bytes, size_t size, const ImportOptions& options, std::string* out) {
    Memory memory{bytes, size, 0};
    return convert_export(options, ImportSource{read_memory, &memory}, ImportSink{append, out}, run_in_turn);
}

// Every line: a number, a tab, a number, LF; both finite. Returns the rows.
uint64_t check_rows(const std::string& text) {
    uint64_t rows = 0;
    const char* p = text.c_str();
    const char* const end = p + text.size();
    while (p < end) {
        for (int cell = 0; cell < 2; ++cell) {
            const char* after = p;
            const double value = read_number(p, &after);
            FUZZ_CHECK(after != p && value - value == 0.0);
            FUZZ_CHECK(*after == (cell == 0 ? '\t' : '\n'));
            p = after + 1;
        }
        ++rows;
    }
    return rows;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t choice = data[0];
    ImportOptions options{};
    const char delimiters[4] = {0, ',', ';', '\t'};
    options.delimiter = delimiters[choice & 3];
    options.decimal_comma = (choice & 4) != 0;
    options.skip_bad = (choice & 8) != 0;
    options.has_step = (choice & 16) != 0;
    options.dt = 0.5;
    options.y.number = (choice & 32) ? 3 : 0;
    if (choice & 64) options.y.name = "v";
    const char* export_bytes = reinterpret_cast<const char*>(data + 1);
    std::string out;
    const ImportResult result = convert(export_bytes, size - 1, options, &out);
    if (result.fault != ImportFault::none) {
        FUZZ_CHECK(!fault_text(result).empty());
        if (result.fault == ImportFault::bad_cell) FUZZ_CHECK(result.line >= 1 && result.column >= 1);
        return 0;
    }
    FUZZ_CHECK(result.rows >= 1 && result.bytes == out.size());
    FUZZ_CHECK(check_rows(out) == result.rows);
    FUZZ_CHECK(!summary_text(result).empty());
    // The written file is an export of its own: read again, the same bytes.
    std::string again;
    const ImportResult second = convert(out.data(), out.size(), ImportOptions{}, &again);
    FUZZ_CHECK(second.fault == ImportFault::none && second.delimiter == '\t' && again == out);
    return 0;
}
