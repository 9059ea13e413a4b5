// The vector oscillator code at the angles where it is easiest to get wrong:
// the edges of a cycle and of its half, huge angles, and a cosine over the
// whole range long notes reach.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "engine/cosine.h"
#include "engine/engine.h"
#include "engine/reference.h"
#include "engine/osc_kernels.h"

namespace {

// The cosine the codes are held to. MinGW's cos is far off past 1e3 radians;
// ours is within an ulp or two of the true cosine everywhere (held to
// glibc's in the engine's tests), so Windows checks against it.
double true_cos(double x) {
#ifdef _WIN32
    return portable_cos(x);
#else
    return std::cos(x);
#endif
}

struct code {
    const char* name;
    osc_kernel sum;
    noise_kernel noise;
    cosine_kernel cosines;
};

void PrintTo(const code& c, std::ostream* os) { *os << c.name; }

const code codes[] = {{"sse2", osc_sse2::osc_sum, osc_sse2::noise_sum, osc_sse2::cosines},
                      {"avx2", osc_avx2::osc_sum, osc_avx2::noise_sum, osc_avx2::cosines},
                      {"avx512", osc_avx512::osc_sum, osc_avx512::noise_sum, osc_avx512::cosines}};

bool runs_here(const std::string& name) {
    __builtin_cpu_init();
    if (name == "avx2") return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    if (name == "avx512")
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq");
    return true;
}

// One voice at 1 Hz with level 1: the kernel's sum is the wave of ph itself.
std::vector<double> wave_of(osc_kernel k, int wave, std::vector<double> ph) {
    ph.resize((ph.size() + 7) / 8 * 8, 0.0);
    std::vector<double> env(ph.size(), 1.0), out(ph.size());
    const double hz = 1.0;
    k(wave, osc_block{ph.data(), int(ph.size()), &hz, env.data(), int(ph.size()), 1, out.data()});
    return out;
}

// Angles next to whole and half cycles: a few steps of the last bit either side.
std::vector<double> cycle_edges() {
    std::mt19937_64 rng(7);
    std::vector<double> xs;
    for (int i = 0; i < 4000; ++i) {
        double m = double(rng() % (i < 2000 ? 100000 : 2147483000)) + 1;
        for (double base : {m * 6.282, m * 6.282 + 3.141}) {
            double x = base;
            for (int j = 0; j < 4; ++j) x = std::nextafter(x, 0.0);
            for (int j = 0; j < 9; ++j, x = std::nextafter(x, 1e300)) xs.push_back(x);
        }
    }
    for (double x : {0.0, 6.282, 3.141, 2147483648.0 * 6.282, 1e13 + 0.5, 1e15})
        xs.push_back(x);
    return xs;
}

} // namespace

class OscKernel : public ::testing::TestWithParam<code> {
protected:
    void SetUp() override {
        if (!runs_here(GetParam().name)) GTEST_SKIP() << "not on this processor";
    }
};

TEST_P(OscKernel, SquareIsExactAtEveryEdge) {
    auto xs = cycle_edges();
    auto got = wave_of(GetParam().sum, 1, xs);
    int wrong = 0;
    for (size_t i = 0; i < xs.size(); ++i)
        if (got[i] != sqrwave(xs[i]) && wrong++ < 5)
            ADD_FAILURE() << "angle " << xs[i] << ": " << got[i] << " instead of " << sqrwave(xs[i]);
    EXPECT_EQ(wrong, 0);
}

TEST_P(OscKernel, SawtoothNeverJumpsAtTheWrongSide) {
    auto xs = cycle_edges();
    auto got = wave_of(GetParam().sum, 2, xs);
    for (size_t i = 0; i < xs.size(); ++i)
        ASSERT_NEAR(got[i], sawwave(xs[i]), 1e-12) << "angle " << xs[i];
}

TEST_P(OscKernel, CosineOverTheAnglesOfLongNotes) {
    std::mt19937_64 rng(3);
    std::vector<double> xs;
    for (int i = 0; i < 20000; ++i) {
        double scale = std::pow(10.0, double(rng() % 11)); // up to 10^10
        xs.push_back(std::ldexp(double(rng() >> 11), -53) * scale);
    }
    auto got = wave_of(GetParam().sum, 0, xs);
    double worst = 0.0;
    for (size_t i = 0; i < xs.size(); ++i) worst = std::max(worst, std::fabs(got[i] - true_cos(xs[i])));
    EXPECT_LT(worst, 1e-11);
}

// Angles of notes held long at offsets only a file can hold (steps up to 1e6,
// a day into the note, the highest pitches), low pitches beside high ones in
// one block, and the edges of each code's own range: every voice agrees with
// the true cosine.
TEST_P(OscKernel, CosineAtEveryAngleAFileReaches) {
    std::vector<double> ph;
    for (int offset : {50, 300, 350, 390, 392})
        for (double seconds : {0.01, 0.5, 8.8, 600.0, 86400.0})
            for (int i = 0; i < 16; ++i)
                ph.push_back((seconds * 44100 + i) * (6.282 / (44100.0 / spechertz(offset))));
    const double hz[] = {realhertz(0), realhertz(57), realhertz(124), realhertz(149)};
    const int voices = 4, n = int(ph.size());
    std::vector<double> env(size_t(n * voices)), out(ph.size());
    for (int v = 0; v < voices; ++v)
        for (int s = 0; s < n; ++s) env[size_t(v * n + s)] = v + 1.0;
    GetParam().sum(0, osc_block{ph.data(), n, hz, env.data(), n, voices, out.data()});
    for (int s = 0; s < n; ++s) {
        double want = 0.0;
        for (int v = 0; v < voices; ++v) want += (v + 1.0) * true_cos(ph[size_t(s)] * hz[v]);
        ASSERT_NEAR(out[size_t(s)], want, 1e-10) << "time base " << ph[size_t(s)];
    }

    std::vector<double> xs;
    for (double edge : {0x1p34, 0x1p49, 0x1p51 * 3.141592653589793, 0x1p53, 1e300}) {
        double x = edge;
        for (int j = 0; j < 8; ++j) x = std::nextafter(x, 0.0);
        for (int j = 0; j < 16; ++j, x = std::nextafter(x, 1e308)) xs.push_back(x);
        xs.push_back(-edge);
    }
    auto got = wave_of(GetParam().sum, 0, xs);
    for (size_t i = 0; i < xs.size(); ++i) ASSERT_NEAR(got[i], true_cos(xs[i]), 1e-11) << xs[i];
}

// The vibrato's cosines: one cycle of phases, both ends included.
TEST_P(OscKernel, VibratoCosinesOverOneCycle) {
    std::vector<double> xs(4096), got(4096);
    for (size_t i = 0; i < xs.size(); ++i) xs[i] = 6.282 * double(i) / double(xs.size() - 1);
    xs[1] = std::nextafter(6.282, 0.0);
    GetParam().cosines(xs.data(), got.data(), int(xs.size()));
    for (size_t i = 0; i < xs.size(); ++i) ASSERT_NEAR(got[i], true_cos(xs[i]), 1e-12) << xs[i];
}

// Every count of noise oscillators, voice counts on both sides of the four
// voices drawn side by side, levels side by side and a block apart: the sum
// of the draws in generator order, each weighed by its voice and oscillator.
TEST_P(OscKernel, NoiseWeighsTheDrawsInGeneratorOrder) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> level(0.01, 25.4), gain(0.0, 2.0 / 32767.0);
    for (int stride : {1, 72})
        for (int oscillators = 1; oscillators <= OSCILLATORS; ++oscillators)
            for (int voices : {1, 2, 3, 4, 5, 7, 8, 9, 63, 99, 100}) {
                std::vector<double> env(size_t((voices + 3) * stride), 0.0);
                for (int v = 0; v < voices; ++v) env[size_t(v * stride)] = level(rng);
                double g[NOISE_GAINS] = {};
                for (int j = 0; j < oscillators; ++j) g[j] = gain(rng);
                const uint32_t state = rng();

                uint32_t s = state;
                double want = 0.0, scale = 0.0;
                for (int v = 0; v < voices; ++v)
                    for (int j = 0; j < oscillators; ++j) {
                        s = s * 214013u + 2531011u;
                        const double w = env[size_t(v * stride)] * g[j];
                        want += w * double((s >> 16) & 0x7FFF);
                        scale += w * 32767.0;
                    }
                const double got =
                    GetParam().noise(noise_block{env.data(), stride, voices, g, oscillators, state});
                ASSERT_NEAR(got, want, scale * 1e-14)
                    << oscillators << " oscillators, " << voices << " voices, stride " << stride;
            }
}

INSTANTIATE_TEST_SUITE_P(, OscKernel, ::testing::ValuesIn(codes),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(NoiseJumps, AreThatManyStepsOfTheGenerator) {
    for (uint32_t start : {0u, 1u, 0x7FFF0000u, 0xFFFFFFFFu, 123456789u}) {
        uint32_t s = start;
        for (int k = 0; k < NOISE_JUMPS; ++k) {
            ASSERT_EQ(start * noise_jump.mul[k] + noise_jump.add[k], s) << start << " " << k;
            s = s * 214013u + 2531011u;
        }
    }
}

// The mix of both instruments, eight samples at a time, sample for sample as
// to_sample gives it, and nothing written past the last sample.
TEST(MixToSamples, AgreesWithToSampleAtTheEdges) {
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<double> edges = {0.0, -0.0, 1e-300, -1e-300, 0.5 / 256, -0.5 / 256, 1.0 / 256,
                                 -1.0 / 256, 127.99609375, 127.996, 128.0, 1e300, -128.0,
                                 -128.001, -127.999, -1e300, inf, -inf,
                                 std::numeric_limits<double>::quiet_NaN(), 25.2, -25.2};
    for (double x : {127.99609375, -128.0, 1.0 / 256, -1.0 / 256}) {
        edges.push_back(std::nextafter(x, inf));
        edges.push_back(std::nextafter(x, -inf));
    }
    std::mt19937 rng(5);
    std::vector<double> a, b;
    for (double x : edges)
        for (double y : edges) {
            a.push_back(x);
            b.push_back(y);
        }
    for (int i = 0; i < 2000; ++i) {
        a.push_back(std::uniform_real_distribution<double>(-140.0, 140.0)(rng));
        b.push_back(std::uniform_real_distribution<double>(-20.0, 20.0)(rng));
    }
    for (int n : {0, 1, 7, 8, 9, 15, 16, int(a.size())}) {
        std::vector<int16_t> out(size_t(n) + 8, 12345);
        mix_to_samples(a.data(), b.data(), out.data(), n);
        for (int i = 0; i < n; ++i) {
            double sum = 0.0;
            sum = sum + a[size_t(i)];
            sum = sum + b[size_t(i)];
            ASSERT_EQ(out[size_t(i)], to_sample(sum)) << a[size_t(i)] << " + " << b[size_t(i)];
        }
        for (size_t i = size_t(n); i < out.size(); ++i) ASSERT_EQ(out[i], 12345) << "past " << n;
    }
}
