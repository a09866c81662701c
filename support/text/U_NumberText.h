// U_NumberText: number conversions with the runtime rules texts from the other platform expect.
#pragma once

#include <cstdint>
#include <string_view>

// Integer text as the Pascal runtime reads it (Val, StrToInt): leading blanks, one "+" or "-",
// then decimal digits, or hexadecimal digits after "$", "x", "X", "0x" or "0X". Nothing may
// follow the digits, not even a blank; a NUL ends the text as it ends a PChar. Decimal values
// must fit a signed 32-bit integer; hexadecimal ones may use all 32 bits and wrap ("$FFFFFFFF"
// is -1), a sign before the prefix negates them.
bool TryStrToInt(std::string_view Text, int32_t& Value);
int32_t StrToIntDef(std::string_view Text, int32_t Default);

// Floating-point text as the runtime's TextToFloat reads it: blanks around, an optional sign,
// digits with at most one DecimalSeparator (at least one digit in all), an optional exponent
// "E" or "e" with optional sign and at least one digit. Values beyond the range of a double are
// not numbers.
bool TryStrToFloat(std::string_view Text, double& Value, char DecimalSeparator = '.');

// The user's decimal separator: the one of the C library's numeric locale, which the program
// sets from the user's settings at start-up ("." until then).
char UserDecimalSeparator();

// Value of a hexadecimal digit (either case), -1 for any other character.
int HexDigit(char c);
