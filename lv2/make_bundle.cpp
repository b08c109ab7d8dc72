// Writes the Turtle files of the korva.lv2 bundle from the port table:
//
//   korva_lv2_bundle DIR BINARY PRESETS [UI_BINARY]
//       ->  DIR/manifest.ttl, DIR/korva.ttl, DIR/presets.ttl
//
// BINARY is the file name of the plug-in's shared object inside DIR; PRESETS
// is the folder of the factory presets (their index and .kp files), which
// join "Defaults" and "Every stage on" under their own names. UI_BINARY, when
// given, is the shared object of the window (a ui:GtkUI), which the manifest
// then names as the plug-in's UI. The build runs
// this after every change of the port table or of the factory presets, so
// the description can never disagree with the plug-in.
#include "plugin_core/lv2_text.h"
#include "plugin_core/ports.h"
#include "presets/preset_index.h"
#include "preset_file/preset_file.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr const char *kPrefixes =
    "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
    "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
    "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
    "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n\n";

struct Preset {
    std::string name;
    KorvaParams params;
};

std::string audio_port(int index, const char *io, const char *symbol, const char *name)
{
    return "    [\n        a lv2:AudioPort , lv2:" + std::string(io) + " ;\n        lv2:index " +
           std::to_string(index) + " ;\n        lv2:symbol \"" + symbol + "\" ;\n        lv2:name \"" + name +
           "\"\n    ]";
}

std::string control_port(int i)
{
    const KorvaControl &port = korva_controls[i];
    std::string text = "    [\n        a lv2:InputPort , lv2:ControlPort ;\n";
    text += "        lv2:index " + std::to_string(KORVA_PORT_FIRST_CONTROL + i) + " ;\n";
    text += "        lv2:symbol \"" + std::string(korva_param_fields[i].name) + "\" ;\n";
    text += "        lv2:name " + lv2_turtle_string(port.label) + " ;\n";
    text += "        lv2:default " + std::to_string(korva_control_default(i)) + ".0 ;\n";
    text += "        lv2:minimum " + std::to_string(port.minimum) + ".0 ;\n";
    text += "        lv2:maximum " + std::to_string(port.maximum) + ".0 ;\n";
    switch (port.kind) {
    case KORVA_CONTROL_TOGGLE: text += "        lv2:portProperty lv2:toggled , lv2:integer"; break;
    case KORVA_CONTROL_CHOICE: text += "        lv2:portProperty lv2:integer , lv2:enumeration"; break;
    case KORVA_CONTROL_AMOUNT:
    case KORVA_CONTROL_MODES: text += "        lv2:portProperty lv2:integer"; break;
    }
    for (int p = 0; p < port.point_count; ++p)
        text += std::string(p == 0 ? " ;\n        lv2:scalePoint" : " ,") + " [\n            rdfs:label " +
                lv2_turtle_string(port.points[p].label) + " ;\n            rdf:value " +
                std::to_string(port.points[p].value) + ".0\n        ]";
    return text + "\n    ]";
}

std::string plugin_document()
{
    std::string text = kPrefixes;
    text.insert(text.find("@prefix rdfs:"), "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n");
    text += "<" + std::string(kKorvaPluginUri) + ">\n"
            "    a lv2:Plugin , lv2:SpatialPlugin , doap:Project ;\n"
            "    doap:name \"Korva\" ;\n"
            "    doap:license <https://spdx.org/licenses/GPL-2.0-or-later> ;\n"
            "    doap:maintainer [ foaf:name \"Korva developers\" ] ;\n"
            "    rdfs:comment \"Stereo sound enhancer: bass and tone stages, pre-amplifier, virtual "
            "subwoofer, 3D Surround, extSpace, extFX, speaker tuning and brainwave synthesis on 16-bit "
            "samples.\" ;\n"
            "    lv2:minorVersion 0 ;\n    lv2:microVersion 0 ;\n"
            "    lv2:optionalFeature lv2:hardRTCapable ;\n"
            "    lv2:port\n";
    text += audio_port(KORVA_PORT_IN_LEFT, "InputPort", "in_l", "Left in") + " ,\n";
    text += audio_port(KORVA_PORT_IN_RIGHT, "InputPort", "in_r", "Right in") + " ,\n";
    text += audio_port(KORVA_PORT_OUT_LEFT, "OutputPort", "out_l", "Left out") + " ,\n";
    text += audio_port(KORVA_PORT_OUT_RIGHT, "OutputPort", "out_r", "Right out");
    for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i)
        text += " ,\n" + control_port(i);
    text += " .\n";
    return text;
}

// The window: a GTK 2 UI in its own object, needing no feature of the host
// (it reaches the plug-in only through port writes and port events).
std::string ui_statement(const std::string &ui_binary)
{
    return "<" + std::string(kKorvaUiUri) + ">\n"
           "    a ui:GtkUI ;\n"
           "    lv2:binary <" + ui_binary + "> ;\n"
           "    lv2:optionalFeature ui:noUserResize .\n\n";
}

std::string manifest_document(const std::string &binary, const std::string &ui_binary,
                              const std::vector<Preset> &presets)
{
    std::string text = kPrefixes;
    if (!ui_binary.empty())
        text.insert(text.find("@prefix rdfs:") + std::string("@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n").size(),
                    "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n");
    text += "<" + std::string(kKorvaPluginUri) + ">\n"
            "    a lv2:Plugin ;\n"
            "    lv2:binary <" + binary + "> ;\n";
    if (!ui_binary.empty())
        text += "    ui:ui <" + std::string(kKorvaUiUri) + "> ;\n";
    text += "    rdfs:seeAlso <korva.ttl> .\n\n";
    if (!ui_binary.empty())
        text += ui_statement(ui_binary);
    for (size_t i = 0; i < presets.size(); ++i) {
        text += '<';
        text += lv2_preset_uri(presets[i].name);
        text += ">\n    a pset:Preset ;\n    lv2:appliesTo <";
        text += kKorvaPluginUri;
        text += "> ;\n    rdfs:seeAlso <presets.ttl> .\n\n";
    }
    return text;
}

std::string presets_document(const std::vector<Preset> &presets)
{
    // One file of several presets: each document's prefix lines once.
    std::string text;
    for (size_t i = 0; i < presets.size(); ++i) {
        std::string one = lv2_preset_document(lv2_preset_uri(presets[i].name), presets[i].name, presets[i].params);
        if (i > 0)
            one.erase(0, one.find("\n\n") + 2);
        text += one + "\n";
    }
    return text;
}

bool write_file(const std::string &path, const std::string &text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        std::fprintf(stderr, "korva_lv2_bundle: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr, "usage: korva_lv2_bundle DIR BINARY PRESETS [UI_BINARY]\n");
        return 2;
    }
    const std::string dir = argv[1], preset_dir = argv[3];

    // The engine defaults, every stage switched on, and the factory presets.
    std::vector<Preset> presets = {{"Defaults", {}}, {"Every stage on", {}}};
    korva_default_params(&presets[0].params);
    korva_default_params(&presets[1].params);
    KorvaParams &on = presets[1].params;
    on.superbass = 96;
    on.enable_extspace = 1;
    on.enable_extfx = 1;
    on.enable_vs = 1;
    on.enable_bw = 1;
    on._3dsurround_mode = 3;
    on.spc_mode = 1;

    std::vector<korva::presets::IndexEntry> factory;
    std::string problem;
    if (!korva::presets::read_index(preset_dir, factory, problem)) {
        std::fprintf(stderr, "korva_lv2_bundle: %s\n", problem.c_str());
        return 1;
    }
    for (const auto &entry : factory) {
        KorvaPresetInfo info;
        const std::string path = preset_dir + "/" + entry.file;
        if (korva_preset_read(path.c_str(), &info) != KORVA_PRESET_OK) {
            std::fprintf(stderr, "korva_lv2_bundle: %s is not a preset\n", path.c_str());
            return 1;
        }
        presets.push_back({entry.name, info.params});
    }

    const bool ok = write_file(dir + "/manifest.ttl", manifest_document(argv[2], argc == 5 ? argv[4] : "", presets)) &&
                    write_file(dir + "/korva.ttl", plugin_document()) &&
                    write_file(dir + "/presets.ttl", presets_document(presets));
    return ok ? 0 : 1;
}
