// Shared by the fuzz targets: a check that stops the run with a message, and
// the engine's output rendered twice to find samples it did not write.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/engine.h"
#include "engine/reference.h"

#define FUZZ_CHECK(cond)                                                                      \
    do {                                                                                      \
        if (!(cond)) {                                                                        \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);     \
            std::abort();                                                                     \
        }                                                                                     \
    } while (0)

// The bytes of a fuzz input taken from the front; zeros once it is used up.
struct fuzz_input {
    const uint8_t* p;
    size_t left;
    bool empty() const { return left == 0; }
    template <class T>
    T take() {
        T v{};
        const size_t n = left < sizeof v ? left : sizeof v;
        std::memcpy(&v, p, n);
        p += n;
        left -= n;
        return v;
    }
};

// An engine's output of one run, into buffers of exactly the size asked
// for, each filled with `fill` beforehand. At most `budget` samples in all.
class sink {
public:
    sink(synth_engine& e, int16_t fill, long budget = 16384) : engine(e), fill_(fill), budget_(budget) {}

    synth_engine& engine; // the engine the run plays

    void stream(int n) {
        n = take(n);
        if (n == 0) return;
        std::vector<int16_t> buf(size_t(n), fill_);
        engine.render(buf.data(), n);
        out.insert(out.end(), buf.begin(), buf.end());
    }
    // Returns the number of samples rendered.
    int until_silent(int n) {
        n = take(n);
        if (n == 0) return 0;
        std::vector<int16_t> buf(size_t(n), fill_);
        const int got = render_while_sounding(engine, buf.data(), n);
        FUZZ_CHECK(got >= 0 && got <= n);
        out.insert(out.end(), buf.begin(), buf.begin() + got);
        return got;
    }
    bool spent() const { return budget_ == 0; }

    std::vector<int16_t> out;

private:
    int take(int n) {
        if (n < 0) n = 0;
        if (n > budget_) n = int(budget_);
        budget_ -= n;
        return n;
    }
    int16_t fill_;
    long budget_;
};

// Plays the same input twice, each time on a fresh engine, into buffers
// filled with different patterns: a sample the renderer did not write, or
// one that depends on anything but the input, differs between the two.
template <class Play>
void check_every_sample(Play&& play) {
    synth_engine first, second;
    sink a(first, 0x5A5A), b(second, int16_t(0xA5A5));
    play(a);
    play(b);
    FUZZ_CHECK(a.out == b.out);
}
