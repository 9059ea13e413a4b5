// Writes the LV2 presets into the plugin's bundle folder, after the
// framework has described the plugin there: presets.ttl, with every factory
// instrument as a preset for each instrument (plugin/programs.h), and one
// entry per preset at the end of manifest.ttl.
//
//   make_presets BUNDLE_DIR
//
// A preset sets one instrument's controls and leaves the rest alone, under
// the URI earlier releases gave it (urn:synth:additive:preset:i1:NAME).
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "plugin/ports.h"
#include "plugin/programs.h"

namespace {

std::string number(double v) {
    std::ostringstream s;
    s.precision(10);
    s << v;
    std::string t = s.str();
    if (t.find_first_of(".e") == std::string::npos) t += ".0";
    return t;
}

const char* const PREFIXES = "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                             "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
                             "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n\n";

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_presets BUNDLE_DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    const auto& programs = factory_programs();
    if (programs.empty()) return 1;
    std::ostringstream manifest, presets;
    // The framework's LV2 wrapper offers the programs interface of KXStudio's
    // vocabulary, which LV2 itself does not define: said here, so that
    // lv2_validate knows it as an extension.
    for (const char* part : {"Interface", "UIInterface"}) // the window's too
        manifest << "<http://kxstudio.sf.net/ns/lv2ext/programs#" << part << ">\n"
                 << "    a <http://lv2plug.in/ns/lv2core#ExtensionData> .\n\n";
    presets << PREFIXES;
    for (const factory_program& p : programs) {
        manifest << "<" << p.lv2_uri << ">\n    a <http://lv2plug.in/ns/ext/presets#Preset> ;\n"
                 << "    <http://lv2plug.in/ns/lv2core#appliesTo> <" SYNTH_LV2_URI "> ;\n"
                 << "    <http://www.w3.org/2000/01/rdf-schema#seeAlso> <presets.ttl> .\n\n";
        presets << "<" << p.lv2_uri << ">\n    a pset:Preset ;\n    lv2:appliesTo <" SYNTH_LV2_URI "> ;\n"
                << "    rdfs:label \"" << p.label << "\" ;\n    lv2:port ";
        for (int i = 0; i < INSTRUMENT_PARAMS; ++i)
            presets << (i ? " , " : "") << "[ lv2:symbol \""
                    << param_symbol((p.instrument - 1) * INSTRUMENT_PARAMS + i) << "\" ; pset:value "
                    << number(p.values[i]) << " ]";
        presets << " .\n\n";
    }
    std::ofstream m(dir + "/manifest.ttl", std::ios::binary | std::ios::app);
    m << "\n" << manifest.str();
    std::ofstream s(dir + "/presets.ttl", std::ios::binary | std::ios::trunc);
    s << presets.str();
    m.close();
    s.close();
    if (!m || !s) {
        std::fprintf(stderr, "make_presets: cannot write into %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
