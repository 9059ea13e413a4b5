// Every engine test starts from a fresh engine, whose parts it names briefly.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "engine/engine.h"
#include "engine/notes.h"

// A test's own engine, and its parts under the names the tests use.
struct engine_under_test {
    synth_engine engine;
    instrument& i1 = engine.i1;
    instrument& i2 = engine.i2;
    shared<int> (&noteon)[NOTES] = engine.noteon;
    shared<int>& transpose = engine.transpose;
    shared<int>& multimode = engine.multimode;
    shared<int>& splitkey = engine.splitkey;
    shared<int>& fade1 = engine.fade1;
    shared<int>& fade2 = engine.fade2;
    double& oscvibrato = engine.oscvibrato;
};

class EngineTest : public ::testing::Test, protected engine_under_test {
protected:
    void note_on(int note, int velocity, int status = 0x90) { engine.midi(short_message(status, note, velocity)); }
    void note_off(int note) { note_on(note, 0); }
    // One sample of one of the engine's instruments.
    double render_normal(instrument* in) { return ::render_normal(engine, in); }

    // Renders n samples through the engine's door.
    std::vector<int16_t> stream(int n) {
        std::vector<int16_t> buf(size_t(n) + 4, int16_t(0x5A5A));
        engine.render(buf.data(), n);
        EXPECT_EQ(buf[size_t(n)], int16_t(0x5A5A)) << "wrote past the buffer";
        buf.resize(size_t(n));
        return buf;
    }
};
