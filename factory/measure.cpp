#include "factory/measure.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/engine.h"
#include "engine/notes.h"

namespace {

constexpr int FRAME = 441;     // 10 ms
constexpr int WINDOW = 4410;   // 100 ms
constexpr int LONGEST = 44100 * 12;

double rms(const int16_t* s, int n, bool without_mean) {
    double mean = 0.0;
    if (without_mean) {
        for (int i = 0; i < n; ++i) mean += s[i];
        mean /= n;
    }
    double sum = 0.0;
    for (int i = 0; i < n; ++i) sum += (s[i] - mean) * (s[i] - mean);
    return std::sqrt(sum / n);
}

double peak(const std::vector<int16_t>& s) {
    int p = 0;
    for (int16_t v : s) p = std::max(p, std::abs(int(v)));
    return p;
}

} // namespace

double dbfs(double magnitude) {
    return magnitude > 0.0 ? 20.0 * std::log10(magnitude / 32768.0)
                           : -std::numeric_limits<double>::infinity();
}

std::vector<int16_t> play(const instrument_record& r, const std::vector<int>& notes, int velocity,
                          int max_samples) {
    synth_engine engine;
    engine.load(1, r);
    std::vector<block_event> keys;
    for (int n : notes) keys.push_back({0, short_message(0x90, n, velocity)});
    std::vector<int16_t> out(size_t(max_samples), 0);
    const int held = std::min(HELD_SAMPLES, max_samples);
    int pos = 0;
    for (bool first = true; pos < held; first = false) {
        const int n = std::min(1024, held - pos);
        engine.render(out.data() + pos, n, first ? std::span<const block_event>(keys) : std::span<const block_event>());
        pos += n;
    }
    for (block_event& k : keys) k.message = short_message(0x80, int((k.message >> 8) & 0x7F), 0);
    engine.render(out.data() + pos, 0, keys);
    pos += render_while_sounding(engine, out.data() + pos, max_samples - pos);
    out.resize(size_t(pos));
    return out;
}

sound_figures measure(const instrument_record& r) {
    sound_figures f{};
    double chord = 0.0;
    for (const auto& c : MEASURED_CHORDS)
        chord = std::max(chord, peak(play(r, {c[0], c[1], c[2], c[3]}, 127, LONGEST)));
    f.chord_peak = dbfs(chord);

    const std::vector<int16_t> s = play(r, {MEASURED_NOTE}, 127, LONGEST);
    f.note_peak = dbfs(peak(s));
    const int n = int(s.size());
    double loudest = 0.0;
    for (int at = 0; at + WINDOW <= n; at += FRAME)
        loudest = std::max(loudest, rms(s.data() + at, WINDOW, true));
    f.note_rms = dbfs(loudest);

    std::vector<double> frames;
    for (int at = 0; at + FRAME <= n; at += FRAME) frames.push_back(rms(s.data() + at, FRAME, false));
    if (frames.empty()) return f;
    const double top = *std::max_element(frames.begin(), frames.end());
    size_t rise = 0;
    while (frames[rise] < 0.9 * top) ++rise;
    f.rise_ms = 10.0 * double(rise + 1);
    const size_t at_held = size_t(66150 / FRAME);
    f.held_db = at_held < frames.size() ? 20.0 * std::log10(std::max(frames[at_held], 1e-9) / top)
                                        : -std::numeric_limits<double>::infinity();
    size_t last = 0;
    for (size_t i = 0; i < frames.size(); ++i)
        if (frames[i] > top * 1e-3) last = i;
    f.ring_ms = std::max(0.0, 10.0 * double(last + 1) - HELD_SAMPLES / 44.1);
    return f;
}
