// Writes the demonstration tune (factory/demo-tune.txt) as a standard MIDI
// file of type 0, 480 pulses per quarter note, every note on channel 1. At
// one instant note-offs come before note-ons, so a repeated note starts anew.
//
// Usage: make_demo TUNE OUTPUT.mid
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int PPQN = 480;

struct event {
    uint32_t tick;
    bool on;
    int note, velocity;
};

// A '#' at the start of a line or after a space begins a comment (G#3 is a note).
std::string without_comment(const std::string& raw) {
    for (size_t i = 0; i < raw.size(); ++i)
        if (raw[i] == '#' && (i == 0 || raw[i - 1] == ' ' || raw[i - 1] == '\t')) return raw.substr(0, i);
    return raw;
}

// C4 is 60; sharps and flats with # and b.
int note_number(const std::string& name) {
    static const int pitch[7] = {9, 11, 0, 2, 4, 5, 7}; // A..G
    if (name.size() < 2 || name[0] < 'A' || name[0] > 'G') return -1;
    int n = pitch[name[0] - 'A'];
    size_t i = 1;
    if (name[i] == '#') ++n, ++i;
    else if (name[i] == 'b') --n, ++i;
    if (i + 1 != name.size() || name[i] < '0' || name[i] > '9') return -1;
    n += 12 * (name[i] - '0' + 1);
    return n >= 0 && n <= 127 ? n : -1;
}

void put(std::vector<uint8_t>& b, std::initializer_list<int> bytes) {
    for (int v : bytes) b.push_back(uint8_t(v));
}

void put_vlq(std::vector<uint8_t>& b, uint32_t n) {
    uint8_t tmp[5];
    int k = 0;
    tmp[k++] = n & 0x7F;
    while (n >>= 7) tmp[k++] = uint8_t(0x80 | (n & 0x7F));
    while (k) b.push_back(tmp[--k]);
}

void put_be(std::vector<uint8_t>& b, uint32_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) b.push_back(uint8_t(v >> (8 * i)));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_demo TUNE OUTPUT.mid\n");
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::fprintf(stderr, "make_demo: cannot read %s\n", argv[1]);
        return 1;
    }
    double tempo = 120.0, bar_start = 0.0;
    std::vector<event> events;
    int number = 0;
    auto fail = [&](const std::string& what) {
        std::fprintf(stderr, "%s:%d: %s\n", argv[1], number, what.c_str());
        return 1;
    };
    for (std::string raw; std::getline(in, raw);) {
        ++number;
        std::istringstream line(without_comment(raw));
        std::string first;
        if (!(line >> first)) continue;
        if (first == "tempo") {
            if (!(line >> tempo) || tempo <= 0) return fail("tempo needs quarter notes per minute");
        } else if (first == "bar") {
            int bar = 0;
            if (!(line >> bar) || bar < 1) return fail("bar needs a number from 1");
            bar_start = 4.0 * (bar - 1);
        } else {
            double beat = 0, length = 0;
            int velocity = 0;
            std::istringstream head(first);
            if (!(head >> beat) || !(line >> length >> velocity) || length <= 0 || velocity < 1 ||
                velocity > 127)
                return fail("expected BEAT LENGTH VELOCITY NOTE...");
            const auto tick = [](double beats) { return uint32_t(std::lround(beats * PPQN)); };
            int notes = 0;
            for (std::string name; line >> name; ++notes) {
                const int n = note_number(name);
                if (n < 0) return fail("\"" + name + "\" is not a note such as C4 or F#2");
                events.push_back({tick(bar_start + beat), true, n, velocity});
                events.push_back({tick(bar_start + beat + length), false, n, 0});
            }
            if (notes == 0) return fail("a line of notes names no note");
        }
    }
    std::stable_sort(events.begin(), events.end(), [](const event& a, const event& b) {
        return a.tick != b.tick ? a.tick < b.tick : (!a.on && b.on);
    });

    std::vector<uint8_t> track;
    put(track, {0x00, 0xFF, 0x51, 0x03});
    put_be(track, uint32_t(std::lround(60e6 / tempo)), 3);
    uint32_t now = 0;
    for (const event& e : events) {
        put_vlq(track, e.tick - now);
        now = e.tick;
        put(track, {e.on ? 0x90 : 0x80, e.note, e.on ? e.velocity : 0x40});
    }
    put(track, {0x00, 0xFF, 0x2F, 0x00});

    std::vector<uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1};
    put_be(file, PPQN, 2);
    put(file, {'M', 'T', 'r', 'k'});
    put_be(file, uint32_t(track.size()), 4);
    file.insert(file.end(), track.begin(), track.end());
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    if (!out.flush()) {
        std::fprintf(stderr, "make_demo: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
