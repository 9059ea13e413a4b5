#include "engine/exact_pow.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace {

// A double-double: hi + lo with |lo| at most half an ulp of hi.
struct dd {
    double hi, lo;
};

constexpr dd two_sum(double a, double b) {
    const double s = a + b, bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

constexpr dd quick_two_sum(double a, double b) { // |a| >= |b|
    const double s = a + b;
    return {s, b - (s - a)};
}

// Dekker's product without a fused multiply-add (whose library fallback is
// not the same everywhere): a * b = hi + lo exactly, for |a|, |b| < 2^995.
constexpr dd two_prod(double a, double b) {
    constexpr double SPLIT = 134217729.0; // 2^27 + 1
    const double p = a * b;
    const double ta = SPLIT * a, ah = ta - (ta - a), al = a - ah;
    const double tb = SPLIT * b, bh = tb - (tb - b), bl = b - bh;
    return {p, ((ah * bh - p) + ah * bl + al * bh) + al * bl};
}

constexpr dd mul(dd x, dd y) {
    dd p = two_prod(x.hi, y.hi);
    p.lo += x.hi * y.lo + x.lo * y.hi;
    return quick_two_sum(p.hi, p.lo);
}

constexpr dd add(dd x, dd y) {
    dd s = two_sum(x.hi, y.hi);
    const dd t = two_sum(x.lo, y.lo);
    s.lo += t.hi;
    s = quick_two_sum(s.hi, s.lo);
    s.lo += t.lo;
    return quick_two_sum(s.hi, s.lo);
}

constexpr dd div(dd x, dd y) {
    const double q1 = x.hi / y.hi;
    dd r = add(x, mul({-q1, 0.0}, y));
    const double q2 = r.hi / y.hi;
    r = add(r, mul({-q2, 0.0}, y));
    const double q3 = r.hi / y.hi;
    return add(quick_two_sum(q1, q2), {q3, 0.0});
}

constexpr double TWO_500 = 0x1p500, TWO_M500 = 0x1p-500;

// v * 2^e as the nearest double; 0 below the normal range (no rounding into
// subnormals, where scaling would round twice), infinity above it.
double scaled(dd v, int e) {
    const double r = v.hi + v.lo;
    // r is in [2^-600, 2^600] here; e is a multiple of 500.
    if (e == 0) return r;
    if (e > 0) {
        if (e > 1000) return 1.0 / 0.0;
        double s = r;
        for (int k = 0; k < e; k += 500) s *= TWO_500;
        return s;
    }
    if (e < -1000) return 0.0;
    // Below 2^-1022 the result is no longer normal.
    const double limit = e == -500 ? 0x1p-522 : 0x1p-22;
    if (r < limit) return 0.0;
    double s = r;
    for (int k = 0; k > e; k -= 500) s *= TWO_M500;
    return s;
}

// base^n for n >= 0, by squaring, kept within [2^-500, 2^500] by whole
// powers of 2^500 counted in e.
dd power(dd base, unsigned n, int& e) {
    dd result{1.0, 0.0};
    int be = 0;
    e = 0;
    auto keep = [](dd& v, int& ve) {
        while (v.hi > TWO_500) { v.hi *= TWO_M500; v.lo *= TWO_M500; ve += 500; }
        while (v.hi < TWO_M500) { v.hi *= TWO_500; v.lo *= TWO_500; ve -= 500; }
    };
    while (n) {
        if (n & 1) {
            result = mul(result, base);
            e += be;
            keep(result, e);
        }
        n >>= 1;
        if (n) {
            base = mul(base, base);
            be *= 2;
            keep(base, be);
        }
    }
    return result;
}

// 2^m for |m| <= 1022, from its bits.
double two_to(int m) {
    const uint64_t bits = uint64_t(m + 1023) << 52;
    double r;
    std::memcpy(&r, &bits, sizeof r);
    return r;
}

// 1/k! for k = 0..24, each as a double-double, worked out by the compiler
// with the same operations as above.
constexpr auto inverse_factorials = [] {
    std::array<dd, 25> c{};
    c[0] = {1.0, 0.0};
    for (int k = 1; k < 25; ++k) c[k] = div(c[k - 1], {double(k), 0.0});
    return c;
}();

} // namespace

double product_error(double a, double b) { return two_prod(a, b).lo; }

double semitone_power(int k) {
    if (k > 12287) return 1.0 / 0.0;
    if (k < -12264) return 0.0;
    const dd base = k >= 0 ? dd{SEMITONE, 0.0} : div({1.0, 0.0}, {SEMITONE, 0.0});
    int e;
    const dd v = power(base, unsigned(k >= 0 ? k : -k), e);
    return scaled(v, e);
}

double exact_exp2(double x) {
    if (!(x == x)) return x;
    if (x >= 1024.0) return 1.0 / 0.0;
    if (x < -1022.0) return 0.0;
    // x = n + f with n whole and |f| <= 1/2; both exact.
    const int n = x >= 0.0 ? int(x + 0.5) : -int(0.5 - x);
    const double f = x - double(n);
    // y = f ln 2 in double-double, then e^y by its series to y^24 / 24!,
    // which leaves less than 2^-113 for |y| <= 0.35.
    constexpr dd LN2{0x1.62e42fefa39efp-1, 0x1.abc9e3b39803fp-56};
    const dd y = add(two_prod(f, LN2.hi), two_prod(f, LN2.lo));
    dd sum = inverse_factorials[24];
    for (int k = 23; k >= 0; --k) sum = add(mul(sum, y), inverse_factorials[k]);
    // Times 2^n, in two factors that are each a normal double (|n| <= 1023).
    const int first = n / 2, second = n - first;
    const double result = (sum.hi + sum.lo) * two_to(first) * two_to(second);
    return result < 0x1p-1022 ? 0.0 : result;
}
