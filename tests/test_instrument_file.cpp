#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "engine_fixture.h"
#include "files/instrument_file.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> encoded(const instrument_under_test& in) {
    std::vector<uint8_t> b(INSTRUMENT_FILE_SIZE);
    encode_record(in.record(), b.data());
    return b;
}

std::vector<uint8_t> word(int32_t v) {
    uint32_t u = uint32_t(v);
    return {uint8_t(u), uint8_t(u >> 8), uint8_t(u >> 16), uint8_t(u >> 24)};
}

std::vector<uint8_t> at(const std::vector<uint8_t>& b, int offset) {
    return {b.begin() + offset, b.begin() + offset + 4};
}

std::vector<uint8_t> read_bytes(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

void write_bytes(const fs::path& p, const std::vector<uint8_t>& b) {
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

class InstrumentFileTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        char tmpl[] = "/tmp/synth-files-XXXXXX";
        dir = mkdtemp(tmpl);
    }
    void TearDown() override {
        fs::permissions(dir, fs::perms::owner_all);
        fs::remove_all(dir);
    }
    fs::path dir;
};

} // namespace

TEST_F(InstrumentFileTest, ByteLayoutOfTheStartUpInstrument) {
    i1.at(K_FRQ, 3) = -50;
    i1.at(K_VIB, 2) = 0.5;
    auto b = encoded(i1);
    ASSERT_EQ(b.size(), 192u);
    EXPECT_EQ(at(b, 0), word(0));
    EXPECT_EQ(at(b, 4), word(1000));
    EXPECT_EQ(at(b, 20), word(0));                           // vol[1]
    EXPECT_EQ(at(b, 16 * 3), (std::vector<uint8_t>{0xCE, 0xFF, 0xFF, 0xFF})); // frq[3] -50
    EXPECT_EQ(at(b, 16 * 2 + 12), word(500));                // vib[2]
    EXPECT_EQ(at(b, 160), word(100));                        // attacklen
    EXPECT_EQ(at(b, 164), word(1000));                       // attack
    EXPECT_EQ(at(b, 168), (std::vector<uint8_t>{9, 0, 0, 0}));
    EXPECT_EQ(at(b, 172), word(100));                        // decaylen
    EXPECT_EQ(at(b, 176), word(1000));                       // decay
    EXPECT_EQ(at(b, 180), (std::vector<uint8_t>{9, 0, 0, 0}));
    EXPECT_EQ(at(b, 184), word(100));                        // releaselen
    EXPECT_EQ(at(b, 188), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF})); // fadelen -1
}

TEST_F(InstrumentFileTest, LevelsAreTruncatedThousandths) {
    EXPECT_EQ(thousandths(1.0), 1000);
    EXPECT_EQ(thousandths(2.0), 2000);
    EXPECT_EQ(thousandths(0.5699999), 569);
    EXPECT_EQ(thousandths(-0.0019), -1);
    EXPECT_EQ(thousandths(1e12), INT32_MAX);

    instrument_record r = i1.record();
    r.at(K_VOL, 0) = 569;
    r.at(K_ATTACK) = 2000;
    engine.load(2, r);
    EXPECT_EQ(i2.at(K_VOL, 0), 0.569);
    EXPECT_EQ(i2.at(K_ATTACK), 2.0);
}

TEST_F(InstrumentFileTest, ReservedWordsAreIgnoredOnLoading) {
    auto b = encoded(i1);
    b[168] = 0x55;
    b[183] = 0x80;
    instrument_record r = decode_record(b.data());
    std::vector<uint8_t> again(192);
    encode_record(r, again.data());
    EXPECT_EQ(again, encoded(i1));
}

TEST_F(InstrumentFileTest, SliderPositionsOfStoredValues) {
    instrument_record r{};
    r.at(K_VOL, 0) = 1000;
    r.at(K_VOL, 1) = 569;
    r.at(K_FRQ, 0) = -50;
    r.at(K_FRQ, 1) = 50;
    r.at(K_VIB, 0) = 1000;
    r.at(K_WAV, 0) = 3;
    r.at(K_ATTACK) = 2000;
    r.at(K_ATTACKLEN) = 1;
    r.at(K_DECAYLEN) = 20001;
    r.at(K_RELEASELEN) = 100;
    r.at(K_FADELEN) = -1;
    instrument_record p = slider_positions(r);
    EXPECT_EQ(p.at(K_VOL, 0), 100);
    EXPECT_EQ(p.at(K_VOL, 1), 56);
    EXPECT_EQ(p.at(K_FRQ, 0), 0);
    EXPECT_EQ(p.at(K_FRQ, 1), 100);
    EXPECT_EQ(p.at(K_VIB, 0), 50);
    EXPECT_EQ(p.at(K_WAV, 0), 3);
    EXPECT_EQ(p.at(K_ATTACK), 100);
    EXPECT_EQ(p.at(K_ATTACKLEN), 0);
    EXPECT_EQ(p.at(K_DECAYLEN), 100);
    EXPECT_EQ(p.at(K_RELEASELEN), 0);
    EXPECT_EQ(p.at(K_FADELEN), 0);
    r.at(K_FADELEN) = 2000;
    EXPECT_EQ(slider_positions(r).at(K_FADELEN), 1);

    // Values no slider could give are passed on unchanged, without overflow.
    r.at(K_FRQ, 2) = INT32_MAX;
    r.at(K_ATTACKLEN) = INT32_MIN;
    r.at(K_FADELEN) = -7;
    p = slider_positions(r);
    EXPECT_EQ(p.at(K_FRQ, 2), INT32_MAX);
    EXPECT_EQ(p.at(K_ATTACKLEN), (int64_t(INT32_MIN) - 1) / 200);
    EXPECT_EQ(p.at(K_FADELEN), 0);
}

TEST_F(InstrumentFileTest, SaveAndLoadIntoTheOtherInstrument) {
    fs::path f = dir / "piano"; // no extension is added
    std::string error;
    i2.at(K_FRQ, 4) = 30; // the load recomputes the step
    ASSERT_TRUE(save_instrument_file(f, i1.record(), &error)) << error;
    EXPECT_EQ(fs::file_size(f), 192u);
    EXPECT_EQ(fs::status(f).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(read_bytes(f), encoded(i1));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 1) << "temporary file left behind";

    i1.at(K_FRQ, 4) = 9;
    {
        double before = i1.oscstep[0];
        auto r = load_instrument_file(f, &error);
        ASSERT_TRUE(r) << error;
        engine.load(2, *r);
        EXPECT_EQ(i1.oscstep[0], before);
    }
    EXPECT_EQ(i2.at(K_ATTACKLEN), 100);
    EXPECT_EQ(i2.at(K_DECAYLEN), 100);
    EXPECT_EQ(i2.at(K_RELEASELEN), 100);
    EXPECT_EQ(i2.oscstep[4], 6.282 / 44100.0);
    EXPECT_EQ(i2.at(K_FADELEN), -1);
}

TEST_F(InstrumentFileTest, SavingReplacesAWholeFileAndKeepsItsMode) {
    fs::path f = dir / "old.zpk";
    write_bytes(f, std::vector<uint8_t>(500, 0xAB));
    chmod(f.c_str(), 0644);
    std::string error;
    ASSERT_TRUE(save_instrument_file(f, i2.record(), &error)) << error;
    EXPECT_EQ(read_bytes(f), encoded(i2));
    EXPECT_EQ(fs::status(f).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
}

TEST_F(InstrumentFileTest, AFailedSaveLeavesTheOldFile) {
    fs::path f = dir / "keep.zpk";
    write_bytes(f, {1, 2, 3});
    std::string error;
    EXPECT_FALSE(save_instrument_file((dir / "missing" / "x.zpk").string(), i1.record(), &error));
    EXPECT_NE(error.find("x.zpk"), std::string::npos) << error;

    fs::create_symlink("loop", dir / "loop");
    EXPECT_FALSE(save_instrument_file((dir / "loop").string(), i1.record(), &error));
    EXPECT_NE(error.find("symbolic links"), std::string::npos) << error;
    EXPECT_EQ(read_bytes(f), (std::vector<uint8_t>{1, 2, 3}));
}

// Through links (a chain, relative and absolute) the file they name is
// written, keeping its mode, and the links stay links; a link to nothing yet
// makes that file.
TEST_F(InstrumentFileTest, SavingThroughLinksWritesTheFileTheyName) {
    fs::create_directory(dir / "sub");
    const fs::path real = dir / "sub" / "real.zpk";
    write_bytes(real, std::vector<uint8_t>(192, 0));
    chmod(real.c_str(), 0640);
    fs::create_symlink("sub/real.zpk", dir / "near");
    fs::create_symlink(dir / "near", dir / "far");
    std::string error;
    ASSERT_TRUE(save_instrument_file((dir / "far").string(), i2.record(), &error)) << error;
    EXPECT_EQ(read_bytes(real), encoded(i2));
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all, fs::perms(0640));
    EXPECT_TRUE(fs::is_symlink(dir / "near") && fs::is_symlink(dir / "far"));

    fs::create_symlink("made.zpk", dir / "dangling");
    ASSERT_TRUE(save_instrument_file((dir / "dangling").string(), i1.record(), &error)) << error;
    EXPECT_EQ(read_bytes(dir / "made.zpk"), encoded(i1));
    EXPECT_TRUE(fs::is_symlink(dir / "dangling"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "sub"), {}), 1) << "temporary file left behind";
}

// Where no temporary file can be made beside it, a writable file is written
// in place and keeps its mode; one that cannot be written stays as it was.
// (Root may write anywhere: as root the saves run as the user "nobody".)
TEST_F(InstrumentFileTest, InAFolderWithoutWritePermissionAWritableFileIsWrittenInPlace) {
    const bool root = geteuid() == 0;
    auto as_ordinary_user = [root](const std::function<bool()>& save) {
        if (!root) return save();
        const pid_t pid = fork();
        if (pid == 0) _exit(setgid(65534) == 0 && setuid(65534) == 0 && save() ? 0 : 1);
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    };
    const fs::path f = dir / "in-place.zpk", locked = dir / "locked.zpk";
    const mode_t mode = root ? 0666 : 0640;
    write_bytes(f, std::vector<uint8_t>(500, 0xAB));
    write_bytes(locked, {1, 2, 3});
    chmod(f.c_str(), mode);
    chmod(locked.c_str(), 0444);
    chmod(dir.c_str(), root ? 0755 : 0555);
    EXPECT_TRUE(as_ordinary_user([&] { return save_instrument_file(f, i2.record(), nullptr); }));
    EXPECT_FALSE(as_ordinary_user([&] { return save_instrument_file(locked, i2.record(), nullptr); }));
    chmod(dir.c_str(), 0700);
    EXPECT_EQ(read_bytes(f), encoded(i2));
    EXPECT_EQ(fs::status(f).permissions() & fs::perms::all, fs::perms(mode));
    EXPECT_EQ(read_bytes(locked), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 2);
}

TEST_F(InstrumentFileTest, LoadingRefusesWhatIsNotAnInstrumentFile) {
    std::string error;
    EXPECT_FALSE(load_instrument_file((dir / "nope").string(), &error));
    EXPECT_NE(error.find("nope"), std::string::npos);
    for (size_t size : {0u, 191u, 193u, 4096u}) {
        fs::path f = dir / ("size" + std::to_string(size));
        write_bytes(f, std::vector<uint8_t>(size, 1));
        error.clear();
        EXPECT_FALSE(load_instrument_file(f, &error)) << size;
        EXPECT_NE(error.find(f.filename().string()), std::string::npos) << error;
    }
    EXPECT_FALSE(load_instrument_file(dir.string(), &error)) << "a folder is no instrument";
}

TEST_F(InstrumentFileTest, AbsurdValuesNeverMakeTheEngineUnfinite) {
    instrument_record r = i1.record();
    for (int k = 0; k < 10; ++k) {
        r.at(K_FRQ, k) = k % 2 ? INT32_MAX : INT32_MIN + k;
        r.at(K_VOL, k) = INT32_MAX;
        r.at(K_VIB, k) = INT32_MIN;
        r.at(K_WAV, k) = k % 4;
    }
    r.at(K_ATTACK) = INT32_MAX;
    r.at(K_DECAY) = INT32_MIN;
    r.at(K_ATTACKLEN) = 0;
    r.at(K_DECAYLEN) = INT32_MIN;
    r.at(K_RELEASELEN) = 0;
    r.at(K_FADELEN) = 0;
    engine.load(1, r);
    for (int k = 0; k < 10; ++k) EXPECT_TRUE(std::isfinite(i1.oscstep[k]));
    note_on(60, 127);
    note_on(61, 127);
    i1.at(K_FADELEN) = -1;
    note_on(62, 127);
    for (int s = 0; s < 2000; ++s) {
        if (s == 1000) note_off(62);
        double out = render_normal(&i1);
        ASSERT_TRUE(std::isfinite(out)) << s;
    }
}

// A host's parameter values (the plugin's window saves and loads through
// them): every slider position of every kind survives a file, a fade of 0 is
// "off" (-1 in the file), and a level keeps the file's truncated thousandths.
TEST(InstrumentValues, EverySliderValueSurvivesAFile) {
    for (int i = 0; i < INSTRUMENT_PARAMS; ++i) {
        const param_ref p = param_at(i);
        for (int pos = 0; pos <= param_kinds[p.kind].slider_max; ++pos) {
            instrument_values v{};
            v[size_t(i)] = slider_value(p.kind, pos);
            const instrument_record r = record_of_values(v);
            const instrument_values back = values_of_record(r);
            ASSERT_NEAR(back[size_t(i)], v[size_t(i)], 1e-9) << param_symbol(i) << " at " << pos;
            ASSERT_EQ(slider_position_of(p.kind, back[size_t(i)]), pos) << param_symbol(i);
        }
    }
    instrument_values v{};
    v[size_t(param_id(1, K_FADELEN))] = 0;
    v[size_t(param_id(1, K_VOL, 3))] = 0.2999;
    const instrument_record r = record_of_values(v);
    EXPECT_EQ(r.at(K_FADELEN), -1);
    EXPECT_EQ(r.at(K_VOL, 3), 299);
    EXPECT_EQ(values_of_record(r)[size_t(param_id(1, K_VOL, 3))], 0.299);
}
