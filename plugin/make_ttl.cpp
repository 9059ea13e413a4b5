// Writes the plugin's description into its bundle folder: manifest.ttl and
// synth.ttl, with one control port per parameter of the parameter table.
//
//   make_ttl BUNDLE_DIR BINARY_NAME [INSTRUMENT_DIR]
//
// With an instrument folder, every instrument file in it (*.zpk) also becomes
// two presets, one for each instrument (presets.ttl).
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <vector>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "engine/engine.h"
#include "files/instrument_file.h"
#include "plugin/ports.h"

namespace {

std::string number(double v) {
    std::ostringstream s;
    s.precision(10);
    s << v;
    std::string t = s.str();
    if (t.find_first_of(".e") == std::string::npos) t += ".0";
    return t;
}

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

const char* const GROUPS[3][2] = {
    {"settings", "Layering and keyboard"}, {"i1", "Instrument 1"}, {"i2", "Instrument 2"}};

std::string control_port(int id) {
    const param_ref r = param_at(id);
    const param_kind& k = param_kinds[r.kind];
    std::ostringstream p;
    p << "    [\n"
      << "        a lv2:InputPort , lv2:ControlPort ;\n"
      << "        lv2:index " << PORT_FIRST_CONTROL + id << " ;\n"
      << "        lv2:symbol " << quoted(param_symbol(id)) << " ;\n"
      << "        lv2:name " << quoted(param_name(id)) << " ;\n"
      << "        pg:group <#" << GROUPS[r.instrument][0] << "> ;\n"
      << "        lv2:default " << number(port_default(id)) << " ;\n"
      << "        lv2:minimum " << number(k.lo) << " ;\n"
      << "        lv2:maximum " << number(k.hi);
    if (k.integer) p << " ;\n        lv2:portProperty lv2:integer";
    if (k.labels) p << " , lv2:enumeration";
    if (k.unit) p << " ;\n        units:unit units:" << k.unit;
    if (k.labels || k.zero_name || k.off) {
        p << " ;\n        lv2:scalePoint ";
        bool first = true;
        auto point = [&](double v, const std::string& label) {
            p << (first ? "" : " , ") << "[ rdfs:label " << quoted(label) << " ; rdf:value "
              << number(v) << " ]";
            first = false;
        };
        if (k.labels)
            for (int v = int(k.lo); v <= int(k.hi); ++v) point(v, k.labels[v - int(k.lo)]);
        if (k.zero_name) point(0, k.zero_name);
        if (k.off) point(0, "off");
    }
    p << "\n    ]";
    return p.str();
}

// "Instrument 2: Warm Pad" from warm-pad.zpk.
std::string preset_label(int n, const std::string& stem) {
    std::string label;
    bool start = true;
    for (char c : stem) {
        if (c == '-' || c == '_') c = ' ';
        label += start && c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
        start = c == ' ';
    }
    return "Instrument " + std::to_string(n) + ": " + label;
}

// The presets of one instrument file: its values on instrument 1's controls,
// and on instrument 2's.
bool presets(const std::filesystem::path& file, std::ostringstream& manifest, std::ostringstream& ttl) {
    std::string error;
    const auto record = load_instrument_file(file.string(), &error);
    if (!record) {
        std::fprintf(stderr, "make_ttl: %s\n", error.c_str());
        return false;
    }
    for (int n = 1; n <= 2; ++n) {
        const std::string uri = std::string(SYNTH_LV2_URI) + ":preset:i" + std::to_string(n) + ":" +
                                file.stem().string();
        manifest << "<" << uri << ">\n    a pset:Preset ;\n    lv2:appliesTo <" SYNTH_LV2_URI "> ;\n"
                 << "    rdfs:seeAlso <presets.ttl> .\n\n";
        ttl << "<" << uri << ">\n    a pset:Preset ;\n    lv2:appliesTo <" SYNTH_LV2_URI "> ;\n"
            << "    rdfs:label " << quoted(preset_label(n, file.stem().string())) << " ;\n    lv2:port ";
        for (int i = 0; i < INSTRUMENT_PARAMS; ++i) {
            const param_ref r = param_at(i);
            const double v = table_value(r.kind, record_engine_value(r.kind, record->at(r.kind, r.oscillator)));
            ttl << (i ? " , " : "") << "[ lv2:symbol " << quoted(param_symbol(param_id(n, r.kind, r.oscillator)))
                << " ; pset:value " << number(v) << " ]";
        }
        ttl << " .\n\n";
    }
    return true;
}

bool write(const std::string& path, const std::string& text) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << text;
    f.close();
    if (!f) std::fprintf(stderr, "make_ttl: cannot write %s\n", path.c_str());
    return bool(f);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: make_ttl BUNDLE_DIR BINARY_NAME [INSTRUMENT_DIR]\n");
        return 2;
    }
    const std::string dir = argv[1], binary = argv[2];
    const std::string prefixes =
        "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
        "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
        "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
        "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
        "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
        "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
        "@prefix midi: <http://lv2plug.in/ns/ext/midi#> .\n"
        "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n"
        "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
        "@prefix pg: <http://lv2plug.in/ns/ext/port-groups#> .\n"
        "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
        "@prefix time: <http://lv2plug.in/ns/ext/time#> .\n\n";

    std::ostringstream manifest;
    manifest << prefixes << "<" SYNTH_LV2_URI ">\n    a lv2:Plugin , lv2:InstrumentPlugin ;\n"
             << "    lv2:binary <" << binary << "> ;\n    rdfs:seeAlso <synth.ttl> .\n";

    std::ostringstream ttl;
    ttl << prefixes;
    for (const auto& g : GROUPS)
        ttl << "<#" << g[0] << ">\n    a pg:Group ;\n    lv2:symbol " << quoted(g[0])
            << " ;\n    rdfs:label " << quoted(g[1]) << " .\n\n";
    ttl << "<" SYNTH_LV2_URI ">\n"
        << "    a lv2:Plugin , lv2:InstrumentPlugin , doap:Project ;\n"
        << "    doap:name \"synth\" ;\n"
        << "    doap:license <http://opensource.org/licenses/isc> ;\n"
        << "    doap:maintainer [\n"
        << "        foaf:name " << quoted(SYNTH_MAINTAINER_NAME) << "\n"
        << "    ] ;\n"
        << "    lv2:minorVersion " << SYNTH_VERSION_MINOR << " ;\n"
        << "    lv2:microVersion " << SYNTH_VERSION_MICRO << " ;\n"
        << "    rdfs:comment \"An additive synthesizer of two instruments, ten oscillators each, "
           "layered by a keyboard mode.\" ;\n"
        << "    lv2:requiredFeature urid:map ;\n"
        << "    lv2:optionalFeature lv2:hardRTCapable ;\n"
        << "    lv2:port [\n"
        << "        a lv2:InputPort , atom:AtomPort ;\n"
        << "        atom:bufferType atom:Sequence ;\n"
        << "        atom:supports midi:MidiEvent , time:Position ;\n"
        << "        lv2:designation lv2:control ;\n"
        << "        lv2:index " << PORT_MIDI_IN << " ;\n"
        << "        lv2:symbol \"midi_in\" ;\n"
        << "        lv2:name \"MIDI in\"\n"
        << "    ] , [\n"
        << "        a lv2:OutputPort , lv2:AudioPort ;\n"
        << "        lv2:index " << PORT_OUT_LEFT << " ;\n"
        << "        lv2:symbol \"out_left\" ;\n"
        << "        lv2:name \"Left\"\n"
        << "    ] , [\n"
        << "        a lv2:OutputPort , lv2:AudioPort ;\n"
        << "        lv2:index " << PORT_OUT_RIGHT << " ;\n"
        << "        lv2:symbol \"out_right\" ;\n"
        << "        lv2:name \"Right\"\n"
        << "    ] ,\n";
    for (int id = 0; id < PARAM_COUNT; ++id)
        ttl << control_port(id) << (id + 1 < PARAM_COUNT ? " ,\n" : " .\n");

    std::ostringstream preset_ttl;
    preset_ttl << prefixes;
    if (argc == 4) {
        manifest << "\n";
        std::vector<std::filesystem::path> files;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(argv[3], ec))
            if (e.path().extension() == ".zpk") files.push_back(e.path());
        if (ec) {
            std::fprintf(stderr, "make_ttl: %s: %s\n", argv[3], ec.message().c_str());
            return 1;
        }
        std::sort(files.begin(), files.end());
        for (const auto& f : files)
            if (!presets(f, manifest, preset_ttl)) return 1;
    }
    const bool ok = write(dir + "/manifest.ttl", manifest.str()) && write(dir + "/synth.ttl", ttl.str()) &&
                    (argc != 4 || write(dir + "/presets.ttl", preset_ttl.str()));
    return ok ? 0 : 1;
}
