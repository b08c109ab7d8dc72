#include "controls.h"

namespace {

constexpr KorvaControlPoint kChainOrders[] = {
    {0, "extSpace, extFX, 3D Surround"}, {1, "extSpace, 3D Surround, extFX"},
    {2, "3D Surround, extSpace, extFX"}, {3, "3D Surround, extFX, extSpace"},
    {4, "extFX, 3D Surround, extSpace"}, {5, "extFX, extSpace, 3D Surround"},
};
constexpr KorvaControlPoint kSurroundModes[] = {{0, "Disable"}, {1, "Normal"}, {2, "Extra (x2)"}, {3, "Overload (x3)"}};
constexpr KorvaControlPoint kExtSpaceModes[] = {{0, "Disable"}, {1, "Active"}, {2, "Wide"}};
constexpr KorvaControlPoint kOnOffModes[] = {{0, "Disable"}, {1, "Active"}};
constexpr KorvaControlPoint kBrainwaveLevels[] = {{0, "Disable"}, {1, "Normal"}, {2, "Extra (x2)"}};
// The four brainwave modes of the BW Synth page, in thousandths of a hertz.
constexpr KorvaControlPoint kBrainwaveModes[] = {
    {15000, "Concentration"}, {7000, "Light relaxation"}, {3600, "Normal relaxation"}, {2000, "Deep relaxation"},
};

template <int N> constexpr KorvaControl choice(const char *label, const KorvaControlPoint (&points)[N])
{
    return {label, KORVA_CONTROL_CHOICE, 0, N - 1, points, N};
}
constexpr KorvaControl toggle(const char *label) { return {label, KORVA_CONTROL_TOGGLE, 0, 1, nullptr, 0}; }
constexpr KorvaControl amount(const char *label, int32_t maximum = 256)
{
    return {label, KORVA_CONTROL_AMOUNT, 0, maximum, nullptr, 0};
}

} // namespace

// The window's labels without their colons. Where the window repeats a label
// ("Effect mode:" on five pages) the page's name makes it unique; "Fidelty:"
// is spelt right; the brainwave depth has no label of its own in the window
// (the BW Synth mode sets it: Normal 51, Extra 102).
extern "C" const KorvaControl korva_controls[KORVA_PARAM_FIELD_COUNT] = {
    toggle("Enable effects"),                     // enable_global
    choice("Effects chainer", kChainOrders),      // chain_index
    amount("preAmp", 384),                        // preamp
    amount("SuperBass"),                          // superbass
    amount("DeWoofer"),                           // dewoofer
    amount("Fidelity"),                           // fidelity
    toggle("Enable 3D Surround"),                 // enable_3dsurround
    toggle("Enable extSpace"),                    // enable_extspace
    toggle("Enable extFX"),                       // enable_extfx
    toggle("Enable Virtual Subwoofer"),           // enable_vs
    toggle("Enable Brainwave synthesis"),         // enable_bw
    choice("3D Surround mode", kSurroundModes),   // _3dsurround_mode
    amount("3D depth"),                           // _3dsurround_depth
    amount("Bass adjust"),                        // _3dsurround_bass
    choice("extSpace mode", kExtSpaceModes),      // extspace_mode
    choice("extFX mode", kOnOffModes),            // extfx_mode
    amount("Space"),                              // extfx_space
    amount("Center"),                             // extfx_center
    choice("Virtual Subwoofer mode", kOnOffModes),// vs_mode
    amount("Overdrive"),                          // vs_overdrive
    amount("Intensity"),                          // vs_intensity
    toggle("Enable reversed stereo"),             // spc_swapstereo
    toggle("Enable phase invert"),                // spc_phaseinvert
    toggle("Enable frequency correction"),        // spc_mode
    amount("Reduce bass resonance"),              // spc_debass
    amount("Reduce tube resonance"),              // spc_detube
    amount("Enhance mid-range"),                  // spc_mid
    amount("Enhance high frequencies"),           // spc_high
    choice("BW Synth mode", kBrainwaveLevels),    // bw_mode
    {"Brainwave frequency", KORVA_CONTROL_MODES, 2000, 15000, kBrainwaveModes, 4},   // bw_fq
    amount("Brainwave depth"),                    // bw_value
    amount("BWamp", 384),                         // bw_sigpreamp
};

extern "C" int32_t korva_control_default(int index)
{
    if (index < 0 || index >= KORVA_PARAM_FIELD_COUNT)
        return 0;
    KorvaParams defaults;
    korva_default_params(&defaults);
    return korva_param_get(&defaults, &korva_param_fields[index]);
}

