#include "pattern/hex_text.h"

#include <algorithm>

namespace {

// Copies the hex digits of text (up to its terminator or limit bytes) to out,
// upper-cased. Every other byte is dropped, including both halves of a double-byte
// character unless a half happens to be a digit. Returns the digit count.
size_t CollectDigits(const char* text, size_t limit, char* out)
{
    size_t d = 0;
    for (size_t i = 0; i < limit && text[i] != '\0'; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (!IsHexDigit(c))
            continue;
        out[d++] = static_cast<char>(c >= 'a' ? c - ('a' - 'A') : c);
    }
    return d;
}

// Characters of the canonical form of k digits: the digits plus one space between pairs.
size_t CanonicalLength(size_t k)
{
    return k == 0 ? 0 : k + (k - 1) / 2;
}

}  // namespace

bool IsHexDigit(unsigned char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

int HexDigitValue(unsigned char c)
{
    if (!IsHexDigit(c))
        return 0;
    // Letters of either case: the 0x20 bit makes them lower case.
    return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

size_t FormatHexText(char* text, size_t capacity, char* work)
{
    if (capacity == 0)
        return 0;  // not even room for the terminator

    // The digits go to work first: written back with spaces, the output can run
    // ahead of input not yet read ("ABCD" -> "AB CD").
    size_t d = CollectDigits(text, capacity, work);

    // Keep the longest run of leading digits whose canonical form still fits
    // together with the terminator.
    while (d > 0 && CanonicalLength(d) + 1 > capacity)
        --d;

    size_t out = 0;
    for (size_t i = 0; i < d; ++i) {
        if (i > 0 && i % 2 == 0)
            text[out++] = ' ';
        text[out++] = work[i];
    }
    text[out] = '\0';
    return out;
}

int HexTextToBytes(char* buf, char* work)
{
    size_t d = CollectDigits(buf, static_cast<size_t>(-1), work);
    const size_t bytes = d / 2;  // an odd last digit is half a byte: dropped

    for (size_t i = 0; i < bytes; ++i) {
        const int hi = HexDigitValue(static_cast<unsigned char>(work[2 * i]));
        const int lo = HexDigitValue(static_cast<unsigned char>(work[2 * i + 1]));
        buf[i] = static_cast<char>(hi << 4 | lo);
    }
    // Leaves the bytes behind the result zeroed whatever was there, so the decoded
    // pattern also reads as a terminated (narrow or wide) string.
    buf[bytes] = '\0';
    buf[bytes + 1] = '\0';
    buf[bytes + 2] = '\0';
    return static_cast<int>(bytes);
}

size_t HexDigitsOf(const unsigned char* bytes, size_t n, char* out, size_t capacity)
{
    if (capacity == 0)
        return 0;
    const size_t fit = std::min(n, (capacity - 1) / 2);
    for (size_t i = 0; i < fit; ++i) {
        out[2 * i] = kHexDigits[bytes[i] >> 4];
        out[2 * i + 1] = kHexDigits[bytes[i] & 0x0F];
    }
    out[2 * fit] = '\0';
    return 2 * fit;
}
