#include "bench/bench_data.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>

namespace {

// No generator emits this byte; it makes the patterns absent.
constexpr unsigned char kAbsentByte = 0xFF;

// Common English words, most frequent first, picked with Zipf-like weights.
const char* const kWords[] = {
    "the", "of", "and", "to", "a", "in", "is", "it", "you", "that", "he", "was", "for", "on",
    "are", "with", "as", "his", "they", "be", "at", "one", "have", "this", "from", "or", "had",
    "by", "word", "but", "what", "some", "we", "can", "out", "other", "were", "all", "there",
    "when", "up", "use", "your", "how", "said", "an", "each", "she", "which", "do", "their",
    "time", "if", "will", "way", "about", "many", "then", "them", "write", "would", "like",
    "so", "these", "her", "long", "make", "thing", "see", "him", "two", "has", "look", "more",
    "day", "could", "go", "come", "did", "number", "sound", "no", "most", "people", "my",
    "over", "know", "water", "than", "call", "first", "who", "may", "down", "side", "been",
    "now", "find", "any", "new", "work", "part", "take", "get", "place", "made", "live",
    "where", "after", "back", "little", "only", "round", "man", "year", "came", "show",
    "every", "good", "me", "give", "our", "under", "name", "very", "through", "just", "form",
    "sentence", "great", "think", "say", "help", "low", "line", "differ", "turn", "cause",
    "much", "mean", "before", "move", "right", "boy", "old", "too", "same", "tell", "does",
    "set", "three", "want", "air", "well", "also", "play", "small", "end", "put", "home",
    "read", "hand", "port", "large", "spell", "add", "even", "land", "here", "must", "big",
    "high", "such", "follow", "act", "why", "ask", "men", "change", "went", "light", "kind",
    "off", "need", "house", "picture", "try", "us", "again", "animal", "point", "mother",
    "world", "near", "build", "self", "earth", "father", "head", "stand", "own", "page",
    "should", "country", "found", "answer", "school", "grow", "study", "still", "learn",
    "plant", "cover", "food", "sun", "four", "between", "state", "keep", "eye", "never",
    "last", "let", "thought", "city", "tree", "cross", "farm", "hard", "start", "might",
    "story", "saw", "far", "sea", "draw", "left", "late", "run", "while", "press", "close",
    "night", "real", "life", "few", "north", "open", "seem", "together", "next", "white",
    "children", "begin", "got", "walk", "example", "ease", "paper", "group", "always",
    "music", "those", "both", "mark", "often", "letter", "until", "mile", "river", "car",
};

void FillText(std::vector<unsigned char>& out, std::mt19937& rng)
{
    const size_t words = sizeof kWords / sizeof kWords[0];
    std::vector<double> weights(words);
    for (size_t i = 0; i < words; ++i)
        weights[i] = 1.0 / static_cast<double>(i + 1);
    std::discrete_distribution<size_t> pick(weights.begin(), weights.end());
    std::uniform_int_distribution<int> sentence(6, 20);
    std::uniform_int_distribution<int> paragraph(3, 8);

    size_t pos = 0;
    int leftInSentence = sentence(rng), leftInParagraph = paragraph(rng);
    bool capital = true;
    while (pos < out.size()) {
        std::string word = kWords[pick(rng)];
        if (capital)
            word[0] = static_cast<char>(word[0] - 'a' + 'A');
        capital = false;
        if (--leftInSentence == 0) {
            leftInSentence = sentence(rng);
            if (rng() % 5 == 0) {
                word += ", ";
            } else {
                capital = true;
                const bool paragraphEnds = --leftInParagraph == 0;
                if (paragraphEnds)
                    leftInParagraph = paragraph(rng);
                word += paragraphEnds ? ".\n\n" : ". ";
            }
        } else {
            word += ' ';
        }
        for (char c : word) {
            if (pos == out.size())
                break;
            out[pos++] = static_cast<unsigned char>(c);
        }
    }
}

// About 85% zeros, in runs, between records of arbitrary bytes (which hold some zeros
// too): the look of executables, disk images and database files.
void FillMostlyZero(std::vector<unsigned char>& out, std::mt19937& rng)
{
    std::geometric_distribution<size_t> zeros(1.0 / 500), record(1.0 / 90);
    std::uniform_int_distribution<int> byte(0, kAbsentByte - 1);
    size_t pos = 0;
    while (pos < out.size()) {
        pos = std::min(out.size(), pos + zeros(rng));  // already zero
        const size_t end = std::min(out.size(), pos + 1 + record(rng));
        for (; pos < end; ++pos)
            out[pos] = static_cast<unsigned char>(byte(rng));
    }
}

// Erased flash: FF, with an island of code (a fifth of it zeros) every 256 KiB or so.
void FillFlash(std::vector<unsigned char>& out, std::mt19937& rng)
{
    std::fill(out.begin(), out.end(), 0xFF);
    std::geometric_distribution<size_t> gap(1.0 / (256 << 10)), island(1.0 / (8 << 10));
    for (size_t pos = gap(rng); pos < out.size(); pos += gap(rng)) {
        const size_t end = std::min(out.size(), pos + 1 + island(rng));
        for (; pos < end; ++pos)
            out[pos] = static_cast<unsigned char>(rng() % 5 == 0 ? 0 : rng());
    }
}

// Blocks of 1 MiB: three in five zero, the others random.
void FillZeroBlocks(std::vector<unsigned char>& out, std::mt19937& rng)
{
    constexpr size_t kBlock = 1 << 20;
    for (size_t block = 0; block * kBlock < out.size(); ++block) {
        if (block % 5 == 0 || block % 5 == 2 || block % 5 == 3)
            continue;  // already zero
        const size_t end = std::min(out.size(), (block + 1) * kBlock);
        for (size_t pos = block * kBlock; pos < end; ++pos)
            out[pos] = static_cast<unsigned char>(rng());
    }
}

// Ascending 32-bit values, little-endian, as in a table of offsets or addresses.
void FillTable32(std::vector<unsigned char>& out, std::mt19937& rng)
{
    uint32_t value = 0x00400000;
    for (size_t pos = 0; pos + 4 <= out.size(); pos += 4) {
        value += 1 + rng() % 64;
        for (int k = 0; k < 4; ++k)
            out[pos + k] = static_cast<unsigned char>(value >> (8 * k));
    }
}

// The text, each character followed by a zero: UTF-16LE.
void FillUtf16(std::vector<unsigned char>& out, std::mt19937& rng)
{
    std::vector<unsigned char> text(out.size() / 2);
    FillText(text, rng);
    for (size_t i = 0; i < text.size(); ++i)
        out[2 * i] = text[i];
}

// The executables bench.sh gathered, over and over; nothing when there are none.
void FillExecutables(std::vector<unsigned char>& out)
{
    const char* path = std::getenv("BYTEWREN_BENCH_PE");
    std::ifstream in(path ? path : "", std::ios::binary);
    std::vector<unsigned char> pe((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (pe.empty()) {
        out.clear();
        return;
    }
    for (size_t pos = 0; pos < out.size(); pos += pe.size())
        std::memcpy(out.data() + pos, pe.data(), std::min(pe.size(), out.size() - pos));
}

}  // namespace

const char* DataKindName(DataKind kind)
{
    switch (kind) {
    case DataKind::Random: return "random";
    case DataKind::Text: return "text";
    case DataKind::MostlyZero: return "zeros";
    case DataKind::Flash: return "flash";
    case DataKind::ZeroBlocks: return "zero-blocks";
    case DataKind::Table32: return "table32";
    case DataKind::Utf16: return "utf16";
    case DataKind::Executables: return "executables";
    case DataKind::TwoValues: return "00-ff";
    }
    return "?";
}

std::vector<unsigned char> MakeBenchData(DataKind kind, size_t size, uint32_t seed)
{
    std::vector<unsigned char> out(size, 0);
    std::mt19937 rng(seed);
    switch (kind) {
    case DataKind::Random: {
        std::uniform_int_distribution<int> byte(0, kAbsentByte - 1);
        for (auto& b : out)
            b = static_cast<unsigned char>(byte(rng));
        break;
    }
    case DataKind::Text:
        FillText(out, rng);
        break;
    case DataKind::MostlyZero:
        FillMostlyZero(out, rng);
        break;
    case DataKind::Flash:
        FillFlash(out, rng);
        break;
    case DataKind::ZeroBlocks:
        FillZeroBlocks(out, rng);
        break;
    case DataKind::Table32:
        FillTable32(out, rng);
        break;
    case DataKind::Utf16:
        FillUtf16(out, rng);
        break;
    case DataKind::Executables:
        FillExecutables(out);
        break;
    case DataKind::TwoValues:
        for (auto& b : out)
            b = rng() & 1 ? 0xFF : 0x00;
        break;
    }
    return out;
}

const char* PatternShapeName(PatternShape shape)
{
    switch (shape) {
    case PatternShape::Middle: return "middle";
    case PatternShape::Last: return "last";
    case PatternShape::Spaces: return "spaces";
    }
    return "?";
}

std::vector<unsigned char> MakeAbsentPattern(DataKind kind, const std::vector<unsigned char>& data,
                                             int32_t n, uint32_t seed, PatternShape shape)
{
    if (shape == PatternShape::Spaces)
        return std::vector<unsigned char>(static_cast<size_t>(n), ' ');
    std::vector<unsigned char> pattern(static_cast<size_t>(n), kAbsentByte);
    if (n <= 1 || data.size() < static_cast<size_t>(n))
        return pattern;
    std::mt19937 rng(seed);
    std::uniform_int_distribution<size_t> at(0, data.size() - static_cast<size_t>(n));
    size_t start = at(rng);
    // Mostly-zero data: start where a record starts, as a searched-for signature would.
    if (kind == DataKind::MostlyZero) {
        while (start + n < data.size() && !(data[start] != 0 && (start == 0 || data[start - 1] == 0)))
            ++start;
        start = std::min(start, data.size() - static_cast<size_t>(n));
    }
    std::copy(data.begin() + static_cast<std::ptrdiff_t>(start),
              data.begin() + static_cast<std::ptrdiff_t>(start) + n, pattern.begin());
    pattern[shape == PatternShape::Last ? static_cast<size_t>(n) - 1 : static_cast<size_t>(n) / 2] = kAbsentByte;
    return pattern;
}

const char* MissAtName(MissAt at)
{
    switch (at) {
    case MissAt::Early: return "early";
    case MissAt::Middle: return "middle";
    case MissAt::Late: return "late";
    }
    return "?";
}

std::vector<unsigned char> MakeNearMiss(const std::vector<unsigned char>& data, int32_t n, MissAt at, uint32_t seed)
{
    const size_t len = static_cast<size_t>(n);
    if (data.size() < len || n < 1)
        return {};
    size_t count[256] = {};
    for (unsigned char b : data)
        ++count[b];
    std::mt19937 rng(seed);
    std::uniform_int_distribution<size_t> start(0, data.size() - len);
    std::vector<unsigned char> pattern;
    size_t best = 0;
    for (int k = 0; k < 64; ++k) {
        const size_t s = start(rng);
        size_t score = 0;
        for (size_t i = 0; i < len; ++i)
            score += count[data[s + i]];
        if (pattern.empty() || score > best) {
            best = score;
            pattern.assign(data.begin() + static_cast<std::ptrdiff_t>(s),
                           data.begin() + static_cast<std::ptrdiff_t>(s + len));
        }
    }
    const size_t odd = at == MissAt::Early ? len / 6 : at == MissAt::Middle ? len / 2 : len - 1;
    int byValue[256];
    for (int b = 0; b < 256; ++b)
        byValue[b] = b;
    std::stable_sort(byValue, byValue + 256, [&](int a, int b) { return count[a] > count[b]; });
    const unsigned char was = pattern[odd];
    for (int b : byValue) {
        if (b == was)
            continue;
        pattern[odd] = static_cast<unsigned char>(b);
        // Boyer-Moore: linear on these shapes, where a plain search is not.
        if (std::search(data.begin(), data.end(), std::boyer_moore_searcher(pattern.begin(), pattern.end())) ==
            data.end())
            return pattern;
    }
    return {};
}
