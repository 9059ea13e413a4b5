#include "engine/cosine.h"

#include <cstdint>
#include <cstring>

namespace {

// pi/2 in parts of 21, 21, 21 and 53 bits: k times each of the first three
// is exact for k < 2^32, and so is taking them from an angle near k pi/2.
constexpr double PIO2_1 = 0x1.921fbp+0;
constexpr double PIO2_2 = 0x1.5110bp-22;
constexpr double PIO2_3 = 0x1.18469p-44;
constexpr double PIO2_4 = 0x1.13198a2e03707p-65;
constexpr double TWO_OVER_PI = 0x1.45f306dc9c883p-1;
constexpr double PIO2 = 0x1.921fb54442d18p+0;
// Adding and taking away 1.5 * 2^52 rounds to the nearest integer.
constexpr double ROUND = 6755399441055744.0;
// Below this the parts above reduce the angle; above it, the bits of 2/pi.
constexpr double NEAR = 0x1p31;

// The bits of 2/pi after the point, 64 to a word, behind a word of zeros (an
// angle's window may start before the point).
constexpr uint64_t TWO_OVER_PI_BITS[] = {
    0, 0xA2F9836E4E441529ull, 0xFC2757D1F534DDC0ull, 0xDB6295993C439041ull,
    0xFE5163ABDEBBC561ull, 0xB7246E3A424DD2E0ull, 0x06492EEA09D1921Cull,
    0xFE1DEB1CB129A73Eull, 0xE88235F52EBB4484ull, 0xE99C7026B45F7E41ull,
    0x3991D639835339F4ull, 0x9C845F8BBDF9283Bull, 0x1FF897FFDE05980Full,
    0xEF2F118B5A0A6D1Full, 0x6D367ECF27CB09B7ull, 0x4F463F669E5FEA2Dull,
    0x7527BAC7EBE5F17Bull, 0x3D0739F78A5292EAull, 0x6BFB5FB11F8D5D08ull,
    0x56033046FC7B6BABull, 0xF0CFBC209AF4361Dull};

using u128 = unsigned __int128;

uint64_t window_word(int bit) { // the 64 bits from bit (0: the zero word's first)
    const int w = bit / 64, s = bit % 64;
    return s == 0 ? TWO_OVER_PI_BITS[w]
                  : (TWO_OVER_PI_BITS[w] << s) | (TWO_OVER_PI_BITS[w + 1] >> (64 - s));
}

// x = (n + f) pi/2 with f in [-1/2, 1/2), for finite x >= NEAR: x is m 2^q
// with m a whole number of 53 bits, and x 2/pi mod 4 takes m times 192 bits
// of 2/pi, from the one worth 2^(1-q) on, of which the product's bits
// 64..191 hold two whole bits and 126 of the fraction.
double reduce_far(double x, int* n) {
    uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    const int q = int(bits >> 52) - 1075;
    const uint64_t m = (bits & ((1ull << 52) - 1)) | (1ull << 52);
    const int first = q - 2 + 64; // the bit worth 2^(1-q), counted in the table
    const u128 p0 = u128(m) * window_word(first);
    const u128 p1 = u128(m) * window_word(first + 64);
    const u128 p2 = u128(m) * window_word(first + 128);
    const uint64_t mid = uint64_t(p2 >> 64) + uint64_t(p1);
    const uint64_t carry = mid < uint64_t(p1);
    const uint64_t top = uint64_t(p1 >> 64) + uint64_t(p0) + carry;
    const u128 y = (u128(top) << 64) | mid;                      // 2.126 bits
    const u128 whole = (y + (u128(1) << 125)) >> 126;           // nearest
    *n = int(whole & 3);
    u128 f = y - (whole << 126);                                 // two's complement
    const bool negative = (f >> 127) != 0;
    if (negative) f = -f;
    if (f == 0) return 0.0;
    const uint64_t hi = uint64_t(f >> 64), lo = uint64_t(f);
    const int shift = hi ? __builtin_clzll(hi) : 64 + __builtin_clzll(lo);
    f <<= shift;
    // The leading 64 bits, rounded to 53, are the fraction times 2^(62 + shift).
    const double r0 = double(uint64_t(f >> 64));
    const uint64_t e = uint64_t(1023 - 62 - shift) << 52;
    double scale;
    std::memcpy(&scale, &e, sizeof scale);
    const double r = (r0 * scale) * PIO2;
    return negative ? -r : r;
}

// On [-pi/4, pi/4]: the Taylor series, to the term whose successor is below
// an ulp there.
double cos_near(double r) {
    const double r2 = r * r;
    double c = 1.0 / 20922789888000.0; // 1/16!
    c = c * r2 - 1.0 / 87178291200.0;
    c = c * r2 + 1.0 / 479001600.0;
    c = c * r2 - 1.0 / 3628800.0;
    c = c * r2 + 1.0 / 40320.0;
    c = c * r2 - 1.0 / 720.0;
    c = c * r2 + 1.0 / 24.0;
    // 1 - r2/2 + r2^2 c, with what 1 - r2/2 loses to rounding put back.
    const double half = 0.5 * r2, w = 1.0 - half;
    return w + (((1.0 - w) - half) + (r2 * r2) * c);
}

double sin_near(double r) {
    const double r2 = r * r;
    double s = 1.0 / 355687428096000.0; // 1/17!
    s = s * r2 - 1.0 / 1307674368000.0;
    s = s * r2 + 1.0 / 6227020800.0;
    s = s * r2 - 1.0 / 39916800.0;
    s = s * r2 + 1.0 / 362880.0;
    s = s * r2 - 1.0 / 5040.0;
    s = s * r2 + 1.0 / 120.0;
    s = s * r2 - 1.0 / 6.0;
    return r + (r * r2) * s;
}

} // namespace

double portable_cos(double x) {
    if (!(x - x == 0.0)) return x - x; // infinite or not a number
    const double a = x < 0.0 ? -x : x;
    int n;
    double r;
    if (a < NEAR) {
        const double k = (a * TWO_OVER_PI + ROUND) - ROUND;
        r = a - k * PIO2_1;
        r = r - k * PIO2_2;
        r = r - k * PIO2_3;
        r = r - k * PIO2_4;
        n = int(int64_t(k) & 3);
    } else {
        r = reduce_far(a, &n);
    }
    switch (n) {
    case 0: return cos_near(r);
    case 1: return -sin_near(r);
    case 2: return -cos_near(r);
    default: return sin_near(r);
    }
}
