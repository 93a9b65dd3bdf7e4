// Hex pattern text: canonical form ("41 42 0D 0A") and decoding into bytes.
// Pure byte routines: no Windows headers, builds natively for tests.
#pragma once

#include <cstddef>

// The digits of canonical hex text, by value.
inline constexpr char kHexDigits[] = "0123456789ABCDEF";

// '0'-'9', 'A'-'F' and 'a'-'f'.
bool IsHexDigit(unsigned char c);
// 0-15 for a hex digit; 0 for any other byte.
int HexDigitValue(unsigned char c);

// Rewrites text (capacity bytes, terminated) in canonical form in place: upper-case
// digit pairs separated by one space, a lone last digit after a space when the count
// is odd. Digits that would not fit within capacity are dropped. Returns the length.
// work is scratch space of at least capacity bytes.
size_t FormatHexText(char* text, size_t capacity, char* work);

// Decodes the hex digits of buf (terminated) in pairs into bytes at the start of buf,
// drops an odd last digit and writes three zero bytes after the result.
// Returns the number of bytes. work is scratch of at least strlen(buf) + 1 bytes.
int HexTextToBytes(char* buf, char* work);

// Writes the two upper-case hex digits of each of the n bytes to out ("%02X" each, no
// separators) and terminates it. Only as many bytes as fit within capacity, terminator
// included, are written. Returns the number of digits.
size_t HexDigitsOf(const unsigned char* bytes, size_t n, char* out, size_t capacity);
