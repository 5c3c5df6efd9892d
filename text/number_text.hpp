// Numbers of the data files, written exactly as a default-configured C++ stream writes a
// double (printf "%.6g": six significant digits, trailing zeros dropped, exponent form below
// 1e-4 and from 1e6 on).
#pragma once

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace osc {

// Three-character decimal texts "000" to "999", back to back.
inline constexpr std::array<char, 3000> three_digits = [] {
    std::array<char, 3000> table{};
    for (std::size_t i = 0; i < 1000; ++i) {
        table[3 * i] = static_cast<char>('0' + i / 100);
        table[3 * i + 1] = static_cast<char>('0' + i / 10 % 10);
        table[3 * i + 2] = static_cast<char>('0' + i % 10);
    }
    return table;
}();

// Writes value as printf("%.6g"), the stream's default form, does. A value between 1e-15 and
// 1e20 is scaled by an exact power of ten into [1e5, 1e6), a single rounding, and rounded to
// six digits there; when the scaled value lies too near a rounding tie to tell which way the
// exact one goes, and for every other value, std::to_chars gives the same text the slow way.
// Writes at most format_room characters from first and returns the end of the text.
inline constexpr int format_room = 16;
inline char *format_g6(char *first, double value)
{
    static constexpr double ten_to[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const auto slow = [&] {
        return std::to_chars(first, first + format_room, value, std::chars_format::general, 6).ptr;
    };
    const double magnitude = std::fabs(value);
    if (!(magnitude >= 1e-15 && magnitude < 1e20)) return slow();

    // magnitude lies in [2^b, 2^(b+1)), so its decimal exponent is floor(b log10 2) or one more;
    // 78913 / 2^18 is log10 2 closely enough to keep that floor exact for |b| < 1700.
    std::uint64_t bits = 0;
    std::memcpy(&bits, &magnitude, sizeof bits);
    const int b = static_cast<int>(bits >> 52) - 1023;
    int exponent = (b * 78913) >> 18;
    const auto scale = [&](int e) {
        return e <= 5 ? magnitude * ten_to[5 - e] : magnitude / ten_to[e - 5];
    };
    double scaled = scale(exponent);
    if (scaled >= 1e6) scaled = scale(++exponent);
    const double whole = static_cast<double>(static_cast<unsigned>(scaled));
    const double fraction = scaled - whole;
    if (scaled < 1e5 || scaled >= 1e6 || std::fabs(fraction - 0.5) < 0x1p-30) return slow();

    std::size_t digits = static_cast<std::size_t>(whole) + (fraction > 0.5 ? 1U : 0U);
    if (digits == 1000000U) {
        digits = 100000U;
        ++exponent;
    }
    // digits / 1000 as a multiply by ceil(2^32 / 1000), exact below 2^20.
    const std::size_t high = (digits * 4294968U) >> 32U;
    char d[6];
    std::memcpy(d, &three_digits[3 * high], 3);
    std::memcpy(d + 3, &three_digits[3 * (digits - high * 1000U)], 3);
    int significant = 6;
    while (d[significant - 1] == '0') --significant;

    // The six digits with a point after the first `point` of them; what follows the last
    // significant digit (and a point with nothing after it) is cut off.
    const auto with_point = [&](char *out, int point) {
        for (int i = 0; i < 6; ++i) out[i + (i >= point ? 1 : 0)] = d[i];
        out[point] = '.';
        return out + (significant > point ? significant + 1 : point);
    };
    char *out = first;
    if (value < 0) *out++ = '-';
    if (exponent >= 0 && exponent < 6) return with_point(out, exponent + 1);
    if (exponent < 0 && exponent >= -4) {
        static constexpr char lead[] = {'0', '.', '0', '0', '0'};
        std::memcpy(out, lead, sizeof lead);
        out += 1 - exponent;
        std::memcpy(out, d, 6);
        return out + significant;
    }
    out = with_point(out, 1);
    const int e = std::abs(exponent);
    const char text[4] = {'e', exponent < 0 ? '-' : '+', static_cast<char>('0' + e / 10),
                          static_cast<char>('0' + e % 10)};
    std::memcpy(out, text, 4);
    return out + 4;
}

} // namespace osc
