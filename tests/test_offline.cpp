// The offline renderer: MIDI files in (timing, order, channels), WAV files out,
// and the real build/synth-render run on generated files.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <spawn.h>
#include <csignal>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "engine/engine.h"
#include "files/instrument_file.h"
#include "files/midi_file.h"
#include "files/wav_file.h"
#include "engine/notes.h"
#include "tests/engine_fixture.h"
#include "tests/midi_builder.h"
#include "tests/oracle.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

using midi_builder::bytes;
using midi_builder::track;
bytes smf(int format, int division, std::vector<track> tracks) {
    return midi_builder::file(format, division, std::move(tracks));
}

class Offline : public ::testing::Test, protected engine_under_test {
protected:
    fs::path dir;
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("synth-offline-" + std::to_string(getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string file(const std::string& name, const bytes& content) {
        std::string p = (dir / name).string();
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(content.data()),
                                                  std::streamsize(content.size()));
        return p;
    }
    std::string path(const std::string& name) { return (dir / name).string(); }

    // Runs build/synth-render; returns its exit status, stderr in *err. Its
    // standard output goes to *out through a pipe (whose reader is gone at
    // once with reader_gone), or else to /dev/null.
    int run(std::vector<std::string> args, std::string* err = nullptr, std::string* out = nullptr,
            bool reader_gone = false) {
        std::string err_file = path("stderr.txt");
        args.insert(args.begin(), SYNTH_RENDER);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        int pipe_ends[2] = {-1, -1};
        if (out && pipe2(pipe_ends, O_CLOEXEC) != 0) return -1;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_addopen(&fa, 2, err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out) posix_spawn_file_actions_adddup2(&fa, pipe_ends[1], 1);
        else posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
        pid_t pid;
        int rc = posix_spawn(&pid, SYNTH_RENDER, &fa, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&fa);
        if (out) {
            close(pipe_ends[1]);
            if (reader_gone) close(pipe_ends[0]);
            out->clear();
            char buf[4096];
            for (ssize_t n; !reader_gone && (n = read(pipe_ends[0], buf, sizeof buf)) > 0;)
                out->append(buf, size_t(n));
            if (!reader_gone) close(pipe_ends[0]);
        }
        if (rc != 0) return -1;
        int status = 0;
        waitpid(pid, &status, 0);
        std::ifstream in(err_file);
        std::stringstream ss;
        ss << in.rdbuf();
        if (err) *err = ss.str();
        fs::remove(err_file);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    std::vector<int16_t> wav(const std::string& p) {
        std::string error;
        auto w = read_wav_file(p, &error);
        EXPECT_TRUE(w) << error;
        if (!w) return {};
        EXPECT_EQ(w->rate, 44100);
        EXPECT_EQ(w->channels, 1);
        EXPECT_TRUE(w->pcm16);
        return w->samples;
    }
};

// The sound the renderer must produce, worked out here from the other end:
// each message handed over before its sample, then single samples as long as
// one of them had a voice active (the time base of an instrument is zero
// after a sample in which none of its voices was active), at most tail.
std::vector<int16_t> expected(synth_engine& engine, const std::vector<midi_event>& ev, long tail, bool oracle,
                              const std::function<void()>& setup = [] {}) {
    engine.reset();
    setup();
    std::vector<int16_t> out;
    auto render = [&](long n) {
        size_t at = out.size();
        out.resize(at + size_t(n));
        if (oracle) oracle_stream(engine, out.data() + at, int(n));
        else engine.render(out.data() + at, int(n));
    };
    for (const auto& e : ev) {
        if (long(out.size()) < e.sample) render(e.sample - long(out.size()));
        send(engine, e.message);
    }
    for (long k = 0; k < tail; ++k) {
        render(1);
        const engine_snapshot now = snapshot(engine);
        if (now.phase[0] == 0.0 && now.phase[OSCILLATORS] == 0.0) {
            out.pop_back();
            break;
        }
    }
    return out;
}

bool within_one(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::abs(a[i] - b[i]) > 1) return false;
    return true;
}

uint32_t msg(int status, int d1, int d2) { return uint32_t(short_message(status, d1, d2)); }

} // namespace

TEST_F(Offline, EventsInTimeOrderAcrossTracksAndTempoChanges) {
    // Track 1: the tempo map. Track 2 and 3: notes, some at the same time.
    track t1, t2, t3;
    t1.tempo(0, 500000).tempo(960, 250000).tempo(480, 1000000);
    t2.on(0, 60, 100).on(480, 61, 100).on(480, 62, 0).on(240, 63, 1);
    t3.on(0, 70, 100).on(480, 71, 100).ev(0, {0xB0, 7, 99}).ev(0, {0xF0, 2, 1, 0xF7});
    t3.ev(720, {0xC3, 5}).on(1, 72, 2, 9).on(240, 73, 50);
    std::string error;
    auto ev = read_midi_file(file("song.mid", smf(1, 480, {t1, t2, t3})), 44100, &error);
    ASSERT_TRUE(ev) << error;
    // Pulse 480: 0.5 s; 960: 1 s; then 250000 us per quarter: pulse 1200 is
    // 1.125 s (sample 49612.5), pulse 1201 1125520.83 us (sample 49635.47);
    // pulse 1440: 1.25 s, then 1 s per quarter: pulse 1441 is 1.25 s + 1/480 s
    // = 1252083.33 us, sample 55216.875.
    const std::vector<std::pair<int64_t, uint32_t>> want = {
        {0, msg(0x90, 60, 100)},     {0, msg(0x90, 70, 100)},    {22050, msg(0x90, 61, 100)},
        {22050, msg(0x90, 71, 100)}, {22050, msg(0xB0, 7, 99)},  {44100, msg(0x90, 62, 0)},
        {49612, msg(0x90, 63, 1)},   {49612, 0xC3 | 5u << 8},    {49635, msg(0x99, 72, 2)},
        {55216, msg(0x90, 73, 50)}};
    ASSERT_EQ(ev->size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ((*ev)[i].sample, want[i].first) << i;
        EXPECT_EQ((*ev)[i].message, want[i].second) << i;
    }
}

TEST_F(Offline, EscapedMessagesAndAMissingEndOfTrack) {
    // An escaped message (0xF7) between notes keeps the time it took; a track
    // may lack its end-of-track event; what follows one is not read.
    track t;
    t.on(10, 60, 100).ev(20, {0xF7, 2, 0xF3, 1}).on(5, 61, 100);
    bytes f = smf(0, 96, {t});
    f.resize(f.size() - 4); // no end of track
    f[21] = uint8_t(f[21] - 4);
    std::string error;
    auto ev = read_midi_file(file("esc.mid", f), 44100, &error);
    ASSERT_TRUE(ev) << error;
    ASSERT_EQ(ev->size(), 2u);
    EXPECT_EQ((*ev)[1].sample, sample_at((unsigned __int128)35 * 500000, 96, 44100));

    track after;
    after.on(0, 60, 100).ev(0, {0xFF, 0x2F, 0}).on(0, 61, 100);
    ev = read_midi_file(file("after.mid", smf(0, 96, {after})), 44100, &error);
    ASSERT_TRUE(ev) << error;
    EXPECT_EQ(ev->size(), 1u);

    // Running status holds from one channel message to the next, but does
    // not outlast a meta event.
    track ok;
    ok.on(0, 60, 100).ev(10, {61, 90}).ev(10, {0x80, 60, 64}).ev(10, {61, 0});
    ev = read_midi_file(file("ok.mid", smf(0, 96, {ok})), 44100, &error);
    ASSERT_TRUE(ev) << error;
    ASSERT_EQ(ev->size(), 4u);
    EXPECT_EQ((*ev)[1].message, msg(0x90, 61, 90));
    EXPECT_EQ((*ev)[3].message, msg(0x80, 61, 0));
    track rs;
    rs.on(0, 60, 100).ev(0, {0xFF, 0x01, 1, 'x'}).ev(0, {61, 100});
    EXPECT_FALSE(read_midi_file(file("rs.mid", smf(0, 96, {rs})), 44100, &error));
    EXPECT_NE(error.find("status"), std::string::npos) << error;
}

TEST_F(Offline, WhatIsNotAPlayableFileIsRefusedWithItsReason) {
    track t;
    t.on(0, 60, 100);
    auto good = smf(1, 96, {t});
    bytes cut(good.begin(), good.end() - 6);
    struct { const char* name; bytes content; const char* reason; } cases[] = {
        {"type2.mid", smf(2, 96, {t}), "type 2"},
        {"frames.mid", smf(1, 0xE728, {t}), "frames"},
        {"cut.mid", cut, "cut short"},
        {"text.mid", bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!', '!', '!'},
         "not a MIDI file"},
        {"empty.mid", bytes{}, "not a MIDI file"},
    };
    for (auto& c : cases) {
        std::string error;
        EXPECT_FALSE(read_midi_file(file(c.name, c.content), 44100, &error)) << c.name;
        EXPECT_NE(error.find(c.name), std::string::npos) << error;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
    std::string error;
    EXPECT_FALSE(read_midi_file(path("missing.mid"), 44100, &error));
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
    EXPECT_FALSE(read_midi_file(dir.string(), 44100, &error));
}

// Damaged files are refused or read, never read out of bounds (this test is
// at its most useful in the AddressSanitizer build).
TEST_F(Offline, DamagedFilesAreHandledSafely) {
    track t1, t2;
    t1.tempo(0, 500000).on(0, 60, 100).ev(5, {61, 90}).ev(0, {0xF0, 3, 1, 2, 0xF7});
    t1.ev(3, {0xFF, 0x03, 4, 'n', 'a', 'm', 'e'}).ev(1, {0xE0, 0, 64}).ev(2, {0xC1, 7});
    t2.on(7, 62, 100).ev(1, {0xB0, 64, 127}).on(1, 62, 0).tempo(9, 400000);
    const bytes good = smf(1, 96, {t1, t2});
    std::mt19937 rng(11);
    int refused = 0;
    for (int i = 0; i < 3000; ++i) {
        bytes b = good;
        int edits = 1 + int(rng() % 4);
        for (int e = 0; e < edits; ++e) {
            size_t at = rng() % b.size();
            switch (rng() % 4) {
            case 0: b[at] = uint8_t(rng()); break;
            case 1: b[at] ^= uint8_t(1u << (rng() % 8)); break;
            case 2: b.resize(at); break;
            default: b.insert(b.begin() + long(at), uint8_t(rng())); break;
            }
            if (b.empty()) b.push_back(0);
        }
        std::string error;
        auto ev = read_midi_file(file("damaged.mid", b), 44100, &error);
        if (!ev) {
            ++refused;
            EXPECT_NE(error.find("damaged.mid: "), std::string::npos);
            EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        } else {
            for (const auto& e : *ev) ASSERT_GE(e.sample, 0);
        }
    }
    EXPECT_GT(refused, 100);
}

TEST_F(Offline, WavWriterReplacesOnlyOnCommit) {
    std::string p = path("out.wav"), error;
    file("out.wav", bytes{'o', 'l', 'd'});
    const int16_t s[] = {0, 1, -1, 32767, -32768};
    {
        wav_writer w;
        ASSERT_TRUE(w.open(p, 44100, &error)) << error;
        ASSERT_TRUE(w.write(s, 5, &error));
        // Dropped without commit.
    }
    EXPECT_EQ(fs::file_size(p), 3u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1)
        << "a temporary file was left behind";
    wav_writer w;
    ASSERT_TRUE(w.open(p, 44100, &error));
    ASSERT_TRUE(w.write(s, 5, &error));
    ASSERT_TRUE(w.commit(&error)) << error;
    EXPECT_EQ(wav(p), std::vector<int16_t>(s, s + 5));
    EXPECT_FALSE(w.open(path("no/such/folder/x.wav"), 44100, &error));
    EXPECT_NE(error.find("x.wav"), std::string::npos);
}

// A new output gets the mode of any new file of the user's; a replaced one
// keeps its own.
TEST_F(Offline, WavWriterGivesNewFilesTheUsualModeAndKeepsAReplacedOnesMode) {
    const fs::perms rw = fs::perms::owner_read | fs::perms::owner_write;
    const mode_t before = umask(022);
    std::string error;
    const int16_t s[] = {1, 2, 3};
    auto write_to = [&](const std::string& p) {
        wav_writer w;
        ASSERT_TRUE(w.open(p, 44100, &error)) << error;
        ASSERT_TRUE(w.write(s, 3, &error)) << error;
        ASSERT_TRUE(w.commit(&error)) << error;
    };
    write_to(path("new.wav"));
    EXPECT_EQ(fs::status(path("new.wav")).permissions() & fs::perms::all,
              rw | fs::perms::group_read | fs::perms::others_read);
    file("kept.wav", bytes{'o', 'l', 'd'});
    fs::permissions(path("kept.wav"), rw | fs::perms::group_write);
    write_to(path("kept.wav"));
    EXPECT_EQ(fs::status(path("kept.wav")).permissions() & fs::perms::all, rw | fs::perms::group_write);
    umask(before);
}

TEST_F(Offline, RendersExactlyWhatTheStreamWouldPlay) {
    track t1, t2;
    t1.tempo(0, 400000).on(0, 57, 127).on(96, 60, 100).on(96, 57, 0).tempo(48, 300000).on(48, 64, 80);
    t1.on(200, 60, 0).on(0, 64, 0);
    t2.on(50, 48, 90).on(300, 48, 0).on(10, 99, 127).on(1, 99, 0).on(5, 120, 127);
    std::string in = file("song.mid", smf(1, 96, {t1, t2})), out = path("song.wav"), error;
    ASSERT_EQ(run({"--quiet", in, out}), 0);
    auto got = wav(out);
    auto ev = *read_midi_file(in, 44100, &error);
    auto want = expected(engine, ev, 441000, false);
    ASSERT_GT(want.size(), 0u);
    EXPECT_EQ(got, want);
    EXPECT_TRUE(within_one(expected(engine, ev, 441000, true), got));
}

TEST_F(Offline, SettingsInstrumentFilesAndChannels) {
    // An instrument file for each instrument.
    engine.reset();
    i1.at(K_WAV, 0) = 2;
    i1.at(K_VOL, 1) = 0.5;
    i1.at(K_WAV, 1) = 1;
    i1.at(K_FRQ, 1) = 7;
    i1.at(K_RELEASELEN) = 3001;
    ASSERT_TRUE(save_instrument_file(path("one.zpk"), i1.record(), nullptr));
    i1.at(K_WAV, 2) = 3;
    i1.at(K_VOL, 2) = 0.25;
    i1.at(K_ATTACKLEN) = 401;
    ASSERT_TRUE(save_instrument_file(path("two.zpk"), i1.record(), nullptr));
    track t;
    for (int i = 0; i < 12; ++i) t.on(i ? 40 : 0, 30 + 6 * i, 127 - 5 * i, i % 2 ? 2 : 0);
    for (int i = 0; i < 12; ++i) t.on(i ? 7 : 2000, 30 + 6 * i, 0, i % 2 ? 2 : 0);
    std::string in = file("song.mid", smf(0, 96, {t})), error;
    auto ev = *read_midi_file(in, 44100, &error);
    auto setup = [&] {
        engine.load(1, *load_instrument_file(path("one.zpk"), nullptr));
        engine.load(2, *load_instrument_file(path("two.zpk"), nullptr));
        multimode = 5;
        fade1 = 40;
        fade2 = 80;
        transpose = -7;
    };
    for (auto [channel, arg] : {std::pair{1, "1"}, {3, "3"}, {0, "all"}}) {
        SCOPED_TRACE(arg);
        std::string out = path(std::string("ch") + arg + ".wav");
        ASSERT_EQ(run({"--i1", path("one.zpk"), "--i2", path("two.zpk"), "--mode", "inv-fade",
                       "--fade1", "40", "--fade2=80", "--transpose", "-7", "--channel", arg, in, out}),
                  0);
        auto got = wav(out);
        // Every message goes to the engine, whose routing takes the channel's.
        auto on_channel = [&] {
            setup();
            engine.set(param_id(0, K_CHANNEL), channel);
        };
        auto want = expected(engine, ev, 441000, false, on_channel);
        EXPECT_EQ(got, want);
        EXPECT_TRUE(within_one(expected(engine, ev, 441000, true, on_channel), got));
    }
}

TEST_F(Offline, TheTailEndsAHeldNote) {
    track t;
    t.on(0, 57, 127).on(96, 62, 127); // never released
    std::string in = file("held.mid", smf(0, 96, {t}));
    ASSERT_EQ(run({"--quiet", "--tail", "0.5", in, path("a.wav")}), 0);
    auto got = wav(path("a.wav"));
    EXPECT_EQ(got.size(), size_t(22050 + 22050));
    std::string error;
    EXPECT_EQ(got, expected(engine, *read_midi_file(in, 44100, &error), 22050, false));
    ASSERT_EQ(run({"--quiet", "--tail", "0", in, path("b.wav")}), 0);
    EXPECT_EQ(wav(path("b.wav")).size(), 22050u);
}

TEST_F(Offline, NothingToPlayGivesAnEmptyFile) {
    track t;
    t.on(0, 57, 127, 4).on(100, 57, 0, 4); // channel 5 only
    std::string in = file("other.mid", smf(0, 96, {t}));
    ASSERT_EQ(run({in, path("a.wav")}), 0);
    EXPECT_EQ(wav(path("a.wav")).size(), 0u);
    // A soft note starts no voice: the output ends where it arrives.
    track soft;
    soft.on(96, 57, 5);
    ASSERT_EQ(run({file("soft.mid", smf(0, 96, {soft})), path("b.wav")}), 0);
    EXPECT_EQ(wav(path("b.wav")), std::vector<int16_t>(22050, 0));
}

TEST_F(Offline, BadInputEndsWithStatusOneAndTouchesNoOutput) {
    track t;
    t.on(0, 57, 127).on(10, 57, 0);
    std::string good = file("good.mid", smf(0, 96, {t}));
    std::string junk = file("junk.mid", bytes{'M', 'T', 'h', 'd', 0, 0});
    std::string short_inst = file("short.zpk", bytes(100, 0));
    std::string old = file("old.wav", bytes{'k', 'e', 'e', 'p'});
    engine.reset();
    ASSERT_TRUE(save_instrument_file(path("organ.zpk"), i1.record(), nullptr));
    fs::create_symlink("organ.zpk", path("organ-link.wav"));
    struct { std::vector<std::string> args; std::string names; } cases[] = {
        {{good, good}, "is the same file as the MIDI file"}, // outputs that are files read
        {{"--i2", path("organ.zpk"), good, path("organ-link.wav")}, "the instrument file"},
        {{junk, path("new.wav")}, "junk.mid"},
        {{path("absent.mid"), path("new.wav")}, "absent.mid"},
        {{"--i2", short_inst, good, path("new.wav")}, "short.zpk"},
        {{"--i1", path("absent.zpk"), good, path("new.wav")}, "absent.zpk"},
        {{junk, old}, "junk.mid"},
        {{good, path("no/folder/new.wav")}, "new.wav"},
    };
    for (auto& c : cases) {
        std::string err;
        EXPECT_EQ(run(c.args, &err), 1) << c.names;
        EXPECT_NE(err.find(c.names), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_EQ(err.rfind("synth-render: ", 0), 0u) << err;
    }
    EXPECT_FALSE(fs::exists(path("new.wav")));
    EXPECT_EQ(fs::file_size(old), 4u);
    std::string error;
    EXPECT_TRUE(read_midi_file(good, 44100, &error)) << error;
    EXPECT_EQ(fs::file_size(path("organ.zpk")), INSTRUMENT_FILE_SIZE);
    EXPECT_TRUE(fs::is_symlink(path("organ-link.wav")));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 6)
        << "something was left behind";
}

TEST_F(Offline, BadOptionsShowTheUsageWithStatusTwo) {
    track t;
    t.on(0, 57, 127);
    std::string in = file("a.mid", smf(0, 96, {t}));
    const std::vector<std::vector<std::string>> cases = {
        {},
        {in},
        {in, path("a.wav"), path("b.wav")},
        {"--mode", "6", in, path("a.wav")},
        {"--mode", "fades", in, path("a.wav")},
        {"--fade2", "5x", in, path("a.wav")},
        {"--transpose", "26", in, path("a.wav")},
        {"--channel", "0", in, path("a.wav")},
        {"--tail", "nan", in, path("a.wav")},
        {"--rate", "0", in, path("a.wav")},
        {"--rate", "abc", in, path("a.wav")},
        {"--rate", "1000000", in, path("a.wav")},
        {"--bend-range", "25", in, path("a.wav")},
        {"--controllers", "maybe", in, path("a.wav")},
        {"--volume", "3", in, path("a.wav")},
        {in, path("a.wav"), "--i1"},
    };
    for (const auto& args : cases) {
        std::string err;
        EXPECT_EQ(run(args, &err), 2) << ::testing::PrintToString(args);
        EXPECT_NE(err.find("usage: synth-render"), std::string::npos) << err;
    }
    const std::pair<std::vector<std::string>, std::string> said[] = {
        {{"-x", in, path("a.wav")}, "unknown option -x\n"},
        {{"--quiet=1", in, path("a.wav")}, "option --quiet takes no value\n"},
        {{in, path("a.wav"), "--i1"}, "option --i1 needs a value\n"},
        {{"--i1", "", in, path("a.wav")}, "--i1 takes a file name"},
        {{in, ""}, "the output needs a name"},
    };
    for (const auto& [args, message] : said) {
        std::string err;
        EXPECT_EQ(run(args, &err), 2) << ::testing::PrintToString(args);
        EXPECT_EQ(err.rfind("synth-render: " + message, 0), 0u) << err;
    }
    EXPECT_FALSE(fs::exists(path("a.wav")));
    EXPECT_EQ(run({"--mode", "split", "--split", "0", "--channel", "16", "--transpose", "-25", "--tail", "1.5",
                   "--quiet", in, path("a.wav")}),
              0);
}

// Outputs that are not regular files get the whole WAV file, header and all,
// and stay what they were: standard output (a pipe), a FIFO, a device. A
// reader that goes away early is an error, not the end of the program. A name
// as long as a folder allows works.
TEST_F(Offline, PipesFifosDevicesAndLongNames) {
    track t;
    t.on(0, 57, 127).on(96, 60, 100).on(96, 57, 0).on(0, 60, 0);
    const std::string in = file("song.mid", smf(0, 96, {t}));
    ASSERT_EQ(run({in, path("plain.wav")}), 0);
    std::ifstream plain(path("plain.wav"), std::ios::binary);
    const std::string want(std::istreambuf_iterator<char>(plain), {});

    std::string got, err;
    EXPECT_EQ(run({in, "-"}, nullptr, &got), 0);
    EXPECT_EQ(got, want);
    EXPECT_EQ(run({in, "-"}, &err, &got, true), 1);
    EXPECT_EQ(err, "synth-render: standard output: Broken pipe\n");

    // The FIFO's reader is there first; its wait is bounded only against a hang.
    ASSERT_EQ(mkfifo(path("fifo").c_str(), 0600), 0);
    const int fifo = open(path("fifo").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    got.clear();
    std::thread reader([&] {
        char buf[4096];
        for (pollfd p{fifo, POLLIN, 0}; poll(&p, 1, 60000) > 0;) {
            const ssize_t n = read(fifo, buf, sizeof buf);
            if (n <= 0) break;
            got.append(buf, size_t(n));
        }
    });
    EXPECT_EQ(run({in, path("fifo")}), 0);
    reader.join();
    close(fifo);
    EXPECT_EQ(got, want);
    EXPECT_TRUE(fs::is_fifo(path("fifo")));

    // A device of the test's own (the null device's numbers), where it may make one.
    const bool device = mknod(path("null").c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0;
    if (device) {
        EXPECT_EQ(run({in, path("null")}), 0);
        EXPECT_TRUE(fs::is_character_file(path("null")));
    }

    const std::string longest = path(std::string(NAME_MAX - 4, 'n') + ".wav");
    EXPECT_EQ(run({in, longest}), 0);
    EXPECT_EQ(fs::file_size(longest), want.size());
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), device ? 5 : 4)
        << "a temporary file was left behind";
}

// Progress is shown on a terminal only, once a render takes more than a moment.
TEST_F(Offline, ProgressOnATerminal) {
    // A hundred notes held for two minutes (at 120 bpm), every oscillator on:
    // slow enough to take more than a moment (some seconds).
    track t;
    for (int n = 0; n < 100; ++n) t.on(0, n, 127);
    for (int n = 0; n < 100; ++n) t.on(n ? 0 : 96 * 2 * 120, n, 0);
    std::string in = file("long.mid", smf(0, 96, {t}));
    auto on_terminal = [&](std::vector<std::string> args, int* status) {
        args.insert(args.begin(), SYNTH_RENDER);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        int master = -1;
        pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
        if (pid == 0) {
            execv(SYNTH_RENDER, argv.data());
            _exit(127);
        }
        std::string seen;
        char buf[256];
        for (ssize_t n; (n = read(master, buf, sizeof buf)) > 0;) seen.append(buf, size_t(n));
        close(master);
        waitpid(pid, status, 0);
        return seen;
    };
    engine.reset();
    for (int k = 0; k < OSCILLATORS; ++k) {
        i1.at(K_VOL, k) = 0.1;
        i1.at(K_FRQ, k) = k;
    }
    ASSERT_TRUE(save_instrument_file(path("full.zpk"), i1.record(), nullptr));
    int status = -1;
    std::string shown = on_terminal({"--i1", path("full.zpk"), in, path("a.wav")}, &status);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << shown;
    EXPECT_NE(shown.find("synth-render: "), std::string::npos) << shown;
    EXPECT_NE(shown.find(" s"), std::string::npos) << shown;
    shown = on_terminal({"--quiet", "--i1", path("full.zpk"), in, path("b.wav")}, &status);
    EXPECT_EQ(shown, "");
    EXPECT_EQ(wav(path("a.wav")), wav(path("b.wav")));
}

// Stopped half-way, it leaves no output and no temporary file behind.
TEST_F(Offline, AnInterruptedRenderLeavesNothing) {
    track t;
    for (int n = 0; n < 100; ++n) t.on(0, n, 127); // held until the ten-minute tail ends
    std::string in = file("long.mid", smf(0, 96, {t}));
    engine.reset();
    for (int k = 0; k < OSCILLATORS; ++k) i1.at(K_VOL, k) = 0.1;
    ASSERT_TRUE(save_instrument_file(path("full.zpk"), i1.record(), nullptr));
    std::string out = path("out.wav");
    std::vector<std::string> args = {SYNTH_RENDER, "--i1", path("full.zpk"), "--tail", "600", in, out};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid;
    ASSERT_EQ(posix_spawn(&pid, SYNTH_RENDER, nullptr, nullptr, argv.data(), environ), 0);
    usleep(300000);
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2)
        << "a temporary file was left behind";
}

namespace {

// A type-0 file at 96 pulses per quarter note and 120 beats per minute:
// 48 pulses are 11025 samples.
using timed_bytes = std::vector<std::pair<uint32_t, bytes>>;
bytes tune_of(timed_bytes events) {
    std::stable_sort(events.begin(), events.end(), [](auto& a, auto& b) { return a.first < b.first; });
    track t;
    uint32_t last = 0;
    for (const auto& [pulse, message] : events) {
        t.ev(pulse - last, message);
        last = pulse;
    }
    return smf(0, 96, {t});
}

// The frequency of a plain tone from its first to its last upward zero
// crossing, each placed between its two samples.
double frequency(const std::vector<int16_t>& s, size_t from, size_t to) {
    double first = -1, last = -1;
    int crossings = 0;
    for (size_t i = from + 1; i < to && i < s.size(); ++i)
        if (s[i - 1] < 0 && s[i] >= 0) {
            const double at = double(i - 1) + double(-s[i - 1]) / double(s[i] - s[i - 1]);
            if (first < 0) first = at;
            last = at;
            ++crossings;
        }
    return crossings > 1 ? (crossings - 1) * 44100.0 / (last - first) : 0.0;
}

const bytes key_on{0x90, 57, 100}, key_off{0x80, 57, 0}, other_on{0x90, 64, 90}, other_off{0x90, 64, 0},
    pedal_down{0xB0, 64, 127}, pedal_up{0xB0, 64, 0};

} // namespace

// The pedal and the panic messages: each file renders as its equivalent of
// notes alone.
TEST_F(Offline, ThePedalAndThePanicMessagesRenderAsTheirPlainEquivalents) {
    const struct { const char* what; timed_bytes with, plain; std::vector<std::string> options; } cases[] = {
        {"released keys held by the pedal until it rises",
         {{0, key_on}, {10, pedal_down}, {20, key_off}, {30, other_on}, {40, other_off}, {90, pedal_up}},
         {{0, key_on}, {30, other_on}, {90, key_off}, {90, other_off}}, {}},
        {"a held key struck again restarts",
         {{0, key_on}, {10, pedal_down}, {20, key_off}, {30, key_on}, {40, key_off}, {60, pedal_up}},
         {{0, key_on}, {30, key_on}, {60, key_off}}, {}},
        {"all notes off", {{0, key_on}, {5, other_on}, {50, {0xB0, 123, 0}}},
         {{0, key_on}, {5, other_on}, {50, key_off}, {50, other_off}}, {}},
        {"all notes off with the pedal down", {{0, key_on}, {10, pedal_down}, {50, {0xB0, 123, 0}}, {80, pedal_up}},
         {{0, key_on}, {80, key_off}}, {}},
        {"reset all controllers lifts the pedal", {{0, key_on}, {10, pedal_down}, {20, key_off}, {60, {0xB0, 121, 0}}},
         {{0, key_on}, {60, key_off}}, {}},
        {"other channels and controllers", {{0, key_on}, {10, {0xB1, 64, 127}}, {20, {0xB0, 7, 10}}, {30, key_off}},
         {{0, key_on}, {30, key_off}}, {}},
        {"--controllers off: notes alone",
         {{0, key_on}, {10, pedal_down}, {20, key_off}, {40, {0xE0, 0, 0x7F}}, {90, pedal_up}, {95, {0xB0, 120, 0}}},
         {{0, key_on}, {20, key_off}, {95, {0xB0, 7, 10}}}, {"--controllers", "off"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> with = c.options, plain = c.options;
        with.insert(with.end(), {"--quiet", file("with.mid", tune_of(c.with)), path("with.wav")});
        plain.insert(plain.end(), {"--quiet", file("plain.mid", tune_of(c.plain)), path("plain.wav")});
        ASSERT_EQ(run(with), 0) << c.what;
        ASSERT_EQ(run(plain), 0) << c.what;
        const auto a = wav(path("with.wav")), b = wav(path("plain.wav"));
        EXPECT_GT(a.size(), 6000u) << c.what;
        EXPECT_EQ(a, b) << c.what;
    }
}

// All sound off silences both instruments at its frame; a later note sounds.
TEST_F(Offline, AllSoundOffIsSilenceFromItsFrame) {
    ASSERT_EQ(run({"--quiet", "--mode", "fade", file("a.mid", tune_of({{0, key_on}, {5, other_on}, {48, {0xB0, 120, 0}},
                                                                     {96, other_on}, {140, other_off}})),
                   path("a.wav")}),
              0);
    const auto s = wav(path("a.wav"));
    ASSERT_GT(s.size(), 32000u);
    EXPECT_NE(std::count(s.begin(), s.begin() + 11025, 0), 11025);
    EXPECT_EQ(std::count(s.begin() + 11025, s.begin() + 22050, 0), 11025) << "sound after all sound off";
    EXPECT_NE(std::count(s.begin() + 22050, s.begin() + 32000, 0), 9950) << "no sound from the next note";
}

// Full bend up moves the pitch by 2 * 8191/8192 semitones (the default range),
// from the bend's frame on; the centre sounds as no bend at all.
TEST_F(Offline, PitchBendMovesThePitchByItsRange) {
    const timed_bytes plain = {{0, key_on}, {480, key_off}};
    timed_bytes bent = plain, centred = plain;
    bent.push_back({0, {0xE0, 0x7F, 0x7F}});
    centred.push_back({0, {0xE0, 0x00, 0x40}});
    std::vector<std::vector<int16_t>> out;
    for (const timed_bytes& t : {plain, bent, centred}) {
        ASSERT_EQ(run({"--quiet", file("t.mid", tune_of(t)), path("t.wav")}), 0);
        out.push_back(wav(path("t.wav")));
    }
    const double ratio = frequency(out[1], 4410, 92610) / frequency(out[0], 4410, 92610);
    EXPECT_NEAR(ratio / std::pow(2.0, 2.0 * 8191 / 8192 / 12), 1.0, 0.001) << ratio;
    EXPECT_EQ(out[2], out[0]) << "the centre changes nothing";
}
