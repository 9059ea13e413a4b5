// Prints how each factory instrument measures: chord and note peaks, the
// loudness of one note, how fast it rises, what is left of it after 1.5 s
// held, and how long it rings after the key is let go.
//
// Usage: factory_measure TABLE
#include <cstdio>

#include "factory/factory_table.h"
#include "factory/measure.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: factory_measure TABLE\n");
        return 2;
    }
    std::string error;
    const auto table = read_factory_table(argv[1], &error);
    if (!table) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::printf("| instrument | kind | chord peak dBFS | note peak dBFS | note RMS dBFS | rise ms | "
                "held 1.5 s dB | rings ms |\n| --- | --- | --- | --- | --- | --- | --- | --- |\n");
    for (const factory_instrument& f : *table) {
        const sound_figures m = measure(f.record);
        char held[16] = "silent";
        if (m.held_db > -120.0) std::snprintf(held, sizeof held, "%.1f", m.held_db);
        std::printf("| %s | %s | %.1f | %.1f | %.1f | %.0f | %s | %.0f |\n", f.name.c_str(),
                    f.kind.c_str(), m.chord_peak, m.note_peak, m.note_rms, m.rise_ms, held,
                    m.ring_ms);
    }
    return 0;
}
