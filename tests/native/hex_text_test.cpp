#include "pattern/hex_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Formats text in a heap block of exactly capacity bytes (scratch likewise), so
// ASan reports any write past capacity. The text must fit, terminator included.
std::string Format(const std::string& text, size_t capacity, size_t* returned = nullptr)
{
    std::vector<char> buf(capacity, '\x55');
    std::vector<char> work(capacity);
    std::memcpy(buf.data(), text.c_str(), text.size() + 1);
    const size_t len = FormatHexText(buf.data(), capacity, work.data());
    if (returned)
        *returned = len;
    return std::string(buf.data());
}

// The capacity callers pass: the whole 1024-byte text buffer.
std::string Format(const std::string& text)
{
    return Format(text, 1024);
}

struct Decoded {
    int count;
    std::vector<unsigned char> bytes;  // the decoded bytes plus the three behind them
};

// Decodes in a block of exactly the size callers must provide: the text with its
// terminator, or the result plus three bytes if that is more.
Decoded Decode(const std::string& text)
{
    size_t digits = 0;
    for (char c : text)
        digits += std::isxdigit(static_cast<unsigned char>(c)) ? 1 : 0;
    std::vector<char> buf(std::max(text.size() + 1, digits / 2 + 3), '\x55');
    std::vector<char> work(text.size() + 1);
    std::memcpy(buf.data(), text.c_str(), text.size() + 1);
    const int count = HexTextToBytes(buf.data(), work.data());
    Decoded d{count, {}};
    if (count >= 0 && static_cast<size_t>(count) + 3 <= buf.size())
        d.bytes.assign(buf.begin(), buf.begin() + count + 3);
    return d;
}

std::vector<unsigned char> WithTail(std::vector<unsigned char> bytes)
{
    bytes.insert(bytes.end(), {0, 0, 0});
    return bytes;
}

TEST(HexDigitValue, DigitsOfBothCasesAndNothingElse)
{
    const std::string digits = "0123456789ABCDEF";
    for (int c = 0; c < 256; ++c) {
        const size_t at = digits.find(static_cast<char>(std::toupper(c)));
        const int expected = at != std::string::npos ? static_cast<int>(at) : 0;
        EXPECT_EQ(HexDigitValue(static_cast<unsigned char>(c)), expected) << "byte " << c;
    }
}

TEST(FormatHexText, CanonicalForm)
{
    EXPECT_EQ(Format("4a:6B 7"), "4A 6B 7");
    EXPECT_EQ(Format("abc"), "AB C");
    EXPECT_EQ(Format("4142"), "41 42");  // no space after the last pair
    EXPECT_EQ(Format(" 0d  0a "), "0D 0A");
    EXPECT_EQ(Format("41 42 0D 0A"), "41 42 0D 0A");  // already canonical: unchanged
    EXPECT_EQ(Format("  "), "");
    EXPECT_EQ(Format(""), "");
    EXPECT_EQ(Format("xyz-ghij"), "");
}

TEST(FormatHexText, DropsNonAsciiBytesButKeepsDigitTrailBytes)
{
    // 0xB0 0x41 is one double-byte character whose second byte is 'A'.
    EXPECT_EQ(Format("1\xB0\x41" "2"), "1A 2");
    EXPECT_EQ(Format("\x80\xFF\xC8\xA1" "ff"), "FF");
}

TEST(FormatHexText, ReturnsTheLength)
{
    size_t len = 99;
    EXPECT_EQ(Format("a b c d e", 10, &len), "AB CD E");
    EXPECT_EQ(len, 7u);
    Format("--", 3, &len);
    EXPECT_EQ(len, 0u);
}

TEST(FormatHexText, ClipsToCapacity)
{
    // Digits with no separators expand when formatted; every capacity too small for
    // the full form must keep the longest leading part that is itself canonical.
    const std::string digits = "0123456789abcdef01";
    const std::string full = "01 23 45 67 89 AB CD EF 01";
    for (size_t capacity = digits.size() + 1; capacity <= full.size() + 2; ++capacity) {
        std::string expected = full.substr(0, std::min(full.size(), capacity - 1));
        if (!expected.empty() && expected.back() == ' ')
            expected.pop_back();
        size_t len = 0;
        EXPECT_EQ(Format(digits, capacity, &len), expected) << "capacity " << capacity;
        EXPECT_EQ(len, expected.size());
    }
    EXPECT_EQ(Format("abc", 4), "AB");  // "AB C" needs 5 bytes
    EXPECT_EQ(Format("a", 2), "A");
    EXPECT_EQ(Format("", 1), "");
}

TEST(FormatHexText, ZeroCapacityWritesNothing)
{
    char text[2] = {'a', '\0'};
    char work[1];
    EXPECT_EQ(FormatHexText(text, 0, work), 0u);
    EXPECT_EQ(text[0], 'a');
}

TEST(HexTextToBytes, DecodesPairsAndZeroesTheThreeBytesBehind)
{
    EXPECT_EQ(Decode("0d0A").bytes, WithTail({0x0D, 0x0A}));
    EXPECT_EQ(Decode("zz41gg42").bytes, WithTail({0x41, 0x42}));
    EXPECT_EQ(Decode("00 ff 80 7F").bytes, WithTail({0x00, 0xFF, 0x80, 0x7F}));

    const Decoded d = Decode("41 42");
    EXPECT_EQ(d.count, 2);
    EXPECT_EQ(d.bytes, WithTail({0x41, 0x42}));
}

TEST(HexTextToBytes, DropsAnOddLastDigit)
{
    Decoded d = Decode("41 4");
    EXPECT_EQ(d.count, 1);
    EXPECT_EQ(d.bytes, WithTail({0x41}));  // the space and '4' behind are zeroed

    d = Decode("A");
    EXPECT_EQ(d.count, 0);
    EXPECT_EQ(d.bytes, WithTail({}));

    d = Decode("");
    EXPECT_EQ(d.count, 0);
    EXPECT_EQ(d.bytes, WithTail({}));
}

TEST(HexTextToBytes, LongestFieldText)
{
    // 259 characters, the most a field read returns: 173 digits in canonical form.
    std::string text;
    std::vector<unsigned char> expected;
    for (int i = 0; i < 86; ++i) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02X ", (i * 37 + 11) & 0xFF);
        text += pair;
        expected.push_back(static_cast<unsigned char>((i * 37 + 11) & 0xFF));
    }
    text += "E";
    ASSERT_EQ(text.size(), 259u);

    const Decoded d = Decode(text);
    EXPECT_EQ(d.count, 86);
    EXPECT_EQ(d.bytes, WithTail(expected));
}

TEST(HexText, FormattedTextDecodesToEveryByteValue)
{
    std::string lower;
    std::vector<unsigned char> all;
    for (int b = 0; b < 256; ++b) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", b);
        lower += pair;
        all.push_back(static_cast<unsigned char>(b));
    }
    // 256 pairs formatted need 767 bytes: within the 1024-byte buffers.
    const std::string formatted = Format(lower, 1024);
    ASSERT_EQ(formatted.size(), 767u);
    EXPECT_EQ(Decode(formatted).bytes, WithTail(all));
    EXPECT_EQ(Decode(lower).bytes, WithTail(all));
}

// Digits of bytes written into a heap block of exactly capacity bytes.
std::string Digits(const std::vector<unsigned char>& bytes, size_t capacity, size_t* returned = nullptr)
{
    std::vector<char> out(capacity, '\x55');
    const size_t len = HexDigitsOf(bytes.data(), bytes.size(), out.data(), capacity);
    if (returned)
        *returned = len;
    return capacity == 0 ? std::string() : std::string(out.data());
}

TEST(HexDigitsOf, TwoUpperCaseDigitsPerByte)
{
    size_t len = 0;
    EXPECT_EQ(Digits({0x41, 0x00, 0xAB, 0x0F, 0xFF}, 64, &len), "4100AB0FFF");
    EXPECT_EQ(len, 10u);
    EXPECT_EQ(Digits({}, 1, &len), "");
    EXPECT_EQ(len, 0u);
}

TEST(HexDigitsOf, WritesOnlyWholeBytesThatFit)
{
    size_t len = 0;
    EXPECT_EQ(Digits({0x12, 0x34, 0x56}, 6, &len), "1234");  // "123456" needs 7
    EXPECT_EQ(len, 4u);
    EXPECT_EQ(Digits({0x12, 0x34, 0x56}, 2, &len), "");  // no half bytes
    EXPECT_EQ(Digits({0x12}, 0, &len), "");
    EXPECT_EQ(len, 0u);

    // The largest text view: 259 bytes make 518 digits in the 1024-byte work buffer.
    const std::vector<unsigned char> view(259, 0xC8);
    std::string expected;
    for (int i = 0; i < 259; ++i)
        expected += "C8";
    EXPECT_EQ(Digits(view, 1024, &len), expected);
    EXPECT_EQ(len, 518u);
}

}  // namespace
