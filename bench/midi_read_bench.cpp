// Speed of the MIDI file reader on large files: seconds to read each (from a
// file in the temporary folder, through read_midi_file), and events per second.
//
//   build/midi_read_bench [--events N]   N: events of the largest file (default 1000000)
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "files/midi_file.h"
#include "tests/midi_builder.h"

using namespace midi_builder;

namespace {

// Notes on and off with running status, one pulse apart.
track notes(int n, int from = 0) {
    track t;
    for (int k = 0; k < n; ++k) {
        if (k == 0) t.on(0, 60, 100);
        else t.ev(1, {uint8_t((from + k) % 128), uint8_t(k % 2 ? 0 : 100)});
    }
    return t;
}

void measure(const char* name, const bytes& content) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("synth-midi-bench-" + std::to_string(getpid()) + ".mid")).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(content.data()), std::streamsize(content.size()));
    const auto start = std::chrono::steady_clock::now();
    std::string error;
    auto events = read_midi_file(path, 44100, &error);
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::filesystem::remove(path);
    if (!events) {
        std::printf("%-44s refused: %s\n", name, error.c_str());
        return;
    }
    std::printf("%-44s %9.1f KB %9zu events %8.3f s %8.1f M events/s\n", name, content.size() / 1024.0,
                events->size(), s, events->size() / s / 1e6);
}

} // namespace

int main(int argc, char** argv) {
    int n = 1000000;
    if (argc == 3 && std::strcmp(argv[1], "--events") == 0) n = std::atoi(argv[2]);
    if (n < 16) {
        std::fprintf(stderr, "usage: midi_read_bench [--events N]   (N at least 16)\n");
        return 2;
    }
    std::printf("%-44s %12s %16s %10s\n", "file", "size", "", "read in");
    measure("one track", file(0, 96, {notes(n)}));

    std::vector<track> sixteen;
    for (int t = 0; t < 16; ++t) sixteen.push_back(notes(n / 16, t));
    measure("16 tracks side by side", file(1, 96, sixteen));

    track tempos;
    for (int k = 0; k < n / 2; ++k) tempos.tempo(1, 400000 + k % 1000);
    measure("tempo changes in track 2 between the notes", file(1, 96, {notes(n / 2), tempos}));

    std::vector<track> empty(65535);
    empty.back() = notes(n);
    measure("65535 tracks, all but the last empty", file(1, 96, empty));
}
