#include "lv2_text.h"

#include "engine/param_fields.h"

#include <cstdio>

std::string backslash_escaped(std::string_view text, bool upper_hex)
{
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (byte < 0x20 || byte == 0x7f) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, upper_hex ? "\\u%04X" : "\\u%04x", byte);
                out += escaped;
            } else {
                out += c;   // UTF-8 passes through as it is
            }
        }
    }
    return out;
}

std::string lv2_turtle_string(std::string_view text)
{
    std::string out = "\"";
    out += backslash_escaped(text, true);
    return out + "\"";
}

std::string lv2_uri_component(std::string_view name)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        const bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                                (byte >= '0' && byte <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
        if (unreserved) {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
    }
    return out;
}

std::string lv2_preset_uri(std::string_view name)
{
    return kKorvaPresetUriPrefix + lv2_uri_component(name);
}

std::string lv2_preset_file_name(std::string_view name)
{
    std::string file = lv2_uri_component(name);
    for (char &c : file)
        if (c == '%')
            c = '+';
    return file + ".ttl";
}

std::string lv2_preset_document(std::string_view uri, std::string_view label, const KorvaParams &params)
{
    std::string text = "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                       "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
                       "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n\n";
    text += '<';
    text += uri;
    text += ">\n    a pset:Preset ;\n    lv2:appliesTo <";
    text += kKorvaPluginUri;
    text += "> ;\n    rdfs:label ";
    text += lv2_turtle_string(label);
    text += " ;\n    lv2:port";
    for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i) {
        const KorvaParamField &field = korva_param_fields[i];
        text += i == 0 ? " [\n" : " , [\n";
        text += "        lv2:symbol \"";
        text += field.name;
        text += "\" ;\n        pset:value ";
        text += std::to_string(korva_param_get(&params, &field));
        text += ".0\n    ]";
    }
    return text + " .\n";
}

std::string lv2_manifest_preset_entry(std::string_view uri, std::string_view file_name)
{
    std::string text = "<";
    text += uri;
    text += ">\n    a <http://lv2plug.in/ns/ext/presets#Preset> ;\n"
            "    <http://lv2plug.in/ns/lv2core#appliesTo> <";
    text += kKorvaPluginUri;
    text += "> ;\n    <http://www.w3.org/2000/01/rdf-schema#seeAlso> <";
    text += file_name;
    text += "> .\n";
    return text;
}
