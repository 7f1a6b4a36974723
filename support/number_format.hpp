#pragma once

#include <cstddef>
#include <string>

namespace brintom {

// Numbers as the C library's printf writes them in the C locale, byte for byte, without a
// printf call per value. Each writes at out and returns the end of what it wrote; out must have
// room for kFormattedRoom bytes. Nothing is terminated.
inline constexpr std::size_t kFormattedRoom = 64;

// "%8.2f" of the float widened to double: two decimals, rounded half to even on the exact
// value, right-aligned in eight columns (wider values take the room they need).
char* format_fixed2_field(char* out, float value);
// "%g": six significant digits, trailing zeros dropped, an exponent below 1e-4 or from 1e6 on.
char* format_general(char* out, double value);
// "%d" (and "%lld": a wider value is written whole).
char* format_integer(char* out, long long value);

// The shortest "%.Ng" text that reads back as the same float.
std::string shortest_float(float value);
// As short a text as reads back as the same float, without a printf call: the fewest digits,
// written plainly or with an exponent ("1e+20", "1e-05"), whichever is shorter; "inf", "-inf",
// "nan". Never more digits than shortest_float's.
char* format_shortest(char* out, float value);

}  // namespace brintom
