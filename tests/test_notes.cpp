#include "engine_fixture.h"
#include "platform/windows/winmm_message.h"

struct levels { int on_i1, on_i2; };

class NotesTest : public EngineTest {
protected:
    // Applies the posted starts by rendering one sample of each instrument.
    void settle() {
        render_normal(&i1);
        render_normal(&i2);
    }

    levels route(int note, int velocity = 127) {
        engine.midi(short_message(0x90, note, velocity));
        settle();
        return {i1.velocity[note], i2.velocity[note]};
    }
};

TEST_F(NotesTest, LevelIsTheSquaredVelocity) {
    EXPECT_EQ(note_level(127), 126);
    EXPECT_EQ(note_level(100), 78);
    EXPECT_EQ(note_level(64), 32);
    EXPECT_EQ(note_level(12), 1);
    EXPECT_EQ(note_level(11), 0);
    EXPECT_EQ(note_level(0), 0);
}

TEST_F(NotesTest, NoteOnStartsAVoiceAndRecordsTheKey) {
    note_on(64, 100);
    EXPECT_EQ(noteon[64], 100);
    settle();
    EXPECT_EQ(i1.velocity[64], 78);
    EXPECT_EQ(i1.envpos[64], 1);
    EXPECT_EQ(i1.fadecount[64], -1);
    EXPECT_EQ(i2.velocity[64], 0);

    note_on(65, 11); // key held, no voice
    settle();
    EXPECT_EQ(noteon[65], 11);
    EXPECT_EQ(i1.velocity[65], 0);
}

TEST_F(NotesTest, SingleAndSplitModes) {
    multimode = 1;
    EXPECT_EQ(route(30).on_i1, 0);
    EXPECT_EQ(route(31).on_i2, 126);

    multimode = 2;
    splitkey = 60;
    EXPECT_EQ(route(59).on_i1, 126);
    EXPECT_EQ(route(59).on_i2, 0);
    EXPECT_EQ(route(60).on_i1, 0); // the split key itself is upper
    EXPECT_EQ(route(60).on_i2, 126);

    engine.reset();
    multimode = 3;
    splitkey = 60;
    EXPECT_EQ(route(59).on_i2, 126);
    EXPECT_EQ(route(59).on_i1, 0);
    EXPECT_EQ(route(60).on_i1, 126);
    EXPECT_EQ(route(60).on_i2, 0);

    engine.reset();
    for (int mode : {6, -1, 1000}) {
        multimode = mode;
        levels l = route(40);
        EXPECT_EQ(l.on_i1, 0) << mode;
        EXPECT_EQ(l.on_i2, 0) << mode;
        EXPECT_EQ(noteon[40], 127);
    }
}

TEST_F(NotesTest, FadeModesShareTheLevel) {
    multimode = 4; // fade1 50, fade2 90
    const int notes[] = {40, 50, 60, 70, 80, 90, 95};
    const levels want[] = {{126, 0}, {126, 0}, {94, 31}, {63, 63}, {31, 94}, {0, 126}, {0, 126}};
    for (int i = 0; i < 7; ++i) {
        levels l = route(notes[i]);
        EXPECT_EQ(l.on_i1, want[i].on_i1) << notes[i];
        EXPECT_EQ(l.on_i2, want[i].on_i2) << notes[i];
    }
    engine.reset();
    multimode = 5;
    for (int i = 0; i < 7; ++i) {
        levels l = route(notes[i]);
        EXPECT_EQ(l.on_i1, want[i].on_i2) << notes[i];
        EXPECT_EQ(l.on_i2, want[i].on_i1) << notes[i];
    }
}

TEST_F(NotesTest, FadePointsReversedOrEqual) {
    EXPECT_EQ(fade_share(70, 90, 50), 0.5);
    EXPECT_EQ(fade_share(90, 90, 50), 0.0);
    EXPECT_EQ(fade_share(95, 90, 50), 0.0);
    EXPECT_EQ(fade_share(50, 90, 50), 1.0);
    EXPECT_EQ(fade_share(20, 90, 50), 1.0);
    // Equal points: a split at that key, with the key itself on the upper side.
    EXPECT_EQ(fade_share(59, 60, 60), 0.0);
    EXPECT_EQ(fade_share(60, 60, 60), 1.0);
    EXPECT_EQ(fade_share(61, 60, 60), 1.0);

    multimode = 4;
    fade1 = 60;
    fade2 = 60;
    levels at = route(60);
    EXPECT_EQ(at.on_i1, 0);
    EXPECT_EQ(at.on_i2, 126);
}

TEST_F(NotesTest, AZeroShareEndsTheOtherInstrumentsVoice) {
    multimode = 4;
    route(70); // both sound
    EXPECT_GT(i2.velocity[70], 0);
    fade2 = 100;
    fade1 = 80;
    route(70); // all to i1: the start of i2 with level 0 ends its voice
    EXPECT_EQ(i1.velocity[70], 126);
    EXPECT_EQ(i2.velocity[70], 0);
}

TEST_F(NotesTest, NoteOffOnChannelOneReleases) {
    note_on(50, 127);
    note_on(50, 64, 0x80);
    EXPECT_EQ(noteon[50], 0);
    note_on(51, 127);
    note_on(51, 0, 0x81); // another channel: no effect
    EXPECT_EQ(noteon[51], 127);
}

TEST_F(NotesTest, OtherMessagesHaveNoEffect) {
    for (int status : {0x91, 0x9F, 0xA0, 0xB0, 0xC0, 0xD0, 0xE0, 0xF0, 0xF8, 0x00, 0x7F}) {
        engine.midi(short_message(status, 60, 100));
        EXPECT_EQ(noteon[60], 0) << std::hex << status;
    }
    settle();
    EXPECT_EQ(i1.velocity[60], 0);
}

TEST_F(NotesTest, DataBytesWithTheTopBitSetAreIgnored) {
    engine.midi(0x90u | (200u << 8) | (100u << 16));
    engine.midi(0x90u | (60u << 8) | (0xC8u << 16));
    engine.midi(0x80u | (0xFFu << 8));
    engine.midi(0xFFFFFFFFul);
    EXPECT_EQ(noteon[60], 0);
    // Bits above the second data byte are not part of the message.
    engine.midi(0x7F000000ul | short_message(0x90, 60, 100));
    EXPECT_EQ(noteon[60], 100);
}

// One rule for the bytes of a message, from every input: 1 to 3 bytes, no
// fewer than its status byte takes.
TEST(ShortMessages, ArePackedWhenWholeAndOthersRefused) {
    const struct { std::vector<unsigned char> bytes; bool whole; unsigned long packed; } cases[] = {
        {{0x90, 57, 127}, true, short_message(0x90, 57, 127)},
        {{0xC0, 5}, true, 0x05C0},
        {{0xF8}, true, 0xF8}, // clock: a short message like any other
        {{}, false, 0},
        {{0xF0, 0x7E, 0xF7}, false, 0}, // system-exclusive
        {{0xF7}, false, 0},
        {{0x90, 60, 100, 0}, false, 0},
        {{60, 100}, false, 0},       // no status byte
        {{0x90, 0x80, 1}, false, 0}, // a data byte with its top bit set
        {{0x90, 60}, false, 0},      // cut short: a note, a controller, a bend
        {{0xB0, 64}, false, 0},
        {{0xE0, 0}, false, 0},
        {{0xC0}, false, 0},
    };
    for (const auto& c : cases) {
        unsigned long v = 7;
        EXPECT_EQ(pack_short_message(c.bytes.data(), c.bytes.size(), &v), c.whole)
            << ::testing::PrintToString(c.bytes);
        EXPECT_EQ(v, c.whole ? c.packed : 7ul) << ::testing::PrintToString(c.bytes);
    }
}

// WinMM's input hands over a message as one word, the bytes its status does
// not take holding whatever was there: only the message's own are kept.
TEST(ShortMessages, WinmmWordsKeepTheBytesTheirStatusTakes) {
    const struct { unsigned long word; bool whole; unsigned long packed; } cases[] = {
        {0x00643C90, true, short_message(0x90, 60, 100)},
        {0x7F7F05C0, true, 0x05C0}, // program change: two bytes, the rest left over
        {0x00FF3CF8, true, 0xF8},   // clock: one byte
        {0x0000643C, false, 0},     // a data byte first
        {0x000000F0, false, 0},     // system-exclusive
        {0x00803C90, false, 0},     // a data byte with its top bit set
    };
    for (const auto& c : cases) {
        unsigned long v = 7;
        EXPECT_EQ(pack_winmm_word(c.word, &v), c.whole) << std::hex << c.word;
        EXPECT_EQ(v, c.whole ? c.packed : 7ul) << std::hex << c.word;
    }
}

TEST_F(NotesTest, HighNotesChangeStateButAreNotHeard) {
    note_on(127, 127);
    settle();
    EXPECT_EQ(noteon[127], 127);
    EXPECT_EQ(i1.velocity[127], 126);
}

TEST_F(NotesTest, ModeChangesApplyToTheNextNote) {
    note_on(45, 127);
    settle();
    multimode = 1;
    EXPECT_EQ(i1.velocity[45], 126);
    note_on(46, 127);
    settle();
    EXPECT_EQ(i1.velocity[45], 126);
    EXPECT_EQ(i2.velocity[46], 126);
    EXPECT_EQ(i1.velocity[46], 0);
}

TEST_F(NotesTest, TwoStartsBeforeOneSampleSoundAsTheLast) {
    note_on(33, 127);
    note_on(33, 64);
    settle();
    EXPECT_EQ(i1.velocity[33], 32);
    EXPECT_EQ(i1.envpos[33], 1);
}
