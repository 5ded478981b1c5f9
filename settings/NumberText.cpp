#include "settings/NumberText.h"

#include <charconv>
#include <cmath>
#include <cerrno>
#include <cfloat>
#include <cstdlib>
#include <locale.h>

#include "base/Error.h"

namespace tidyfold {

namespace {

[[noreturn]] void ThrowTypeMismatch() { throw Error::TypeMismatch(); }
[[noreturn]] void ThrowOverflow() { throw Error::Overflow(); }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t SkipDigits(const std::string& s, std::size_t i) {
    while (i < s.size() && IsDigit(s[i]))
        ++i;
    return i;
}

// The number without its surrounding blanks, or nothing when the text is not
// [sign] digits [. digits] [e [sign] digits] with at least one mantissa digit.
// Checked here so that strtod never sees hex, "inf", "nan" or a locale's comma.
std::string NumberCore(const std::string& text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    std::string s = text.substr(begin, end - begin);

    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    std::size_t digitsStart = i;
    i = SkipDigits(s, i);
    std::size_t mantissaDigits = i - digitsStart;
    if (i < s.size() && s[i] == '.') {
        std::size_t fractionStart = ++i;
        i = SkipDigits(s, i);
        mantissaDigits += i - fractionStart;
    }
    if (mantissaDigits == 0)
        ThrowTypeMismatch();
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        std::size_t exponentStart = i;
        i = SkipDigits(s, i);
        if (i == exponentStart)
            ThrowTypeMismatch();
    }
    if (i != s.size())
        ThrowTypeMismatch();
    return s;
}

// strtod in the "C" locale, whatever the program's locale is.
locale_t CLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

// The value of a checked number; Overflow when it exceeds a double.
double ToDouble(const std::string& text) {
    const std::string core = NumberCore(text);
    errno = 0;
    const double value = strtod_l(core.c_str(), nullptr, CLocale());
    // ERANGE with a small result is an underflow: the value is as near 0 as
    // the type allows, which is what the user meant.
    if (errno == ERANGE && std::isinf(value))
        ThrowOverflow();
    return value;
}

}  // namespace

std::int16_t ParseInt16(const std::string& text) {
    const double value = ToDouble(text);
    // The default rounding mode rounds half to even, as the classic conversion.
    const double rounded = std::nearbyint(value);
    if (!(rounded >= -32768.0 && rounded <= 32767.0))
        ThrowOverflow();
    return static_cast<std::int16_t>(rounded);
}

float ParseSingle(const std::string& text) {
    const double value = ToDouble(text);
    // Checked before the cast: narrowing a value beyond FLT_MAX is undefined.
    if (std::fabs(value) > static_cast<double>(FLT_MAX))
        ThrowOverflow();
    return static_cast<float>(value);
}

std::string SingleToText(float value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                      std::chars_format::general, 7);
    return std::string(buffer, result.ptr);
}

}  // namespace tidyfold
