// What a conversion says: the summary line, the warnings, the fault.
#include <string>

#include "import/import.h"

namespace {

std::string number_text(double value) {
    char text[32];
    return std::string(text, shortest_text(value, text));
}

std::string delimiter_name(char delimiter) {
    switch (delimiter) {
        case ',':
            return "comma-separated";
        case ';':
            return "semicolon-separated";
        case '\t':
            return "tab-separated";
        default:
            return "blank-separated";
    }
}

// "line 12", "lines 3, 7 and 9", "lines 3, 7, 9, 10, 11 and 40 more".
std::string line_list(const LineList& list) {
    std::string text = list.count == 1 ? "line " : "lines ";
    const uint64_t named = list.count < kNamedLines ? list.count : kNamedLines;
    for (uint64_t i = 0; i < named; ++i) {
        if (i > 0) text += (i + 1 == named && list.count == named) ? " and " : ", ";
        text += list.lines[i] == 0 ? std::string("?") : std::to_string(list.lines[i]);
    }
    if (list.count > named) text += " and " + std::to_string(list.count - named) + " more";
    return text;
}

bool is_power_of_two(uint64_t n) { return n != 0 && (n & (n - 1)) == 0; }

}  // namespace

std::string summary_text(const ImportResult& result) {
    std::string text = delimiter_name(result.delimiter);
    text += result.decimal_comma ? ", decimal comma" : ", decimal point";
    text +=
        result.header_line != 0 ? ", header at line " + std::to_string(result.header_line) : ", no header";
    text += "; x ";
    text += result.x_column == 0 ? std::string("from --dt") : "column " + std::to_string(result.x_column);
    if (result.time_of_day) text += " (date-times, seconds from the first row)";
    text += ", y column " + std::to_string(result.y_column);
    text += "; " + std::to_string(result.rows) + (result.rows == 1 ? " row written" : " rows written");
    text += is_power_of_two(result.rows) ? " (a power of two)" : " (not a power of two)";
    text += ", " + std::to_string(result.lines_before) + (result.lines_before == 1 ? " line" : " lines") +
            " before the data";
    if (result.bad_rows.count > 0) {
        text += ", " + std::to_string(result.bad_rows.count) + " with a bad cell dropped (" +
                line_list(result.bad_rows) + ")";
    }
    text += "; mean step " + number_text(result.mean_step) + ", from " + number_text(result.first_x) +
            " to " + number_text(result.last_x);
    return text;
}

std::vector<std::string> warning_texts(const ImportResult& result) {
    std::vector<std::string> warnings;
    const std::string refuse = "fftext will refuse the file: ";
    if (result.rows < 2) warnings.push_back(refuse + "one row has no step");
    if (result.going_back.count > 0) {
        warnings.push_back(refuse + "the abscissa goes back or repeats at " + line_list(result.going_back));
    }
    if (result.off_step.count > 0) {
        warnings.push_back(refuse + "the step is more than 1 % from the mean at " +
                           line_list(result.off_step));
    }
    constexpr uint64_t kMostBytes = uint64_t{256} << 20;
    if (result.bytes >= kMostBytes) {
        warnings.push_back(refuse + "it has " + std::to_string(result.bytes) + " bytes, 256 MiB or more");
    }
    return warnings;
}

std::string fault_text(const ImportResult& result) {
    switch (result.fault) {
        case ImportFault::none:
            return std::string();
        case ImportFault::read_error:
            return "cannot read the file";
        case ImportFault::write_error:
            return "cannot write the data file";
        case ImportFault::bad_cell:
            return std::to_string(result.line) + ": column " + std::to_string(result.column) + ": " +
                   result.detail;
        case ImportFault::long_line:
            return std::to_string(result.line) + ": line longer than " + std::to_string(kMaxLineBytes >> 20) +
                   " MiB";
        default:
            return result.line != 0 ? std::to_string(result.line) + ": " + result.detail : result.detail;
    }
}
