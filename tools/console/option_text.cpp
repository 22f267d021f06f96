#include "tools/console/option_text.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

// Base 16 after "0x", else base 10: a leading zero does not make a number octal.
int BaseOf(const char* digits) {
    return digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X') ? 16 : 10;
}

}  // namespace

bool ParseUnsigned(const char* text, std::uint32_t& value) {
    if (*text == '-' || *text == '\0') return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long long parsed = std::strtoull(text, &end, BaseOf(text));
    if (errno != 0 || *end != '\0' || parsed > UINT32_MAX) return false;
    value = static_cast<std::uint32_t>(parsed);
    return true;
}

bool ParseSigned(const char* text, std::int32_t& value) {
    if (*text == '\0') return false;
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(text, &end, BaseOf(*text == '-' ? text + 1 : text));
    if (errno != 0 || *end != '\0' || parsed < INT32_MIN || parsed > INT32_MAX) return false;
    value = static_cast<std::int32_t>(parsed);
    return true;
}

bool ParseReal(const char* text, double& value) {
    if (*text == '\0') return false;
    char* end = nullptr;
    value = std::strtod(text, &end);
    return *end == '\0';
}

bool IsOption(const char* argument, const char* name) {
    return std::strcmp(argument, name) == 0;
}

bool TakeText(int argc, char** argv, int& i, const char*& value) {
    if (i + 1 >= argc) return false;
    value = argv[++i];
    return true;
}

bool TakeUnsigned(int argc, char** argv, int& i, std::uint32_t& value) {
    const char* text = nullptr;
    return TakeText(argc, argv, i, text) && ParseUnsigned(text, value);
}

bool TakeSigned(int argc, char** argv, int& i, std::int32_t& value) {
    const char* text = nullptr;
    return TakeText(argc, argv, i, text) && ParseSigned(text, value);
}
