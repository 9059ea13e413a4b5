// The MIDI file reader on hostile and unusual files: the ones that once made
// it abort, over-read or refuse a valid file, lengths against their chunk and
// the file, and FIFOs.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <thread>

#include "files/midi_file.h"
#include "tests/midi_builder.h"

namespace fs = std::filesystem;
using namespace midi_builder;

namespace {

using want = std::vector<std::pair<int64_t, uint32_t>>;

uint32_t note_on(int note, int vel) { return 0x90u | uint32_t(note) << 8 | uint32_t(vel) << 16; }

// The sample of a pulse at 500000 us per quarter note, 96 pulses per quarter.
int64_t at_default_tempo(uint64_t pulse) { return sample_at((unsigned __int128)pulse * 500000, 96, 44100); }

struct file_case {
    const char* name;
    bytes content;
    want events;           // when read
    const char* refusal;   // when refused: part of the message
    int rate = 44100;
};

void check(const file_case& c) {
    SCOPED_TRACE(c.name);
    std::string error;
    auto ev = read_midi_data(c.content.data(), c.content.size(), c.rate, &error);
    if (c.refusal) {
        ASSERT_FALSE(ev);
        EXPECT_NE(error.find(c.refusal), std::string::npos) << error;
        return;
    }
    ASSERT_TRUE(ev) << error;
    ASSERT_EQ(ev->size(), c.events.size());
    for (size_t i = 0; i < c.events.size(); ++i) {
        EXPECT_EQ((*ev)[i].sample, c.events[i].first) << i;
        EXPECT_EQ((*ev)[i].message, c.events[i].second) << i;
    }
}

// Track 1 holds notes every 10 pulses, track 2 a tempo change every 10
// pulses between them; each note's time is summed here pulse by pulse.
file_case tempo_in_track_two(int notes) {
    track t1, t2;
    for (int k = 0; k < notes; ++k) t1.on(k ? 10 : 0, k % 128, 1 + k % 127);
    auto tempo_from = [](int k) { return uint32_t(300000 + 7919 * (k % 50)); }; // from pulse 10k + 5
    for (int k = 0; k < notes; ++k) t2.tempo(k ? 10 : 5, tempo_from(k));
    file_case c{"tempo changes in track 2", file(1, 96, {t1, t2}), {}, nullptr};
    unsigned __int128 us = 0;
    for (int p = 0, k = 0; k < notes; ++p) {
        if (p % 10 == 0) {
            c.events.push_back({sample_at(us, 96, 44100), note_on(k % 128, 1 + k % 127)});
            ++k;
        }
        us += p < 5 ? 500000 : tempo_from((p - 5) / 10);
    }
    return c;
}

} // namespace

TEST(MidiReader, FilesThatOnceFailed) {
    track nine, no_tempo, time_sig, text, seq_only, last;
    for (int k = 0; k < 9; ++k) nine.on(0x0FFFFFFF, 60 + k, 100);
    no_tempo.ev(0, {0xFF, 0x51, 0}).on(0, 60, 100);
    time_sig.ev(0, {0xFF, 0x58, 4, 4, 64, 24, 8}).on(96, 60, 100);
    text.blob(0, {0xFF, 0x01}, 200).on(48, 61, 90);
    seq_only.blob(0, {0xFF, 0x7F}, 200, 0x90);
    std::vector<track> many(65535);
    many[0].tempo(0, 250000);
    many.back().on(96, 62, 80);

    want nine_events;
    for (uint64_t k = 1; k <= 9; ++k)
        nine_events.push_back({at_default_tempo(k * 0x0FFFFFFF), note_on(59 + int(k), 100)});
    const file_case cases[] = {
        {"nine events 0x0FFFFFFF pulses apart", file(0, 96, {nine}), nine_events, nullptr},
        {"a tempo change of no bytes", file(0, 96, {no_tempo}), {}, "tempo change"},
        {"a time signature over 2^64", file(0, 96, {time_sig}), {{22050, note_on(60, 100)}}, nullptr},
        {"a text of 200 bytes", file(0, 96, {text}), {{11025, note_on(61, 90)}}, nullptr},
        {"a sequencer event of 200 bytes alone", file(0, 96, {seq_only}), {}, nullptr},
        {"65535 tracks, nearly all empty", file(1, 96, many), {{11025, note_on(62, 80)}}, nullptr},
        tempo_in_track_two(20000),
    };
    for (const auto& c : cases) check(c);
}

TEST(MidiReader, LengthsAreCheckedAgainstTheirChunkAndTheFile) {
    track t, u;
    t.on(0, 60, 100);
    u.on(0, 61, 100);

    // A meta event and a system-exclusive message that run from track 1 into
    // track 2: the file holds the bytes, the chunk does not.
    auto running_over = [&](bytes head) {
        track a;
        a.blob(0, head, 20);
        bytes f = header(1, 2, 96);
        put_chunk(f, "MTrk", bytes(a.data.begin(), a.data.end() - 15));
        put_chunk(f, "MTrk", u.data);
        return f;
    };
    bytes chunk_past_end = file(1, 96, {t, u});
    chunk_past_end.pop_back();
    bytes fewer = file(1, 96, {t});
    fewer[11] = 2;
    track five_byte_delta, long_tempo, clock, beyond;
    five_byte_delta.data = {0x80, 0x80, 0x80, 0x80, 0x00, 0x90, 60, 100};
    long_tempo.ev(0, {0xFF, 0x51, 4, 7, 0xA1, 0x20, 0});
    clock.ev(0, {0xF8});
    beyond.tempo(0, 0xFFFFFF).on(0x0FFFFFFF, 60, 100);
    bytes short_header = file(0, 96, {t});
    short_header[7] = 5;

    // Accepted: a longer header, a chunk of another kind, system-exclusive
    // and escaped messages of any length, whose time still counts.
    track rich;
    rich.blob(10, {0xF0}, 300, 0x11).blob(20, {0xF7}, 2, 0xF3).on(30, 60, 100);
    bytes rich_file = header(0, 1, 96);
    rich_file[7] = 9;
    rich_file.insert(rich_file.end(), {0, 0, 0});
    put_chunk(rich_file, "XFIH", bytes(50, 0xFF));
    put_chunk(rich_file, "MTrk", rich.data);

    const file_case cases[] = {
        {"a meta event past its chunk", running_over({0xFF, 0x01}), {}, "cut short"},
        {"system-exclusive past its chunk", running_over({0xF0}), {}, "cut short"},
        {"a chunk past the file", chunk_past_end, {}, "cut short"},
        {"a delta of five bytes", file(0, 96, {five_byte_delta}), {}, "cut short"},
        {"a tempo change of four bytes", file(0, 96, {long_tempo}), {}, "tempo change"},
        {"a header of five bytes", short_header, {}, "not a MIDI file"},
        {"a timing clock in a track", file(0, 96, {clock}), {}, "no place"},
        {"fewer tracks than the header names", fewer, {}, "header names"},
        {"a time past 64-bit samples", file(0, 1, {beyond}), {}, "beyond", INT_MAX},
        {"long system-exclusive, an escape, another chunk", rich_file, {{at_default_tempo(60), note_on(60, 100)}},
         nullptr},
    };
    for (const auto& c : cases) check(c);
}

TEST(MidiReader, AFifoIsReadUntilItsWriterCloses) {
    const fs::path dir = fs::temp_directory_path() / ("synth-midi-fifo-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string fifo = (dir / "in.mid").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    track t;
    t.on(0, 60, 100).on(96, 60, 0);
    const bytes f = file(0, 96, {t});

    // The writer comes after the reader has opened the FIFO, and writes in
    // two parts; then a writer that writes nothing.
    for (bool empty : {false, true}) {
        std::thread writer([&] {
            usleep(100000);
            const int fd = open(fifo.c_str(), O_WRONLY);
            if (!empty) {
                EXPECT_EQ(write(fd, f.data(), 10), 10);
                usleep(50000);
                EXPECT_EQ(write(fd, f.data() + 10, f.size() - 10), ssize_t(f.size() - 10));
            }
            close(fd);
        });
        std::string error;
        auto ev = read_midi_file(fifo, 44100, &error);
        writer.join();
        if (empty) {
            EXPECT_FALSE(ev);
            EXPECT_NE(error.find("not a MIDI file"), std::string::npos) << error;
        } else {
            ASSERT_TRUE(ev) << error;
            ASSERT_EQ(ev->size(), 2u);
            EXPECT_EQ((*ev)[1].sample, 22050);
        }
    }
    std::string error;
    EXPECT_FALSE(read_midi_file("/dev/null", 44100, &error));
    EXPECT_NE(error.find("not a regular file or a pipe"), std::string::npos) << error;
    fs::remove_all(dir);
}
