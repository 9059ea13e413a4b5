#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "files/instrument_file.h"
#include "panel/file_buttons.h"
#include "panel_fixture.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> read_bytes(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

void write_bytes(const fs::path& p, const std::vector<uint8_t>& b) {
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

void write_record(const fs::path& p, const instrument_record& r) {
    std::vector<uint8_t> b(INSTRUMENT_FILE_SIZE);
    encode_record(r, b.data());
    write_bytes(p, b);
}

// Rows whose position or flags differ from the pristine table.
std::set<int> changed_rows(const DIALOG* before) {
    std::set<int> rows;
    for (int r = 0; r < DIALOG_ROWS; ++r)
        if (std::memcmp(&before[r], &the_dialog[r], sizeof(DIALOG)) != 0) rows.insert(r);
    return rows;
}

std::set<int> slider_rows_of(int n) {
    std::set<int> rows;
    for (int p = 0; p < OSCILLATOR_KINDS; ++p)
        for (int k = 0; k < 10; ++k) rows.insert(slider_row(n, p, k));
    for (int e = 0; e < ENVELOPE_KINDS; ++e) rows.insert(slider_row(n, K_ATTACKLEN + e));
    return rows;
}

std::set<int> range(int a, int b) {
    std::set<int> s;
    for (int r = a; r <= b; ++r) s.insert(r);
    return s;
}

bool same(const instrument_record& a, const instrument_record& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

class PanelFilesTest : public PanelTest {
protected:
    void SetUp() override {
        PanelTest::SetUp();
        char tmpl[] = "/tmp/synth-panel-XXXXXX";
        dir = mkdtemp(tmpl);
    }
    void TearDown() override {
        fs::remove_all(dir);
        PanelTest::TearDown();
    }
    fs::path dir;
};

TEST_F(PanelFilesTest, LoadingIntoInstrumentTwoMovesOnlyItsSliders) {
    instrument_record r = i1.record();
    r.at(K_VOL, 0) = 1000;
    r.at(K_VOL, 1) = 569;
    r.at(K_FRQ, 2) = -50;
    r.at(K_FRQ, 3) = 50;
    r.at(K_WAV, 4) = 2;
    r.at(K_VIB, 5) = 1000;
    r.at(K_ATTACKLEN) = 20001;
    r.at(K_ATTACK) = 2000;
    r.at(K_DECAYLEN) = 1;
    r.at(K_DECAY) = 500;
    r.at(K_RELEASELEN) = 401;
    r.at(K_FADELEN) = 2000;
    write_record(dir / "a.zpk", r);

    std::string error;
    ASSERT_TRUE(load_instrument(engine, 2, dir / "a.zpk", &error)) << error;

    std::set<int> expected = range(85, 104);
    for (const std::set<int>& s : {range(106, 115), range(117, 126), range(128, 133)})
        expected.insert(s.begin(), s.end());
    EXPECT_EQ(changed_rows(pristine), expected);
    EXPECT_EQ(expected, slider_rows_of(2));
    for (int row : expected) EXPECT_TRUE(the_dialog[row].flags & D_DIRTY) << row;

    auto pos = [](int row) { return the_dialog[row].d2; };
    EXPECT_EQ(pos(85), 100);
    EXPECT_EQ(pos(86), 56);
    EXPECT_EQ(pos(97), 0);    // frq -50
    EXPECT_EQ(pos(98), 100);  // frq +50
    EXPECT_EQ(pos(110), 2);
    EXPECT_EQ(pos(122), 50);  // vib 1.0
    EXPECT_EQ(pos(128), 100); // attacklen 20001
    EXPECT_EQ(pos(129), 100); // attack 2.0
    EXPECT_EQ(pos(130), 0);   // decaylen 1
    EXPECT_EQ(pos(131), 25);
    EXPECT_EQ(pos(132), 2);
    EXPECT_EQ(pos(133), 1);   // fadelen 2000

    // The instrument holds the file's values, with fresh phase steps.
    EXPECT_DOUBLE_EQ(i2.at(K_VOL, 1), 0.569);
    EXPECT_EQ(i2.at(K_FRQ, 2), -50);
    EXPECT_DOUBLE_EQ(i2.oscstep[2], 6.282 * spechertz(-50) / 44100.0);
    EXPECT_DOUBLE_EQ(i2.oscstep[3], 6.282 * spechertz(50) / 44100.0);
    EXPECT_EQ(i2.at(K_ATTACKLEN), 20001);
    EXPECT_EQ(i2.at(K_FADELEN), 2000);
    EXPECT_EQ(i1.at(K_FRQ, 2), 0) << "the other instrument is left alone";
}

TEST_F(PanelFilesTest, InstrumentOneAtStartIntoInstrumentTwo) {
    std::string error;
    ASSERT_TRUE(save_instrument(engine, 1, dir / "start", &error)) << error;
    EXPECT_TRUE(fs::exists(dir / "start")) << "no extension is added";
    EXPECT_EQ(read_bytes(dir / "start").size(), 192u);
    EXPECT_EQ(fs::status(dir / "start").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_TRUE(changed_rows(pristine).empty()) << "saving moves no slider";

    ASSERT_TRUE(load_instrument(engine, 2, dir / "start", &error)) << error;
    EXPECT_EQ(i2.at(K_ATTACKLEN), 100);
    EXPECT_EQ(i2.at(K_DECAYLEN), 100);
    EXPECT_EQ(i2.at(K_RELEASELEN), 100);
    EXPECT_EQ(i2.at(K_FADELEN), -1);
    // Every slider of instrument 2 is back at its initial position.
    for (int row : slider_rows_of(2)) EXPECT_EQ(the_dialog[row].d2, pristine[row].d2) << row;
}

TEST_F(PanelFilesTest, PositionsFromOddFilesAreStoredUnchanged) {
    instrument_record r = i1.record();
    r.at(K_VOL, 0) = 5000;
    r.at(K_WAV, 1) = 9;
    r.at(K_FRQ, 2) = -80;
    r.at(K_FADELEN) = -7;
    write_record(dir / "odd", r);
    ASSERT_TRUE(load_instrument(engine, 1, dir / "odd", nullptr));
    EXPECT_EQ(the_dialog[24].d2, 500);
    EXPECT_EQ(the_dialog[46].d2, 9);
    EXPECT_EQ(the_dialog[36].d2, -30);
    EXPECT_EQ(the_dialog[72].d2, 0) << "-7 / 2000 truncates to 0";
    EXPECT_EQ(i1.at(K_FADELEN), -7);
}

TEST_F(PanelFilesTest, AFailedLoadChangesNothing) {
    i1.at(K_VOL, 3) = 0.25;
    const instrument_record before = i1.record();
    std::vector<uint8_t> good(INSTRUMENT_FILE_SIZE);
    encode_record(i2.record(), good.data());

    write_bytes(dir / "short", std::vector<uint8_t>(good.begin(), good.begin() + 12));
    std::vector<uint8_t> longer = good;
    longer.push_back(0);
    write_bytes(dir / "long", longer);
    write_bytes(dir / "empty", {});
    fs::create_directory(dir / "folder");

    for (const char* name : {"short", "long", "empty", "folder", "missing"}) {
        SCOPED_TRACE(name);
        std::string error;
        EXPECT_FALSE(load_instrument(engine, 1, dir / name, &error));
        EXPECT_NE(error.find(name), std::string::npos) << error;
        EXPECT_TRUE(same(i1.record(), before));
        EXPECT_TRUE(changed_rows(pristine).empty());
    }
}

// Saving onto a folder's name fails only at the rename: the temporary file
// must not be left behind.
TEST_F(PanelFilesTest, AFailedSaveLeavesNothingBehind) {
    fs::create_directory(dir / "taken");
    std::string error;
    EXPECT_FALSE(save_instrument(engine, 1, (dir / "taken").string(), &error));
    EXPECT_NE(error.find("taken"), std::string::npos) << error;
    EXPECT_TRUE(fs::is_directory(dir / "taken"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST(FailureAlert, NamesTheFileAndTheReasonInShortLines) {
    failure_lines l = describe_failure("Cannot load", "/home/me/sounds/bell.zpk",
                                       "Cannot load /home/me/sounds/bell.zpk: not an instrument "
                                       "file (12 bytes, expected 192)");
    EXPECT_EQ(l.what, "Cannot load bell.zpk");
    EXPECT_EQ(l.why, "not an instrument file (12 bytes, expected 192)");

    l = describe_failure("Cannot save", "/x/" + std::string(300, 'n'), "odd message");
    EXPECT_LE(l.what.size(), 90u);
    EXPECT_EQ(l.why, "odd message");
}
