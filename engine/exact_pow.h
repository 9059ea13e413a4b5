// Powers for pitch, computed with the same bits by every compiler and C
// library. The C library's pow differs between glibc and MinGW-w64 by up to
// tens of ulps, and a frequency one ulp apart moves a square wave's edge that
// falls on a sample: these use only IEEE-754 additions, multiplications and
// divisions, which round the same way everywhere.
//
// Both are correctly rounded (the result is the double nearest the exact
// value), from a double-double evaluation good to about 2^-100; glibc's pow
// gives the same bits for every value the engine asks for (the unit tests
// compare them).
#pragma once

// 2^(1/12) as the engine has always written it, pow(2.0, 1.0 / 12.0): the
// double nearest 2 to the power of the double nearest 1/12.
inline constexpr double SEMITONE = 0x1.0f38f92d97963p+0;

// SEMITONE^k, the double nearest it; results below the smallest normal
// double (k < -12264) are 0, above the largest (k > 12287) infinity.
double semitone_power(int k);

// The rounding error of the product a * b: a * b - fl(a * b), exactly (for
// |a|, |b| < 2^995), without a fused multiply-add, whose library fallback is
// not the same everywhere.
double product_error(double a, double b);

// 2^x, the double nearest it; 0 below the normal range, infinity above it,
// NaN for NaN.
double exact_exp2(double x);
