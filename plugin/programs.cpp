#include "plugin/programs.h"

#include <algorithm>
#include <cstdio>

#include "engine/engine.h"
#include "factory/factory_table.h"
#include "files/instrument_file.h"
#include "plugin/factory_text.h" // SYNTH_FACTORY_TEXT: factory/instruments.txt
#include "plugin/ports.h"

namespace {

// "Instrument 2: Warm Pad" for warm-pad.
std::string label(int n, const std::string& name) {
    std::string s;
    bool start = true;
    for (char c : name) {
        if (c == '-' || c == '_') c = ' ';
        s += start && c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
        start = c == ' ';
    }
    return "Instrument " + std::to_string(n) + ": " + s;
}

std::vector<factory_program> make_programs() {
    std::string error;
    const auto table = parse_factory_table(SYNTH_FACTORY_TEXT, "instruments.txt", &error);
    if (!table) { // the build checks the table; this cannot happen in a build that passed
        std::fprintf(stderr, "synth plugin: %s\n", error.c_str());
        return {};
    }
    std::vector<factory_program> programs;
    for (int n = 1; n <= 2; ++n)
        for (const factory_instrument& f : *table) {
            factory_program p{n, f.name, label(n, f.name),
                              std::string(SYNTH_LV2_URI) + ":preset:i" + std::to_string(n) + ":" + f.name, {}};
            const instrument_values v = values_of_record(f.record);
            std::copy(v.begin(), v.end(), p.values);
            programs.push_back(std::move(p));
        }
    return programs;
}

} // namespace

const std::vector<factory_program>& factory_programs() {
    static const std::vector<factory_program> programs = make_programs();
    return programs;
}
