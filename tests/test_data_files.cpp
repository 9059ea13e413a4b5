// The program's data files: the current folder first, then the data folder
// beside the program, wherever the installation was put.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app/data_files.h"

namespace fs = std::filesystem;

class DataFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/synth-data-XXXXXX";
        root = mkdtemp(tmpl);
        fs::create_directories(root / "prefix/bin");
        fs::create_directories(root / "prefix/share/synth");
        fs::create_directories(root / "elsewhere");
        before = fs::current_path();
        fs::current_path(root / "elsewhere");
    }
    void TearDown() override {
        fs::current_path(before);
        fs::remove_all(root);
    }
    static void touch(const fs::path& p) { std::ofstream(p) << "x"; }
    std::string program() const { return (root / "prefix/bin/synth").string(); }

    fs::path root, before;
};

TEST_F(DataFiles, TheInstalledFileIsFoundFromAnyFolder) {
    touch(root / "prefix/share/synth/synth.bmp");
    EXPECT_EQ(fs::canonical(data_file("synth.bmp", program())),
              fs::canonical(root / "prefix/share/synth/synth.bmp"));
}

TEST_F(DataFiles, TheCurrentFolderComesFirst) {
    touch(root / "prefix/share/synth/synth.bmp");
    touch(root / "elsewhere/synth.bmp");
    EXPECT_EQ(data_file("synth.bmp", program()), "synth.bmp");
}

TEST_F(DataFiles, NowhereGivesTheBareName) {
    EXPECT_EQ(data_file("no-such-picture.bmp", program()), "no-such-picture.bmp");
}
