// Writes the plugin's description into its bundle folder: manifest.ttl and
// synth.ttl, with one control port per parameter of the parameter table.
//
//   make_ttl BUNDLE_DIR BINARY_NAME
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

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

bool write(const std::string& path, const std::string& text) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << text;
    f.close();
    if (!f) std::fprintf(stderr, "make_ttl: cannot write %s\n", path.c_str());
    return bool(f);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_ttl BUNDLE_DIR BINARY_NAME\n");
        return 2;
    }
    const std::string dir = argv[1], binary = argv[2];
    const std::string prefixes =
        "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
        "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
        "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
        "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
        "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
        "@prefix midi: <http://lv2plug.in/ns/ext/midi#> .\n"
        "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n"
        "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
        "@prefix pg: <http://lv2plug.in/ns/ext/port-groups#> .\n\n";

    std::ostringstream manifest;
    manifest << prefixes << "<" SYNTH_LV2_URI ">\n    a lv2:Plugin , lv2:InstrumentPlugin ;\n"
             << "    lv2:binary <" << binary << "> ;\n    rdfs:seeAlso <synth.ttl> .\n";

    std::ostringstream ttl;
    ttl << prefixes;
    for (const auto& g : GROUPS)
        ttl << "<#" << g[0] << ">\n    a pg:Group ;\n    lv2:symbol " << quoted(g[0])
            << " ;\n    rdfs:label " << quoted(g[1]) << " .\n\n";
    ttl << "<" SYNTH_LV2_URI ">\n"
        << "    a lv2:Plugin , lv2:InstrumentPlugin ;\n"
        << "    doap:name \"synth\" ;\n"
        << "    doap:license <http://opensource.org/licenses/isc> ;\n"
        << "    rdfs:comment \"An additive synthesizer of two instruments, ten oscillators each, "
           "layered by a keyboard mode.\" ;\n"
        << "    lv2:requiredFeature urid:map ;\n"
        << "    lv2:optionalFeature lv2:hardRTCapable ;\n"
        << "    lv2:port [\n"
        << "        a lv2:InputPort , atom:AtomPort ;\n"
        << "        atom:bufferType atom:Sequence ;\n"
        << "        atom:supports midi:MidiEvent ;\n"
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

    return write(dir + "/manifest.ttl", manifest.str()) && write(dir + "/synth.ttl", ttl.str()) ? 0 : 1;
}
