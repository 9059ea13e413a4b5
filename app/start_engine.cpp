#include "app/start_engine.h"

#include "engine/engine.h"

bool start_engine(synth_engine& engine, instrument_files& files, const int setting[KINDS],
                  const bool given[KINDS], std::string* error) {
    for (int n = 0; n < 2; ++n) {
        if (files.path[n].empty()) continue;
        files.loaded[n] = load_instrument_file(files.path[n], error);
        if (!files.loaded[n]) return false;
        engine.load(n + 1, *files.loaded[n]);
    }
    param_change settings[KINDS];
    int count = 0;
    for (int kind = 0; kind < KINDS; ++kind)
        if (given[kind]) settings[count++] = {param_id(0, kind), double(setting[kind])};
    engine.set(std::span<const param_change>(settings, size_t(count)));
    return true;
}
