// Number reading for definition files, as the classic C runtime conversions
// read them, but independent of the process locale and free of overflow
// undefined behaviour.
#pragma once

#include <cstdint>
#include <string_view>

namespace canxlate {

// atoi/atol: leading white space, optional sign, decimal digits up to the first
// other character; 0 when no digit follows; the value wraps modulo 2^32.
int32_t readCInteger(std::string_view text);

// atof: leading white space, optional sign, decimal digits with optional '.'
// fraction and optional exponent; the decimal point is always '.', whatever
// the locale. 0 when the text does not begin with a number; an overflowing
// value gives a signed infinity, an underflowing one a signed zero (or the
// nearest subnormal).
double readCReal(std::string_view text);

// A ".zcd" real number: '.' and ',' both serve as the decimal separator.
double readZcdReal(std::string_view text);

}  // namespace canxlate
