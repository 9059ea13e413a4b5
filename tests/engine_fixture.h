// Every engine test starts from a fresh engine, whose parts it names briefly.
// A part is no field of the engine: a value written goes through the
// engine's door (`set`, or `load` of the whole instrument for a value no
// slider gives), and a value read is a copy the reference renderer takes
// (tests/oracle.h).
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "engine/engine.h"
#include "engine/notes.h"
#include "engine/reference.h"
#include "files/instrument_file.h"
#include "tests/oracle.h"

// Values read from an engine's snapshot, one at a time: r[i].
template <class T>
struct engine_reading {
    std::function<T(int)> read;
    T operator[](int i) const { return read(i); }
};

// One value of an engine read from its snapshot.
struct engine_scalar {
    std::function<double()> read;
    operator double() const { return read(); }
};

// A parameter by number, through the door: assigned in the engine's units
// (a fade length of -1 is off), read as the engine holds it.
class engine_param {
public:
    engine_param(synth_engine& e, int id) : engine_(e), id_(id) {}
    operator double() const { return snapshot(engine_).value[size_t(id_)]; }
    engine_param& operator=(double v) {
        const param_ref r = param_at(id_);
        const double table = table_value(r.kind, v);
        if (r.instrument != 0 && engine_value(r.kind, clamp_param(r.kind, table)) != v) {
            // No slider gives it: the instrument as a file holding it.
            const engine_snapshot s = snapshot(engine_);
            instrument_record rec{};
            for (int i = 0; i < INSTRUMENT_PARAMS; ++i) {
                const param_ref p = param_at(i);
                const int id = param_id(r.instrument, p.kind, p.oscillator);
                rec.at(p.kind, p.oscillator) = record_word(p.kind, id == id_ ? v : s.value[size_t(id)]);
            }
            engine_.load(r.instrument, rec);
        } else {
            engine_.set(id_, table);
        }
        return *this;
    }
    engine_param& operator=(const engine_param& o) { return *this = double(o); }

private:
    synth_engine& engine_;
    int id_;
};

// Instrument 1 or 2 of an engine.
struct instrument_under_test {
    instrument_under_test(synth_engine& e, int number)
        : engine(e), n(number),
          envpos{[this](int i) { return snapshot(engine).envpos[size_t((n - 1) * NOTES + i)]; }},
          velocity{[this](int i) { return snapshot(engine).velocity[size_t((n - 1) * NOTES + i)]; }},
          fadecount{[this](int i) { return snapshot(engine).fadecount[size_t((n - 1) * NOTES + i)]; }},
          phase{[this](int k) { return snapshot(engine).phase[size_t((n - 1) * OSCILLATORS + k)]; }},
          oscstep{[this](int k) { return snapshot(engine).oscstep[size_t((n - 1) * OSCILLATORS + k)]; }} {}
    instrument_under_test(const instrument_under_test&) = delete;

    synth_engine& engine;
    const int n;
    engine_param at(int kind, int oscillator = 0) { return {engine, param_id(n, kind, oscillator)}; }
    instrument_record record() const { return engine.record(n); }

    engine_reading<int> envpos, velocity, fadecount;
    engine_reading<double> phase, oscstep;
};

// A test's own engine, and its parts under the names the tests use.
struct engine_under_test {
    synth_engine engine;
    instrument_under_test i1{engine, 1};
    instrument_under_test i2{engine, 2};
    engine_reading<int> noteon{[this](int note) { return snapshot(engine).noteon[size_t(note)]; }};
    engine_param transpose{engine, param_id(0, K_TRANSPOSE)};
    engine_param multimode{engine, param_id(0, K_MODE)};
    engine_param splitkey{engine, param_id(0, K_SPLITKEY)};
    engine_param fade1{engine, param_id(0, K_FADE1)};
    engine_param fade2{engine, param_id(0, K_FADE2)};
    engine_scalar oscvibrato{[this] { return snapshot(engine).vibrato_phase; }};
};

class EngineTest : public ::testing::Test, protected engine_under_test {
protected:
    void note_on(int note, int velocity, int status = 0x90) { send(engine, short_message(status, note, velocity)); }
    void note_off(int note) { note_on(note, 0); }
    // One sample of one of the engine's instruments.
    double render_normal(const instrument_under_test* in) { return ::render_normal(engine, in->n); }

    // Renders n samples through the engine's door.
    std::vector<int16_t> stream(int n) {
        std::vector<int16_t> buf(size_t(n) + 4, int16_t(0x5A5A));
        engine.render(buf.data(), n);
        EXPECT_EQ(buf[size_t(n)], int16_t(0x5A5A)) << "wrote past the buffer";
        buf.resize(size_t(n));
        return buf;
    }
};
