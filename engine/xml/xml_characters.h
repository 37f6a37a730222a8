#pragma once

// The character classes of XML's syntax and the searches the scanner makes
// with them: byte work only, so that the scanner's loops stay its own.

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kelvane::xml {

enum : std::uint8_t {
    kNameStart = 1, // of ASCII: characters beyond it are kHigh, and checked apart
    kNameChar = 2,
    kSpace = 4,
    kHigh = 8,      // above 127: part of a character beyond ASCII
    kControl = 16,  // below 32: a blank (tab, LF, CR) or a character XML forbids
    kTextStop = 32, // what character data cannot simply pass over
};

// What each byte can be in XML's syntax.
constexpr std::array<std::uint8_t, 256> makeClasses()
{
    std::array<std::uint8_t, 256> classes{};
    for (int b = 0; b < 256; ++b) {
        const bool letter =
            (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || b == '_' || b == ':';
        const bool other = (b >= '0' && b <= '9') || b == '-' || b == '.';
        const bool space = b == ' ' || b == '\t' || b == '\r' || b == '\n';
        const bool textStop = b == '<' || b == '&' || b == '>' || b < 0x20 || b >= 0x80;
        classes[std::size_t(b)] = std::uint8_t(
            (letter ? kNameStart | kNameChar : 0) | (other ? kNameChar : 0) | (space ? kSpace : 0) |
            (b >= 0x80 ? kHigh : 0) | (b < 0x20 ? kControl : 0) | (textStop ? kTextStop : 0));
    }
    return classes;
}
constexpr std::array<std::uint8_t, 256> kClasses = makeClasses();

inline bool is(char c, std::uint8_t what)
{
    return kClasses[static_cast<unsigned char>(c)] & what;
}

// Equal bytes; names are short, so two overlapping words do for most.
inline bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    const std::size_t n = a.size();
    if (n >= 8 && n <= 16) {
        std::uint64_t x1, y1, x2, y2;
        std::memcpy(&x1, a.data(), 8);
        std::memcpy(&y1, b.data(), 8);
        std::memcpy(&x2, a.data() + n - 8, 8);
        std::memcpy(&y2, b.data() + n - 8, 8);
        return x1 == y1 && x2 == y2;
    }
    return std::memcmp(a.data(), b.data(), n) == 0;
}

inline const char *find(const char *from, const char *to, char c)
{
    return from < to ? static_cast<const char *>(std::memchr(from, c, std::size_t(to - from)))
                     : nullptr;
}

constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;

// The high bit of each byte of word that is c; exact for the lowest such byte.
inline std::uint64_t bytesEqual(std::uint64_t word, char c)
{
    const std::uint64_t x = word ^ (kOnes * static_cast<unsigned char>(c));
    return (x - kOnes) & ~x;
}

// The first byte in [p, lim) that character data cannot simply pass over
// (kTextStop) other than a line break or a tab, or lim. Character data between
// tags is mostly a line break, blanks or a number, too short for a library
// call to pay, so it is looked at sixteen bytes at a time where the processor
// compares them at once, else eight at a time.
inline const char *findTextStop(const char *p, const char *lim)
{
#if defined(__SSE2__)
    const __m128i bracket = _mm_set1_epi8('>'), two = _mm_set1_epi8(2), amp = _mm_set1_epi8('&'),
                  space = _mm_set1_epi8(' '), tab = _mm_set1_epi8('\t'), lf = _mm_set1_epi8('\n'),
                  cr = _mm_set1_epi8('\r');
    for (; lim - p >= 16; p += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        // "<" and ">" differ in one bit. Compared as signed bytes, those
        // above 127 are below 32 too.
        const __m128i markup =
            _mm_or_si128(_mm_cmpeq_epi8(_mm_or_si128(v, two), bracket), _mm_cmpeq_epi8(v, amp));
        const __m128i blank = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(v, tab), _mm_cmpeq_epi8(v, lf)), _mm_cmpeq_epi8(v, cr));
        const __m128i odd = _mm_andnot_si128(blank, _mm_cmplt_epi8(v, space));
        if (const int found = _mm_movemask_epi8(_mm_or_si128(markup, odd)))
            return p + std::countr_zero(unsigned(found));
    }
#else
    if constexpr (std::endian::native == std::endian::little) {
        while (lim - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            // "<" and ">" differ in one bit. Below 32: the byte less 32
            // borrows its high bit, which the byte lacks.
            const std::uint64_t found =
                (bytesEqual(word | (kOnes * 2), '>') | bytesEqual(word, '&') |
                 ((word - kOnes * 0x20) & ~word) | word) &
                kHighs;
            if (!found) {
                p += 8;
                continue;
            }
            // The lowest flag marks the first such byte; those above it may be false.
            p += std::countr_zero(found) / 8;
            if (!is(*p, kSpace))
                return p;
            ++p;
        }
    }
#endif
    while (p < lim && (!is(*p, kTextStop) || is(*p, kSpace)))
        ++p;
    return p;
}

// The same for bytes below 32 or above 127 alone, in markup that is at hand whole.
inline const char *findControlOrHigh(const char *p, const char *lim)
{
    if constexpr (std::endian::native == std::endian::little) {
        for (; lim - p >= 8; p += 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            if (const std::uint64_t found = (((word - kOnes * 0x20) & ~word) | word) & kHighs)
                return p + std::countr_zero(found) / 8;
        }
    }
    while (p < lim && !is(*p, kControl | kHigh))
        ++p;
    return p;
}

// The first place of `pair` (two bytes) in [from, to), or null.
inline const char *findPair(const char *from, const char *to, char a, char b)
{
    for (const char *p = find(from, to, a); p; p = find(p + 1, to, a))
        if (p + 1 < to && p[1] == b)
            return p;
    return nullptr;
}

// The length of the UTF-8 sequence at p (a byte above 127) and its code
// point; 0 when the bytes are none, -1 when the bytes at hand end inside it.
int utf8Length(const char *p, const char *lim, char32_t &c);

// Whether a character beyond ASCII may begin a name, or stand in one.
bool isNameStart(char32_t c);
bool isNameChar(char32_t c);

} // namespace kelvane::xml
