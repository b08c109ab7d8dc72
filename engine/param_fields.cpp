#include "param_fields.h"

#include <cstddef>
#include <cstring>

#define KORVA_FIELD(f) { #f, static_cast<int>(offsetof(KorvaParams, f)), static_cast<int>(sizeof(KorvaParams::f)) }

extern "C" const KorvaParamField korva_param_fields[KORVA_PARAM_FIELD_COUNT] = {
    KORVA_FIELD(enable_global),     KORVA_FIELD(chain_index),       KORVA_FIELD(preamp),
    KORVA_FIELD(superbass),         KORVA_FIELD(dewoofer),          KORVA_FIELD(fidelity),
    KORVA_FIELD(enable_3dsurround), KORVA_FIELD(enable_extspace),   KORVA_FIELD(enable_extfx),
    KORVA_FIELD(enable_vs),         KORVA_FIELD(enable_bw),         KORVA_FIELD(_3dsurround_mode),
    KORVA_FIELD(_3dsurround_depth), KORVA_FIELD(_3dsurround_bass),  KORVA_FIELD(extspace_mode),
    KORVA_FIELD(extfx_mode),        KORVA_FIELD(extfx_space),       KORVA_FIELD(extfx_center),
    KORVA_FIELD(vs_mode),           KORVA_FIELD(vs_overdrive),      KORVA_FIELD(vs_intensity),
    KORVA_FIELD(spc_swapstereo),    KORVA_FIELD(spc_phaseinvert),   KORVA_FIELD(spc_mode),
    KORVA_FIELD(spc_debass),        KORVA_FIELD(spc_detube),        KORVA_FIELD(spc_mid),
    KORVA_FIELD(spc_high),          KORVA_FIELD(bw_mode),           KORVA_FIELD(bw_fq),
    KORVA_FIELD(bw_value),          KORVA_FIELD(bw_sigpreamp),
};

#undef KORVA_FIELD

extern "C" const KorvaParamField *korva_param_field_find(const char *name)
{
    if (name == nullptr)
        return nullptr;
    for (const KorvaParamField &field : korva_param_fields)
        if (std::strcmp(field.name, name) == 0)
            return &field;
    return nullptr;
}

extern "C" int32_t korva_param_get(const KorvaParams *params, const KorvaParamField *field)
{
    const auto *at = reinterpret_cast<const unsigned char *>(params) + field->offset;
    switch (field->width) {
    case 1: { int8_t v; std::memcpy(&v, at, 1); return v; }
    case 2: { int16_t v; std::memcpy(&v, at, 2); return v; }
    default: { int32_t v; std::memcpy(&v, at, 4); return v; }
    }
}

extern "C" void korva_param_set(KorvaParams *params, const KorvaParamField *field, int32_t value)
{
    auto *at = reinterpret_cast<unsigned char *>(params) + field->offset;
    const auto bits = static_cast<uint32_t>(value);
    switch (field->width) {
    case 1: { const auto v = static_cast<int8_t>(static_cast<uint8_t>(bits)); std::memcpy(at, &v, 1); break; }
    case 2: { const auto v = static_cast<int16_t>(static_cast<uint16_t>(bits)); std::memcpy(at, &v, 2); break; }
    default: std::memcpy(at, &value, 4); break;
    }
}
