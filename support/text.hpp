#pragma once

#include <cstdio>
#include <string>

namespace brintom {

// Reads at most capacity-1 bytes of one line and trims trailing blank bytes (<= 32 as signed
// char, so 128-255 count as blank). Returns -1 at end of input (buffer then empty), else the
// trimmed length. Longer lines come back in pieces on successive calls.
int get_line(char* buffer, int capacity, std::FILE* file);

// A byte is blank when, read as a signed 8-bit number, it is at most 32.
inline bool is_blank_byte(char c) { return static_cast<signed char>(c) <= 32; }
// The C locale's white space: space, \t, \n, \v, \f, \r.
inline bool is_white_space(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Take the next word or integer of a line as sscanf's "%s" and "%d" do: white space first, then
// the word up to the next white space, or an optional sign and decimal digits. On success the
// cursor moves past what was taken; false when the line holds no such item. Integers beyond the
// 64-bit range saturate, so a caller can refuse them instead of seeing them wrap.
bool scan_word(const char*& cursor, std::string& word);
bool scan_integer(const char*& cursor, long long& value);

char* integer_to_string(int value);  // "%d"
char* float_to_string(float value);  // "%f": six decimals, never an exponent

// Fatal "Not an integer" when a byte other than a blank byte follows the number. Values outside
// the 32-bit range saturate.
int string_to_integer(const char* s);
// Fatal "not a number" unless s is one float with only white space around it; a text that is
// empty or all white space gives 0.0.
float string_to_float(const char* s);
// 1 when s is a number (or nothing) followed only by blank bytes.
int isnumber(const char* s);

}  // namespace brintom
