// run_import: the command line, the export and the data file named, refused
// or derived, the conversion written beside its destination and renamed in.
#include <cstring>
#include <memory>
#include <string>

#include "import/import.h"
#include "import/import_program.h"
#include "numbers/numbers.h"

namespace {

const char kUsage[] = "usage: fftext-import [OPTIONS] EXPORT [DATA]";

const char kHelp[] =
    "usage: fftext-import [OPTIONS] EXPORT [DATA]\n"
    "Converts a delimited text export (comma, semicolon, tab or blank separated)\n"
    "into fftext's input: two tab-separated numbers a line. Without DATA the file\n"
    "goes beside EXPORT with the extension .txt.\n"
    "\n"
    "  -x COL             abscissa column: a number from 1 or a header name (default 1)\n"
    "  -y COL             ordinate column (default 2)\n"
    "  --dt STEP          abscissae T0 + i*STEP instead of a column\n"
    "  --t0 T0            first abscissa with --dt (default 0)\n"
    "  --delimiter C      , ; tab or space (default: detected)\n"
    "  --decimal-comma    cells hold decimal commas (default: detected)\n"
    "  --skip N           the data begin at line N + 1\n"
    "  --skip-bad         drop rows with an empty, NaN or text cell instead of failing\n"
    "  --force            replace an existing DATA\n"
    "  --help, --version\n";

bool column_argument(const std::string& text, ColumnChoice* column) {
    if (text.empty()) return false;
    uint64_t number = 0;
    for (char c : text) {
        if (c < '0' || c > '9' || number > 100000000u) {
            column->name = text;
            column->number = 0;
            return true;
        }
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    if (number == 0) return false;
    column->number = static_cast<uint32_t>(number);
    return true;
}

struct CommandLine {
    ImportOptions options;
    bool force;
    const PathChar* paths[2];
    int path_count;
};

// Reads the options; returns -1 to go on, or the exit code (help, version,
// a command line that cannot be used).
int read_command_line(CommandLine* line) {
    ImportOptions& options = line->options;
    bool has_t0 = false;
    for (int i = 1; i < argument_count(); ++i) {
        const PathChar* argument = ::argument(i);
        const bool takes_value = argument_is(argument, "-x") || argument_is(argument, "-y") ||
                                 argument_is(argument, "--dt") || argument_is(argument, "--t0") ||
                                 argument_is(argument, "--delimiter") || argument_is(argument, "--skip");
        if (takes_value && i + 1 == argument_count()) {
            show_failure(display_name(argument) + " needs a value\n" + kUsage);
            return 2;
        }
        const std::string value = takes_value ? display_name(::argument(i + 1)) : std::string();
        bool usable = true;
        if (argument_is(argument, "--help")) {
            show_help(kHelp);
            return 0;
        } else if (argument_is(argument, "--version")) {
            show_help("fftext-import " FFTEXT_VERSION "\n");
            return 0;
        } else if (argument_is(argument, "-x")) {
            usable = column_argument(value, &options.x);
        } else if (argument_is(argument, "-y")) {
            usable = column_argument(value, &options.y);
        } else if (argument_is(argument, "--dt")) {
            options.has_step = true;
            usable = read_whole_number(value.c_str(), &options.dt) && options.dt > 0.0;
        } else if (argument_is(argument, "--t0")) {
            has_t0 = true;
            usable = read_whole_number(value.c_str(), &options.t0);
        } else if (argument_is(argument, "--delimiter")) {
            options.delimiter = value == "tab" || value == "\t"        ? '\t'
                                : value == "space" || value == " "     ? ' '
                                : value == "," || value == "comma"     ? ','
                                : value == ";" || value == "semicolon" ? ';'
                                                                       : '\0';
            usable = options.delimiter != '\0';
        } else if (argument_is(argument, "--skip")) {
            double skip = 0.0;
            usable = value.find_first_not_of("0123456789") == std::string::npos &&
                     read_whole_number(value.c_str(), &skip) && skip < 4e9;
            options.has_skip = true;
            options.skip = static_cast<uint32_t>(skip);
        } else if (argument_is(argument, "--decimal-comma")) {
            options.decimal_comma = true;
        } else if (argument_is(argument, "--skip-bad")) {
            options.skip_bad = true;
        } else if (argument_is(argument, "--force")) {
            line->force = true;
        } else if (argument[0] == '-' && argument[1] != 0) {
            show_failure("unknown option " + display_name(argument) + "\n" + kUsage);
            return 2;
        } else if (line->path_count == 2) {
            show_failure(std::string("more than two files named\n") + kUsage);
            return 2;
        } else {
            line->paths[line->path_count++] = argument;
        }
        if (!usable) {
            show_failure("unusable value for " + display_name(argument) + ": " + value + "\n" + kUsage);
            return 2;
        }
        if (takes_value) ++i;
    }
    if (options.has_step && (options.x.number != 0 || !options.x.name.empty())) {
        show_failure(std::string("-x and --dt both give the abscissa\n") + kUsage);
        return 2;
    }
    if (has_t0 && !options.has_step) {
        show_failure(std::string("--t0 goes with --dt\n") + kUsage);
        return 2;
    }
    return -1;
}

// EXPORT with its extension replaced by ".txt"; ".data.txt" where that would
// name the export itself (in any case of the letters).
Path data_beside(const Path& source) {
    const size_t dot = extension_start(source);
    const bool is_txt = dot < source.size() && ends_with_any_case(source, ".txt");
    return source.substr(0, dot) + path_of(is_txt ? ".data.txt" : ".txt");
}

struct ReadState {
    FileHandle file;
    uint64_t offset;
};

bool read_export(void* context, char* buffer, size_t count, size_t* got) {
    ReadState* state = static_cast<ReadState*>(context);
    if (!read_at(state->file, state->offset, buffer, count, got)) return false;
    state->offset += *got;
    return true;
}

bool write_data(void* context, const char* bytes, size_t count) {
    return write_all(*static_cast<FileHandle*>(context), bytes, count);
}

}  // namespace

int run_import() {
    CommandLine line{};
    const int code = read_command_line(&line);
    if (code >= 0) return code;
    Path chosen;
    const bool dropped = line.path_count < 2;
    if (line.path_count == 0) {
        if (!has_open_dialog()) {
            show_failure(kUsage);
            return 2;
        }
        if (!ask_export_path(&chosen)) return 1;  // cancelled
        line.paths[line.path_count++] = chosen.c_str();
    }
    const PathChar* source = line.paths[0];
    const std::string source_name = display_name(source);
    const Path data = line.path_count == 2 ? Path(line.paths[1]) : data_beside(source);
    const std::string data_name = display_name(data.c_str());

    ReadState state{0, 0};
    FileIdentity source_identity{}, data_identity{};
    if (!open_for_reading(source, &state.file)) {
        show_failure(source_name + ": cannot open the file: " + system_reason());
        return 1;
    }
    const bool identified = identity_of(state.file, &source_identity);
    if (identified && identity_of_path(data.c_str(), &data_identity)) {
        if (same_file(source_identity, data_identity)) {
            close_file(state.file);
            show_failure(data_name + ": this is the export itself, which is never replaced");
            return 2;
        }
        if (!line.force && !(dropped && ask_to_replace(data_name + " exists. Replace it?"))) {
            close_file(state.file);
            if (!dropped || !has_open_dialog())
                show_failure(data_name + ": the file exists (--force replaces it)");
            return 1;
        }
        line.force = true;
    }
    BesideFile beside;
    if (!identified || !create_beside(data.c_str(), NewFileRights::usual, &beside)) {
        const std::string reason = system_reason();
        close_file(state.file);
        show_failure(identified ? data_name + ": cannot create the file: " + reason
                                : source_name + ": cannot read the file: " + reason);
        return 1;
    }
    const ImportResult result = convert_export(line.options, ImportSource{read_export, &state},
                                               ImportSink{write_data, &beside.file}, run_parallel);
    const std::string reason = system_reason();
    close_file(state.file);
    if (result.fault != ImportFault::none) {
        abandon_beside(&beside);
        if (result.fault == ImportFault::write_error) {
            show_failure(data_name + ": cannot write the file: " + reason);
        } else if (result.fault == ImportFault::read_error) {
            show_failure(source_name + ": cannot read the file: " + reason);
        } else {
            const std::string text = fault_text(result);
            show_failure(source_name + (text[0] >= '0' && text[0] <= '9' ? ":" : ": ") + text);
        }
        return 1;
    }
    if (!commit_beside(&beside, line.force)) {
        const std::string why = system_reason();
        if (identity_of_path(data.c_str(), &data_identity)) {
            show_failure(data_name + ": the file exists (--force replaces it)");
        } else {
            show_failure(data_name + ": cannot write the file: " + why);
        }
        return 1;
    }
    std::string summary = source_name + " -> " + data_name + ": " + summary_text(result);
    for (const std::string& warning : warning_texts(result)) summary += "\nwarning: " + warning;
    show_summary(summary, dropped);
    return 0;
}
