#include "app/start_engine.h"

#include "engine/engine.h"

bool start_engine(synth_engine& engine, instrument_files& files, const int setting[KINDS],
                  const bool given[KINDS], std::string* error) {
    for (int n = 0; n < 2; ++n) {
        if (files.path[n].empty()) continue;
        files.loaded[n] = load_instrument_file(files.path[n], error);
        if (!files.loaded[n]) return false;
        apply_record(*files.loaded[n], n == 0 ? engine.i1 : engine.i2);
    }
    for (int kind = 0; kind < KINDS; ++kind)
        if (given[kind]) engine.set(param_id(0, kind), setting[kind]);
    return true;
}
