// Every engine test starts from the start-up state of the program.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "engine/engine.h"
#include "engine/notes.h"

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override { engine_init(); }

    static void note_on(int note, int velocity, int status = 0x90) {
        addData(short_message(status, note, velocity));
    }
    static void note_off(int note) { note_on(note, 0); }

    // Renders n samples through the stream callback.
    static std::vector<int16_t> stream(int n) {
        std::vector<int16_t> buf(size_t(n) + 4, int16_t(0x5A5A));
        streamcallback(nullptr, buf.data(), 2 * n, 0);
        EXPECT_EQ(buf[size_t(n)], int16_t(0x5A5A)) << "wrote past the buffer";
        buf.resize(size_t(n));
        return buf;
    }
};
