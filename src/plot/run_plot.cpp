// run_plot: the command line (or the open dialog), the spectrum read block by
// block into its summary, the picture drawn and written.
#include <cstring>
#include <memory>
#include <new>

#include "plot/plot.h"
#include "plot/plot_platform.h"

namespace {

const char kUsage[] = "usage: fftext-plot [--linear] [--phase] SPECTRUM [PICTURE.svg]";

// Rows are at most 52 bytes; a block holds a few hundred thousand of them.
constexpr uint32_t kBlockBytes = 8u << 20;
// The last row is found in the last bytes of the file before the rows are read.
constexpr uint32_t kTailBytes = 4096;

bool argument_is(const PathChar* argument, const char* option) {
    for (; *option != '\0'; ++argument, ++option) {
        if (*argument != static_cast<PathChar>(*option)) return false;
    }
    return *argument == 0;
}

// SPECTRUM with its extension (if any) replaced by ".svg"; ".svg" added when
// that would name the spectrum itself.
Path picture_beside(const Path& spectrum) {
    size_t name = spectrum.size();
    while (name > 0 && !is_path_separator(spectrum[name - 1])) --name;
    const size_t dot = spectrum.rfind(static_cast<PathChar>('.'));
    const bool has_extension = dot != Path::npos && dot > name;
    Path picture = has_extension ? spectrum.substr(0, dot) : spectrum;
    for (const char* p = ".svg"; *p != '\0'; ++p) picture += static_cast<PathChar>(*p);
    if (picture == spectrum) {
        picture = spectrum;
        for (const char* p = ".svg"; *p != '\0'; ++p) picture += static_cast<PathChar>(*p);
    }
    return picture;
}

// The file's name without its folders, as valid UTF-8 without control
// characters (anything else becomes '?').
std::string title_of(const std::string& path) {
    size_t start = path.size();
    while (start > 0 && !is_path_separator(static_cast<PathChar>(path[start - 1]))) --start;
    std::string title;
    for (size_t i = start; i < path.size();) {
        const unsigned char c = static_cast<unsigned char>(path[i]);
        const size_t length = (c < 0x80) ? 1 : (c >= 0xC2 && c < 0xE0) ? 2 : (c >= 0xE0 && c < 0xF0) ? 3
                                                                     : (c >= 0xF0 && c < 0xF5) ? 4 : 0;
        bool valid = length > 0 && i + length <= path.size() && c >= 0x20 && c != 0x7F;
        for (size_t k = 1; valid && k < length; ++k) {
            valid = (static_cast<unsigned char>(path[i + k]) & 0xC0) == 0x80;
        }
        title += valid ? path.substr(i, length) : std::string("?");
        i += valid ? length : 1;
    }
    return title;
}

// The x scale comes from the last row, read before the others.
double last_frequency(FileHandle file, uint64_t size) {
    char tail[kTailBytes + 1];
    const uint64_t offset = (size > kTailBytes) ? size - kTailBytes : 0;
    size_t got = 0;
    if (!read_at(file, offset, tail, static_cast<size_t>(size - offset), &got)) return 0.0;
    tail[got] = '\0';
    double frequency = 0.0;
    find_last_frequency(tail, got, offset == 0, &frequency);
    return frequency;
}

// Reads the rows into *summary; false with the message on a failure. A line
// that a block cannot hold is no row of a spectrum.
bool read_rows(FileHandle file, const std::string& name, SpectrumSummary* summary, std::string* message) {
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kBlockBytes + 1]);
    if (!buffer) {
        *message = name + ": out of memory";
        return false;
    }
    char* const block = buffer.get();
    uint64_t offset = 0;
    uint32_t kept = 0;  // an unfinished line carried over to the block's start
    for (;;) {
        size_t got = 0;
        if (!read_at(file, offset, block + kept, kBlockBytes - kept, &got)) {
            *message = name + ": cannot read the file";
            return false;
        }
        offset += got;
        const uint32_t filled = kept + static_cast<uint32_t>(got);
        const bool at_end = got < kBlockBytes - kept;
        const char* end = block + filled;
        if (at_end) {
            block[filled] = '\0';
        } else {
            while (end > block && end[-1] != '\n') --end;
        }
        ReadResult result{RowFault::not_three_numbers, summary->lines + 1};
        if (end > block || at_end) result = add_lines(block, end, summary);
        if (result.fault != RowFault::none) {
            *message = name + ":" + std::to_string(result.line) + ": " + fault_text(result.fault);
            return false;
        }
        if (at_end) return true;
        kept = static_cast<uint32_t>((block + filled) - end);
        std::memmove(block, end, kept);
    }
}

// Writes the picture beside its destination and renames it into place; on
// a failure nothing is left behind and what was there is untouched.
bool write_picture(const PathChar* path, const std::string& bytes) {
    BesideFile beside;
    if (!create_beside(path, NewFileRights::usual, &beside)) return false;
    if (!write_all(beside.file, bytes.data(), bytes.size())) {
        abandon_beside(&beside);
        return false;
    }
    return commit_beside(&beside, true);
}

bool summarize_spectrum(const PathChar* path, SpectrumSummary* summary, std::string* message) {
    const std::string name = display_name(path);
    FileHandle file;
    if (!open_for_reading(path, &file)) {
        *message = name + ": cannot open the file";
        return false;
    }
    uint64_t size = 0;
    bool read = file_size(file, &size);
    if (!read) *message = name + ": cannot read the file";
    if (read && size == 0) {
        *message = name + ": empty file";
        read = false;
    }
    if (read) {
        start_summary(last_frequency(file, size), summary);
        read = read_rows(file, name, summary, message);
    }
    close_file(file);
    if (read && summary->rows == 0) {
        *message = name + ": no spectrum rows";
        read = false;
    }
    return read;
}

}  // namespace

int run_plot() {
    PlotOptions options{false, false};
    const PathChar* paths[2] = {nullptr, nullptr};
    int path_count = 0;
    for (int i = 1; i < argument_count(); ++i) {
        const PathChar* option = argument(i);
        if (argument_is(option, "--linear")) {
            options.linear = true;
        } else if (argument_is(option, "--phase")) {
            options.phase = true;
        } else if (option[0] == '-' && option[1] == '-') {
            show_failure("unknown option " + display_name(option) + "\n" + kUsage);
            return 2;
        } else if (path_count == 2) {
            show_failure(kUsage);
            return 2;
        } else {
            paths[path_count++] = option;
        }
    }
    Path chosen;
    if (path_count == 0) {
        if (!has_open_dialog()) {
            show_failure(kUsage);
            return 2;
        }
        if (!ask_spectrum_path(&chosen)) return 1;  // cancelled
        paths[0] = chosen.c_str();
    }

    std::unique_ptr<SpectrumSummary> summary(new (std::nothrow) SpectrumSummary);
    std::string message;
    if (!summary) {
        show_failure("out of memory");
        return 1;
    }
    if (!summarize_spectrum(paths[0], summary.get(), &message)) {
        show_failure(message);
        return 1;
    }
    const Path picture = (path_count == 2) ? Path(paths[1]) : picture_beside(paths[0]);
    const std::string svg = draw_picture(*summary, options, title_of(display_name(paths[0])));
    if (!write_picture(picture.c_str(), svg)) {
        show_failure(display_name(picture.c_str()) + ": cannot write the picture");
        return 1;
    }
    // A file dropped on the program (or chosen in the dialog): show the result.
    if (path_count < 2 && !open_picture(picture.c_str())) {
        show_failure(display_name(picture.c_str()) + ": the picture was written but could not be opened");
        return 1;
    }
    return 0;
}
