// The cells of a line and what each holds: a number in fftext's syntax (with
// a decimal comma where the export uses one) or an ISO 8601 date-time.
#include <charconv>
#include <cstring>
#include <string>

#include "import/import.h"
#include "numbers/numbers.h"

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Reads exactly `count` digits at text[*at]; false where one is not a digit.
bool read_digits(const char* text, size_t length, size_t* at, int count, unsigned* value) {
    *value = 0;
    for (int i = 0; i < count; ++i, ++*at) {
        if (*at >= length || !is_digit(text[*at])) return false;
        *value = *value * 10u + static_cast<unsigned>(text[*at] - '0');
    }
    return true;
}

bool leap_year(unsigned year) { return (year % 4u == 0 && year % 100u != 0) || year % 400u == 0; }

unsigned days_in_month(unsigned year, unsigned month) {
    static const unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return (month == 2 && leap_year(year)) ? 29u : kDays[month - 1];
}

// YYYY-MM-DD(T| )HH:MM[:SS[(.|,)fraction]][Z|(+|-)HH[[:]MM]]: the whole cell.
bool read_date_time(const char* text, size_t length, CellValue* value) {
    size_t at = 0;
    unsigned year, month, day, hour, minute, second = 0;
    if (!read_digits(text, length, &at, 4, &year) || at >= length || text[at++] != '-') return false;
    if (!read_digits(text, length, &at, 2, &month) || at >= length || text[at++] != '-') return false;
    if (!read_digits(text, length, &at, 2, &day) || at >= length) return false;
    if (text[at] != 'T' && text[at] != ' ') return false;
    ++at;
    if (!read_digits(text, length, &at, 2, &hour) || at >= length || text[at++] != ':') return false;
    if (!read_digits(text, length, &at, 2, &minute)) return false;
    uint32_t nanoseconds = 0;
    if (at < length && text[at] == ':') {
        ++at;
        if (!read_digits(text, length, &at, 2, &second)) return false;
        if (at < length && (text[at] == '.' || text[at] == ',')) {
            ++at;
            // Nine digits hold a nanosecond; more are taken only as zeros, so
            // that no digit of the export is dropped.
            uint32_t scale = 100000000u;
            const size_t first = at;
            for (; at < length && is_digit(text[at]); ++at) {
                const uint32_t digit = static_cast<uint32_t>(text[at] - '0');
                if (scale == 0 && digit != 0) return false;
                nanoseconds += digit * scale;
                scale /= 10u;
            }
            if (at == first) return false;
        }
    }
    int64_t offset = 0;
    if (at < length && text[at] == 'Z') {
        ++at;
    } else if (at < length && (text[at] == '+' || text[at] == '-')) {
        const int64_t sign = (text[at++] == '-') ? -1 : 1;
        unsigned offset_hours, offset_minutes = 0;
        if (!read_digits(text, length, &at, 2, &offset_hours)) return false;
        if (at < length && text[at] == ':') ++at;
        if (at < length && !read_digits(text, length, &at, 2, &offset_minutes)) return false;
        if (offset_hours > 23 || offset_minutes > 59) return false;
        offset = sign * (offset_hours * 3600 + offset_minutes * 60);
    }
    if (at != length || month < 1 || month > 12 || day < 1 || day > days_in_month(year, month)) return false;
    if (hour > 23 || minute > 59 || second > 59) return false;
    value->kind = CellKind::date_time;
    value->seconds = days_from_civil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second - offset;
    value->nanoseconds = nanoseconds;
    return true;
}

// Digits with signs, marks and exponent letters only: with both a '.' and a
// decimal comma about, no reading of it is safe.
bool looks_numeric(const char* text, size_t length) {
    bool digit = false;
    for (size_t i = 0; i < length; ++i) {
        const char c = text[i];
        digit = digit || is_digit(c);
        if (!is_digit(c) && (c == '\0' || std::strchr("+-.,eEdD", c) == nullptr)) return false;
    }
    return digit;
}

}  // namespace

int64_t days_from_civil(int64_t year, unsigned month, unsigned day) {
    // The year taken from March, so that the leap day ends it; eras of 400
    // years of 146097 days.
    year -= (month <= 2) ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t year_of_era = year - era * 400;
    const int64_t day_of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + day_of_era - 719468;
}

size_t split_cells(const char* line, size_t length, char delimiter, CellSpan* cells, size_t most) {
    size_t count = 0;
    size_t at = 0;
    if (delimiter == ' ') {
        while (at < length && is_blank(line[at])) ++at;
        if (at == length) return 0;
    }
    for (;;) {
        while (at < length && is_blank(line[at]) && line[at] != delimiter) ++at;
        const char* start = line + at;
        const size_t open = at;
        while (at < length && line[at] != delimiter && !(delimiter == ' ' && is_blank(line[at]))) ++at;
        size_t end = at;
        if (open < length && line[open] == '"') {
            // A quoted cell runs to its closing quote ("" inside is a quote)
            // and may hold the delimiter; with anything but blanks after the
            // closing quote, the cell is the raw text and reads as text.
            size_t close = open + 1;
            while (close < length &&
                   !(line[close] == '"' && (close + 1 >= length || line[close + 1] != '"'))) {
                close += (line[close] == '"') ? 2 : 1;
            }
            size_t after = (close < length) ? close + 1 : close;
            while (after < length && is_blank(line[after]) && line[after] != delimiter) ++after;
            if (close < length && (after == length || line[after] == delimiter || delimiter == ' ')) {
                start = line + open + 1;
                end = close;
                at = after;
            } else {
                at = (close > at) ? close : at;
                while (at < length && line[at] != delimiter && !(delimiter == ' ' && is_blank(line[at])))
                    ++at;
                end = at;
            }
        }
        size_t cell_end = end;
        while (line + cell_end > start && is_blank(line[cell_end - 1])) --cell_end;
        if (count < most) cells[count] = CellSpan{start, static_cast<size_t>(line + cell_end - start)};
        ++count;
        if (delimiter == ' ') {
            while (at < length && is_blank(line[at])) ++at;
            if (at == length) return count;
        } else {
            if (at >= length) return count;
            ++at;  // past the delimiter
        }
    }
}

CellValue read_cell(const char* text, size_t length, bool decimal_comma) {
    CellValue value{CellKind::empty, 0.0, 0, 0};
    if (length == 0) return value;
    if (length >= 16 && is_digit(text[0]) && text[4] == '-' && read_date_time(text, length, &value))
        return value;
    // read_number needs a terminator outside its syntax: the cell is copied.
    char small[128];
    std::string large;
    char* copy = small;
    if (length >= sizeof small) {
        large.assign(length + 1, '\0');
        copy = &large[0];
    }
    for (size_t i = 0; i < length; ++i) {
        char c = text[i];
        if (decimal_comma) {
            if (c == '.') {
                value.kind = looks_numeric(text, length) ? CellKind::ambiguous : CellKind::not_number;
                return value;
            }
            if (c == ',') c = '.';
        }
        copy[i] = c;
    }
    copy[length] = '\0';
    const char* end = copy;
    const double number = read_number(copy, &end);
    if (end != copy + length) {
        value.kind = CellKind::not_number;
        return value;
    }
    if (number - number != 0.0) {
        value.kind = CellKind::out_of_range;
        return value;
    }
    value.kind = CellKind::number;
    value.number = number;
    return value;
}

size_t shortest_text(double value, char* out) {
    const std::to_chars_result result = std::to_chars(out, out + 32, value);
    return static_cast<size_t>(result.ptr - out);
}
