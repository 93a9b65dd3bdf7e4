#include "engine/offset_text.h"

#include "pattern/hex_text.h"

size_t FormatOffset(uint64_t offset, char* out)
{
    char reversed[16];
    size_t count = 0;
    do {
        reversed[count++] = kHexDigits[offset & 0xF];
        offset >>= 4;
    } while (offset != 0);
    while (count < 8)
        reversed[count++] = '0';

    size_t len = 0;
    out[len++] = '0';
    out[len++] = 'x';
    while (count > 0)
        out[len++] = reversed[--count];
    out[len] = '\0';
    return len;
}
