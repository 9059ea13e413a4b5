#include <cstring>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "files/instrument_file.h"
#include "panel/callbacks.h"

class CallbacksTest : public EngineTest {};

TEST_F(CallbacksTest, GlobalSliders) {
    transposeslider(&engine, 0);
    EXPECT_EQ(transpose, -25);
    transposeslider(&engine, 25);
    EXPECT_EQ(transpose, 0);
    transposeslider(&engine, 50);
    EXPECT_EQ(transpose, 25);
    splitslider(&engine, 61);
    fade1slider(&engine, 12);
    fade2slider(&engine, 50);
    EXPECT_EQ(splitkey, 61);
    EXPECT_EQ(fade1, 12);
    EXPECT_EQ(fade2, 50);
}

TEST_F(CallbacksTest, ConversionsAtTheirEnds) {
    EXPECT_EQ(attacklen1(&engine, 0), 0);
    EXPECT_EQ(i1.attacklen, 1);
    attacklen1(&engine, 100);
    EXPECT_EQ(i1.attacklen, 20001);
    decaylen2(&engine, 0);
    releaselen2(&engine, 100);
    EXPECT_EQ(i2.decaylen, 1);
    EXPECT_EQ(i2.releaselen, 20001);

    fadelen1(&engine, 0);
    EXPECT_EQ(i1.fadelen, -1);
    fadelen1(&engine, 1);
    EXPECT_EQ(i1.fadelen, 2000);
    fadelen1(&engine, 200);
    EXPECT_EQ(i1.fadelen, 400000);

    vol4_1(&engine, 100);
    EXPECT_EQ(i1.vol[4], 1.0);
    vol4_1(&engine, 37);
    EXPECT_EQ(i1.vol[4], 0.37);
    vib9_2(&engine, 50);
    EXPECT_EQ(i2.vib[9], 1.0);
    attack1(&engine, 100);
    decay2(&engine, 100);
    EXPECT_EQ(i1.attack, 2.0);
    EXPECT_EQ(i2.decay, 2.0);
    wav7_1(&engine, 3);
    EXPECT_EQ(i1.wav[7], 3);
    frq2_2(&engine, 50);
    EXPECT_EQ(i2.frq[2], 0);
    frq2_2(&engine, 0);
    EXPECT_EQ(i2.frq[2], -50);
}

TEST_F(CallbacksTest, FrequencyMoveRecomputesOnlyItsInstrument) {
    for (int k = 0; k < OSCILLATORS; ++k) {
        i1.oscstep[k] = -1.0;
        i2.oscstep[k] = -1.0;
    }
    i2.frq[5] = 7;
    frq3_2(&engine, 62); // +12
    for (int k = 0; k < OSCILLATORS; ++k) {
        double want = 6.282 / (44100.0 / spechertz(k == 3 ? 12 : k == 5 ? 7 : 0));
        EXPECT_EQ(i2.oscstep[k], want) << k;
        EXPECT_EQ(i1.oscstep[k], -1.0) << k;
    }
    compute_oscsteps(i1);
    EXPECT_EQ(i1.oscstep[0], 6.282 / 44100.0);
}

// Every slider callback writes its own field of its own instrument and
// nothing else: a wrong name in the generated twins shows up here.
TEST_F(CallbacksTest, EachCallbackWritesExactlyItsField) {
    auto snapshot = [this] {
        instrument_record a = record_of(i1), b = record_of(i2);
        std::vector<uint8_t> bytes(2 * INSTRUMENT_FILE_SIZE);
        encode_record(a, bytes.data());
        encode_record(b, bytes.data() + INSTRUMENT_FILE_SIZE);
        return bytes;
    };
    // Offsets of the fields within an encoded record.
    const int osc_offset[OSC_PARAM_COUNT] = {4, 0, 8, 12};
    const int env_offset[ENV_PARAM_COUNT] = {160, 164, 172, 176, 184, 188};
    const int position[OSC_PARAM_COUNT] = {73, 61, 2, 35};
    const int env_position[ENV_PARAM_COUNT] = {3, 17, 4, 19, 5, 6};

    for (int inst = 1; inst <= 2; ++inst) {
        for (int param = 0; param < OSC_PARAM_COUNT; ++param) {
            for (int k = 0; k < OSCILLATORS; ++k) {
                engine.reset();
                auto before = snapshot();
                osc_callback(inst, osc_param(param), k)(&engine, position[param]);
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
        for (int param = 0; param < ENV_PARAM_COUNT; ++param) {
            engine.reset();
            auto before = snapshot();
            env_callback(inst, env_param(param))(&engine, env_position[param]);
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
    EXPECT_EQ(osc_callback(1, OSC_VOL, 3), &vol3_1);
    EXPECT_EQ(osc_callback(2, OSC_VIB, 9), &vib9_2);
    EXPECT_EQ(env_callback(2, ENV_FADELEN), &fadelen2);
}

TEST_F(CallbacksTest, SliderPositionsSurviveAFile) {
    // A file written from slider settings puts every slider back.
    vol1_1(&engine, 57);
    vib1_1(&engine, 23);
    frq1_1(&engine, 3);
    wav1_1(&engine, 2);
    attacklen1(&engine, 42);
    attack1(&engine, 99);
    decaylen1(&engine, 100);
    decay1(&engine, 1);
    releaselen1(&engine, 7);
    fadelen1(&engine, 150);
    instrument_record pos = slider_positions(record_of(i1));
    EXPECT_EQ(pos.vol[1], 57);
    EXPECT_EQ(pos.vib[1], 23);
    EXPECT_EQ(pos.frq[1], 3);
    EXPECT_EQ(pos.wav[1], 2);
    EXPECT_EQ(pos.attacklen, 42);
    EXPECT_EQ(pos.attack, 99);
    EXPECT_EQ(pos.decaylen, 100);
    EXPECT_EQ(pos.decay, 1);
    EXPECT_EQ(pos.releaselen, 7);
    EXPECT_EQ(pos.fadelen, 150);
}
