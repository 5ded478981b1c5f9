#pragma once

// Text <-> number for the settings file. Independent of the locale: the file
// always uses "." as the decimal separator, whatever the user's language.

#include <cstdint>
#include <string>

namespace tidyfold {

// Decimal text to a 16-bit integer, as the classic integer conversion does it:
// blanks around the number are allowed, a fraction is rounded half to even
// ("2.5" gives 2, "3.5" gives 4), an exponent is allowed ("1e3" gives 1000).
// Throws Error 13 "Type mismatch" when the text is not a decimal number and
// Error 6 "Overflow" when the rounded value lies outside -32768..32767.
std::int16_t ParseInt16(const std::string& text);

// Decimal text to a single-precision number, same syntax. Throws Error 13 for
// text that is not a number ("inf" and "nan" included) and Error 6 when the
// value is too large for a single; a value too small for one becomes 0.
float ParseSingle(const std::string& text);

// Up to seven significant digits with "." as separator and no padding: 7 gives
// "7", 7.5 gives "7.5", 0.1f gives "0.1". Very large or very small values use
// an exponent ("1e+07", "1e-05"), which ParseSingle reads back.
std::string SingleToText(float value);

}  // namespace tidyfold
