// run_plot: the command line (or the open dialog), the spectrum read block by
// block into its summary, the picture drawn and written.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "numbers/numbers.h"
#include "plot/plot.h"
#include "plot/plot_platform.h"

namespace {

const char kUsage[] =
    "usage: fftext-plot [--linear] [--phase] [--log-frequency] [--from F] [--to F] [--peaks N] [--] SPECTRUM "
    "[PICTURE.svg]";

const char kHelp[] =
    "Draws a spectrum file written by fftext as an SVG picture: magnitude against\n"
    "frequency, the strongest peaks marked. Without PICTURE the picture goes beside\n"
    "the spectrum with the extension replaced by .svg.\n"
    "\n"
    "  --linear          linear magnitude axis from 0 (default: decades)\n"
    "  --phase           a phase panel under the magnitude\n"
    "  --from F, --to F  draw only the rows with frequencies from F to F\n"
    "  --log-frequency   logarithmic frequency axis, from the first frequency above 0\n"
    "                    (or --from)\n"
    "  --peaks N         mark the N strongest peaks (default 3, 0 for none, at most 100)\n"
    "                    and print them, strongest first: frequency TAB magnitude\n"
    "  --help, --version this text, the version\n"
    "  --                the next arguments are files\n"
    "\n"
    "Exit code 0 when the picture is written, 1 on a failure, 2 for an unusable\n"
    "command line.\n";

// The command line, read.
struct CommandLine {
    PlotOptions options;
    bool has_from;
    bool has_to;
    double from;
    double to;
    bool print_peaks;
    const PathChar* paths[2];
    int path_count;
};

// Rows are at most 52 bytes; a block holds a few hundred thousand of them.
constexpr uint32_t kBlockBytes = 8u << 20;
// The last row is found in the last bytes of the file before the rows are read.
constexpr uint32_t kTailBytes = 4096;

// Standard output: the peaks, --help and --version. On Windows a GUI
// program's output is seen only where it is redirected.
void print(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

Path with_svg(const Path& path) { return path + path_of(".svg"); }

// SPECTRUM with its extension (if any) replaced by ".svg".
Path picture_beside(const Path& spectrum) { return with_svg(spectrum.substr(0, extension_start(spectrum))); }

// `path` reaches the spectrum, whatever its spelling (case, "..", links).
bool is_the_spectrum(const PathChar* path, const FileIdentity& spectrum) {
    FileIdentity identity;
    return identity_of_path(path, &identity) && same_file(identity, spectrum);
}

// 0 ... kMaxPeaks in decimal digits.
bool read_count(const PathChar* argument, int* count) {
    *count = 0;
    int digits = 0;
    for (; *argument != 0; ++argument, ++digits) {
        if (*argument < '0' || *argument > '9' || digits == 3) return false;
        *count = (*count * 10) + static_cast<int>(*argument - '0');
    }
    return digits > 0 && *count <= kMaxPeaks;
}

// What read_command_line returns when the run goes on.
constexpr int kGoOn = -1;

// Reads the arguments into *line; kGoOn, or the exit code once the message,
// the help or the version is given.
int read_command_line(CommandLine* line) {
    *line = CommandLine{PlotOptions{false, false, false, 3}, false, false, 0.0, 0.0, false, {nullptr, nullptr}, 0};
    bool options_end = false;
    const int count = argument_count();
    for (int i = 1; i < count; ++i) {
        const PathChar* word = argument(i);
        const bool has_value = i + 1 < count;
        const bool option = !options_end && word[0] == '-' && word[1] == '-';
        if (!option) {
            if (line->path_count == 2) {
                show_failure(kUsage);
                return 2;
            }
            line->paths[line->path_count++] = word;
        } else if (argument_is(word, "--")) {
            options_end = true;
        } else if (argument_is(word, "--help")) {
            print(std::string(kUsage) + "\n\n" + kHelp);
            return 0;
        } else if (argument_is(word, "--version")) {
            print("fftext-plot " FFTEXT_VERSION "\n");
            return 0;
        } else if (argument_is(word, "--linear")) {
            line->options.linear = true;
        } else if (argument_is(word, "--phase")) {
            line->options.phase = true;
        } else if (argument_is(word, "--log-frequency")) {
            line->options.log_frequency = true;
        } else if (argument_is(word, "--from") || argument_is(word, "--to")) {
            const bool from = argument_is(word, "--from");
            double* value = from ? &line->from : &line->to;
            if (!has_value || !read_whole_number(display_name(argument(++i)).c_str(), value)) {
                show_failure(display_name(word) + " needs a finite number\n" + kUsage);
                return 2;
            }
            (from ? line->has_from : line->has_to) = true;
        } else if (argument_is(word, "--peaks")) {
            if (!has_value || !read_count(argument(++i), &line->options.peaks)) {
                show_failure(std::string("--peaks needs a whole number from 0 to 100\n") + kUsage);
                return 2;
            }
            line->print_peaks = true;
        } else {
            show_failure("unknown option " + display_name(word) + "\n" + kUsage);
            return 2;
        }
    }
    if (line->path_count == 2 && !ends_with_any_case(line->paths[1], ".svg")) {
        show_failure(display_name(line->paths[1]) + ": the picture's name must end in .svg\n" + kUsage);
        return 2;
    }
    if (line->has_from && line->has_to && !(line->from < line->to)) {
        show_failure(std::string("--from must be below --to\n") + kUsage);
        return 2;
    }
    if (line->options.log_frequency && line->has_from && !(line->from > 0.0)) {
        show_failure(std::string("--log-frequency needs --from above 0\n") + kUsage);
        return 2;
    }
    return kGoOn;
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

// A log axis without --from starts at the first frequency above 0, read from
// the start of the file; 0 when none is there.
double first_positive_frequency(FileHandle file, uint64_t size) {
    char head[kTailBytes + 1];
    const uint32_t wanted = (size > kTailBytes) ? kTailBytes : static_cast<uint32_t>(size);
    size_t got = 0;
    if (!read_at(file, 0, head, wanted, &got)) return 0.0;
    head[got] = '\0';
    double frequency = 0.0;
    find_first_positive_frequency(head, got, &frequency);
    return frequency;
}

// The drawn range: --from (or 0, or on a log axis the first frequency above
// 0) to --to (or the last row's frequency), never beyond the last row.
FrequencyRange range_of(const CommandLine& line, FileHandle file, uint64_t size) {
    const double last = last_frequency(file, size);
    FrequencyRange range{0.0, last, line.options.log_frequency};
    if (line.has_from) {
        range.low = line.from;
    } else if (range.log) {
        range.low = first_positive_frequency(file, size);
    }
    if (line.has_to && line.to < last) range.high = line.to;
    return range;
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

// "from 0 to 500" with the numbers as the spectrum writes them.
std::string from_to(double low, double high) {
    char text[32];
    std::string range = "from " + std::string(text, format_number(low, 9, text));
    return range + " to " + std::string(text, format_number(high, 9, text));
}

bool summarize_spectrum(const PathChar* path, const CommandLine& line, SpectrumSummary* summary,
                        FileIdentity* identity, std::string* message) {
    const std::string name = display_name(path);
    FileHandle file;
    if (!open_for_reading(path, &file)) {
        *message = name + ": cannot open the file";
        return false;
    }
    uint64_t size = 0;
    bool read = file_size(file, &size) && identity_of(file, identity);
    if (!read) *message = name + ": cannot read the file";
    if (read && size == 0) {
        *message = name + ": empty file";
        read = false;
    }
    if (read) {
        start_summary(range_of(line, file, size), summary);
        read = read_rows(file, name, summary, message);
    }
    close_file(file);
    if (read && summary->rows == 0) {
        *message = name + ": no spectrum rows";
        read = false;
    }
    if (read && summary->in_range == 0 && (line.has_from || line.has_to || line.options.log_frequency)) {
        const FrequencyRange& range = summary->range;
        *message = name + ": no rows " + from_to(range.low, (line.has_to ? line.to : range.high));
        if (summary->any_frequency) {
            *message += " (the spectrum's rows go " + from_to(summary->first_frequency, summary->previous_frequency) + ")";
        }
        read = false;
    }
    return read;
}

// The peaks, strongest first: frequency and magnitude as in the file.
void print_peaks(const SpectrumSummary& summary, int wanted) {
    Peak peaks[kMaxPeaks];
    const int count = find_peaks(summary, wanted, peaks);
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += std::string(peaks[i].frequency_text) + "\t" + peaks[i].magnitude_text + "\n";
    }
    print(text);
}

}  // namespace

int run_plot() {
    CommandLine line;
    const int code = read_command_line(&line);
    if (code != kGoOn) return code;
    const PathChar** paths = line.paths;
    Path chosen;
    if (line.path_count == 0) {
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
    FileIdentity spectrum;
    if (!summarize_spectrum(paths[0], line, summary.get(), &spectrum, &message)) {
        show_failure(message);
        return 1;
    }
    // The picture never replaces the spectrum: a derived name that reaches it
    // becomes the spectrum's whole name with ".svg" added; a PICTURE that
    // reaches it is refused.
    Path picture = (line.path_count == 2) ? Path(paths[1]) : picture_beside(paths[0]);
    if (line.path_count < 2 && is_the_spectrum(picture.c_str(), spectrum)) picture = with_svg(paths[0]);
    if (is_the_spectrum(picture.c_str(), spectrum)) {
        show_failure(display_name(picture.c_str()) + " is the spectrum " + display_name(paths[0]) +
                     " under another name: the picture would replace it");
        return 2;
    }
    const std::string svg = draw_picture(*summary, line.options, title_of(display_name(paths[0])));
    if (!write_picture(picture.c_str(), svg)) {
        show_failure(display_name(picture.c_str()) + ": cannot write the picture");
        return 1;
    }
    if (line.print_peaks) print_peaks(*summary, line.options.peaks);
    // A file dropped on the program (or chosen in the dialog): show the result.
    // The picture is written whether or not a viewer shows it.
    if (line.path_count < 2 && !open_picture(picture.c_str())) {
        show_failure("The picture was written to " + display_name(picture.c_str()) + " but no program could open it.");
    }
    return 0;
}
