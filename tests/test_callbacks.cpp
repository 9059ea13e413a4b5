#include <cstring>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "files/instrument_file.h"
#include "panel/callbacks.h"

class CallbacksTest : public EngineTest {};

// A slider position through its callback gives the value in its kind's
// units (as the instrument holds it: a fade that is off is -1), at both ends
// of each conversion and in between.
TEST_F(CallbacksTest, SliderPositionsGiveTheirValues) {
    const struct { int instrument, kind, oscillator, position; double value; } rows[] = {
        {0, K_TRANSPOSE, 0, 0, -25},     {0, K_TRANSPOSE, 0, 25, 0},     {0, K_TRANSPOSE, 0, 50, 25},
        {0, K_SPLITKEY, 0, 61, 61},      {0, K_FADE1, 0, 12, 12},        {0, K_FADE2, 0, 50, 50},
        {1, K_ATTACKLEN, 0, 0, 1},       {1, K_ATTACKLEN, 0, 100, 20001},
        {2, K_DECAYLEN, 0, 0, 1},        {2, K_RELEASELEN, 0, 100, 20001},
        {1, K_FADELEN, 0, 0, -1},        {1, K_FADELEN, 0, 1, 2000},     {1, K_FADELEN, 0, 200, 400000},
        {1, K_VOL, 4, 100, 1.0},         {1, K_VOL, 4, 37, 0.37},        {2, K_VIB, 9, 50, 1.0},
        {1, K_ATTACK, 0, 100, 2.0},      {2, K_DECAY, 0, 100, 2.0},      {1, K_WAV, 7, 3, 3},
        {2, K_FRQ, 2, 50, 0},            {2, K_FRQ, 2, 0, -50},
    };
    for (auto r : rows) {
        SCOPED_TRACE(std::string(param_kinds[r.kind].key) + " at " + std::to_string(r.position));
        EXPECT_EQ(param_callback(r.instrument, r.kind, r.oscillator)(&engine, r.position), 0);
        const double stored = r.instrument == 0 ? engine.get(param_id(0, r.kind))
                              : double((r.instrument == 1 ? i1 : i2).at(r.kind, r.oscillator));
        EXPECT_EQ(stored, r.value);
    }
}

TEST_F(CallbacksTest, FrequencyMoveRecomputesOnlyItsInstrument) {
    i1.at(K_FRQ, 2) = 5;
    i2.at(K_FRQ, 5) = 7;
    param_callback(2, K_FRQ, 3)(&engine, 62); // +12
    for (int k = 0; k < OSCILLATORS; ++k) {
        double want = 6.282 / (44100.0 / spechertz(k == 3 ? 12 : k == 5 ? 7 : 0));
        EXPECT_EQ(i2.oscstep[k], want) << k;
        EXPECT_EQ(i1.oscstep[k], 6.282 / (44100.0 / spechertz(k == 2 ? 5 : 0))) << k;
    }
}

// Every slider callback writes its own field of its own instrument and
// nothing else: a wrong name in the generated twins shows up here.
TEST_F(CallbacksTest, EachCallbackWritesExactlyItsField) {
    auto snapshot = [this] {
        instrument_record a = i1.record(), b = i2.record();
        std::vector<uint8_t> bytes(2 * INSTRUMENT_FILE_SIZE);
        encode_record(a, bytes.data());
        encode_record(b, bytes.data() + INSTRUMENT_FILE_SIZE);
        return bytes;
    };
    // Offsets of the fields within an encoded record.
    const int osc_offset[OSCILLATOR_KINDS] = {4, 0, 8, 12};
    const int env_offset[ENVELOPE_KINDS] = {160, 164, 172, 176, 184, 188};
    const int position[OSCILLATOR_KINDS] = {73, 61, 2, 35};
    const int env_position[ENVELOPE_KINDS] = {3, 17, 4, 19, 5, 6};

    for (int inst = 1; inst <= 2; ++inst) {
        for (int param = 0; param < OSCILLATOR_KINDS; ++param) {
            for (int k = 0; k < OSCILLATORS; ++k) {
                engine.reset();
                auto before = snapshot();
                param_callback(inst, param, k)(&engine, position[param]);
                auto after = snapshot();
                int at = (inst - 1) * 192 + 16 * k + osc_offset[param];
                for (size_t b = 0; b < before.size(); ++b) {
                    if (int(b) / 4 != at / 4) {
                        ASSERT_EQ(before[b], after[b]) << inst << " " << param << " " << k;
                    }
                }
                ASSERT_NE(std::memcmp(&before[size_t(at)], &after[size_t(at)], 4), 0)
                    << inst << " " << param << " " << k;
            }
        }
        for (int param = 0; param < ENVELOPE_KINDS; ++param) {
            engine.reset();
            auto before = snapshot();
            param_callback(inst, K_ATTACKLEN + param)(&engine, env_position[param]);
            auto after = snapshot();
            int at = (inst - 1) * 192 + env_offset[param];
            for (size_t b = 0; b < before.size(); ++b) {
                if (int(b) / 4 != at / 4) {
                    ASSERT_EQ(before[b], after[b]) << inst << " " << param;
                }
            }
            ASSERT_NE(std::memcmp(&before[size_t(at)], &after[size_t(at)], 4), 0) << inst << " " << param;
        }
    }
    // Only parameters have callbacks.
    EXPECT_EQ(param_callback(0, K_VOL, 3), nullptr);
    EXPECT_EQ(param_callback(0, K_CONTROLLERS + 1), nullptr);
}

TEST_F(CallbacksTest, SliderPositionsSurviveAFile) {
    // A file written from slider settings puts every slider back.
    param_callback(1, K_VOL, 1)(&engine, 57);
    param_callback(1, K_VIB, 1)(&engine, 23);
    param_callback(1, K_FRQ, 1)(&engine, 3);
    param_callback(1, K_WAV, 1)(&engine, 2);
    param_callback(1, K_ATTACKLEN)(&engine, 42);
    param_callback(1, K_ATTACK)(&engine, 99);
    param_callback(1, K_DECAYLEN)(&engine, 100);
    param_callback(1, K_DECAY)(&engine, 1);
    param_callback(1, K_RELEASELEN)(&engine, 7);
    param_callback(1, K_FADELEN)(&engine, 150);
    instrument_record pos = slider_positions(i1.record());
    EXPECT_EQ(pos.at(K_VOL, 1), 57);
    EXPECT_EQ(pos.at(K_VIB, 1), 23);
    EXPECT_EQ(pos.at(K_FRQ, 1), 3);
    EXPECT_EQ(pos.at(K_WAV, 1), 2);
    EXPECT_EQ(pos.at(K_ATTACKLEN), 42);
    EXPECT_EQ(pos.at(K_ATTACK), 99);
    EXPECT_EQ(pos.at(K_DECAYLEN), 100);
    EXPECT_EQ(pos.at(K_DECAY), 1);
    EXPECT_EQ(pos.at(K_RELEASELEN), 7);
    EXPECT_EQ(pos.at(K_FADELEN), 150);
}
