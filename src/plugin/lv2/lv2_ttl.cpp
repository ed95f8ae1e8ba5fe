// Writes the LV2 bundle's descriptions from the plugin's own tables:
// manifest.ttl, orvella.ttl (one control port per parameter, its range,
// default and value names) and presets.ttl (the factory bank).
//
//   orvella-lv2-ttl BUNDLE_DIR BIN_DIR
#include <cstdio>
#include <fstream>
#include <string>

#include "plugin/plugin_core.h"

namespace {

const char* const kUri = "https://kestrova.example/plugins/orvella";

std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: orvella-lv2-ttl BUNDLE_DIR BIN_DIR\n");
        return 2;
    }
    const std::string bundle = argv[1];
    plugin::Sound sound(argv[2]);
    if (!sound.ok()) {
        std::fprintf(stderr, "orvella-lv2-ttl: %s\n", sound.problem().c_str());
        return 1;
    }
    const std::string prefixes =
        "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
        "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
        "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n@prefix work: <http://lv2plug.in/ns/ext/worker#> .\n"
        "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n"
        "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n\n";

    std::ofstream manifest(bundle + "/manifest.ttl");
    manifest << prefixes << "<" << kUri << ">\n    a lv2:Plugin ;\n    lv2:binary <orvella.so> ;\n"
             << "    rdfs:seeAlso <orvella.ttl> .\n";
    for (int i = 0; i < 8; ++i)
        manifest << "\n<" << kUri << "#factory" << i + 1 << ">\n    a pset:Preset ;\n    lv2:appliesTo <" << kUri
                 << "> ;\n    rdfs:seeAlso <presets.ttl> .\n";

    std::ofstream ttl(bundle + "/orvella.ttl");
    ttl << prefixes << "<" << kUri << ">\n    a lv2:Plugin, lv2:SimulatorPlugin, doap:Project ;\n    doap:name \"Orvella\" ;\n"
        << "    doap:license <https://kestrova.example/orvella/license> ;\n"
        << "    doap:maintainer [ foaf:name \"Kestrova\" ] ;\n"
        << "    lv2:optionalFeature work:schedule, urid:map, lv2:hardRTCapable ;\n"
        << "    lv2:extensionData work:interface, state:interface ;\n    lv2:port\n";
    const char* audio[4][3] = {{"InputPort", "in_l", "DI in left (or mono)"}, {"InputPort", "in_r", "DI in right"},
                               {"OutputPort", "out_l", "Left out"}, {"OutputPort", "out_r", "Right out"}};
    for (int i = 0; i < 4; ++i)
        ttl << "    [\n        a lv2:AudioPort, lv2:" << audio[i][0] << " ;\n        lv2:index " << i
            << " ;\n        lv2:symbol \"" << audio[i][1] << "\" ;\n        lv2:name \"" << audio[i][2] << "\""
            << (i == 1 ? " ;\n        lv2:portProperty lv2:connectionOptional" : "") << " ;\n    ] ,\n";
    ttl << "    [\n        a lv2:ControlPort, lv2:OutputPort ;\n        lv2:index 4 ;\n        lv2:symbol \"latency\" ;\n"
        << "        lv2:name \"Latency\" ;\n        lv2:designation lv2:latency ;\n"
        << "        lv2:portProperty lv2:reportsLatency, lv2:integer ;\n        lv2:minimum 0 ;\n        lv2:maximum 8192 ;\n    ]";
    const plugin::ParamValues defaults = sound.values();
    for (int id = 0; id < plugin::ParamCount; ++id) {
        const plugin::ParamInfo& p = plugin::paramInfo(id);
        ttl << " ,\n    [\n        a lv2:ControlPort, lv2:InputPort ;\n        lv2:index " << 5 + id
            << " ;\n        lv2:symbol \"" << p.symbol << "\" ;\n        lv2:name \"" << p.name << "\" ;\n"
            << "        lv2:default " << defaults.v[id] << " ;\n        lv2:minimum 0 ;\n        lv2:maximum " << p.max
            << " ;\n        lv2:portProperty lv2:integer";
        if (p.isEnum) {
            ttl << ", lv2:enumeration ;\n        lv2:scalePoint";
            for (int v = 0; v <= p.max; ++v) {
                char text[96];
                plugin::valueText(id, v, defaults, text, sizeof text);
                ttl << (v ? " ," : "") << "\n            [ rdfs:label \"" << escaped(text) << "\" ; rdf:value " << v << " ]";
            }
        }
        ttl << " ;\n    ]";
    }
    ttl << " .\n";

    std::ofstream presets(bundle + "/presets.ttl");
    presets << prefixes;
    for (int i = 0; i < 8; ++i) {
        std::string why;
        if (!sound.loadFactoryPreset(i, why)) {
            std::fprintf(stderr, "orvella-lv2-ttl: factory preset %d: %s\n", i + 1, why.c_str());
            return 1;
        }
        presets << "<" << kUri << "#factory" << i + 1 << ">\n    a pset:Preset ;\n    lv2:appliesTo <" << kUri
                << "> ;\n    rdfs:label \"" << escaped(sound.name()) << "\" ;\n    lv2:port";
        for (int id = 0; id < plugin::ParamCount; ++id)
            presets << (id ? " ," : "") << "\n        [ lv2:symbol \"" << plugin::paramInfo(id).symbol
                    << "\" ; pset:value " << sound.values().v[id] << " ]";
        presets << " .\n\n";
    }
    return manifest && ttl && presets ? 0 : 1;
}
