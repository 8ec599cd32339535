// read_number on arbitrary bytes: it must stop inside the text, at the end of
// the longest prefix in the number syntax, with the value the C library's
// strtod gives for that prefix (d and D read as e), except that a non-zero
// number that underflows to zero is +0.0.
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>

#include "checks.h"
#include "numbers/numbers.h"

namespace {

// Length of the longest prefix of
//   [+-] (digits [. digits*] | . digits) [(e|E|d|D) [+-] digits]
// or 0 when no number starts at `text`.
size_t number_prefix(const char* text) {
    size_t i = 0;
    if (text[i] == '+' || text[i] == '-') ++i;
    size_t integer_digits = 0;
    while (is_ascii_digit(text[i + integer_digits])) ++integer_digits;
    i += integer_digits;
    if (text[i] == '.') {
        size_t fraction_digits = 0;
        while (is_ascii_digit(text[i + 1 + fraction_digits])) ++fraction_digits;
        if (integer_digits == 0 && fraction_digits == 0) return 0;
        i += 1 + fraction_digits;
    } else if (integer_digits == 0) {
        return 0;
    }
    const char letter = text[i];
    if (letter == 'e' || letter == 'E' || letter == 'd' || letter == 'D') {
        size_t j = i + 1;
        if (text[j] == '+' || text[j] == '-') ++j;
        if (is_ascii_digit(text[j])) {
            while (is_ascii_digit(text[j])) ++j;
            i = j;
        }
    }
    return i;
}

void report(const char* text, size_t consumed, double got, double want) {
    std::fprintf(stderr, "read_number(\"%.200s\"): consumed %zu, got %a (0x%016llx), want %a (0x%016llx)\n",
                 text, consumed, got, static_cast<unsigned long long>(bits_of(got)), want,
                 static_cast<unsigned long long>(bits_of(want)));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::setlocale(LC_ALL, "C");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy, so that reading past the zero is an ASan error.
    char* text = static_cast<char*>(std::malloc(size + 1));
    std::memcpy(text, data, size);
    text[size] = '\0';

    const char* end = nullptr;
    const double value = read_number(text, &end);
    FUZZ_CHECK(end != nullptr && end >= text && end <= text + std::strlen(text));
    const size_t consumed = static_cast<size_t>(end - text);
    const size_t expected_length = number_prefix(text);
    if (consumed != expected_length) report(text, consumed, value, 0.0);
    FUZZ_CHECK(consumed == expected_length);

    double want = 0.0;
    if (consumed > 0) {
        std::string prefix(text, consumed);
        bool nonzero_digit = false;
        for (char& c : prefix) {
            if (c == 'd' || c == 'D' || c == 'E') c = 'e';
            if (c == 'e') break;
            if (c >= '1' && c <= '9') nonzero_digit = true;
        }
        char* library_end = nullptr;
        want = std::strtod(prefix.c_str(), &library_end);
        FUZZ_CHECK(library_end == prefix.c_str() + consumed);
        if (want == 0.0 && nonzero_digit) want = 0.0;  // strtod keeps the sign: -1e-400 is -0.0
    }
    if (bits_of(value) != bits_of(want)) report(text, consumed, value, want);
    FUZZ_CHECK(bits_of(value) == bits_of(want));
    std::free(text);
    return 0;
}
