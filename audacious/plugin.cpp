// Korva as an Audacious effect: the plug-in object Audacious finds under
// aud_plugin_instance, the preferences built from libaudcore's toolkit-neutral
// PreferencesWidget items (so the GTK and the Qt interface both show them),
// and the configuration store over aud_get_int/aud_set_int. Everything else is
// in stream.cpp and settings.cpp, which need no Audacious.
#include "settings.h"
#include "stream.h"

#include "engine/controls.h"
#include "engine/param_fields.h"

#include <libaudcore/audstrings.h>
#include <libaudcore/hook.h>
#include <libaudcore/interface.h>
#include <libaudcore/plugin.h>
#include <libaudcore/preferences.h>
#include <libaudcore/runtime.h>

#include <cstring>
#include <vector>

namespace {

// Audacious keeps one plug-in object; its stream lives from init() to
// cleanup(). The preferences callbacks take no arguments, so they reach the
// stream and their widget values through these.
KorvaAudStream *stream = nullptr;

int store_get_int(void *, const char *key)
{
    return aud_get_int(KORVA_AUD_SECTION, key);
}

void store_set_int(void *, const char *key, int value)
{
    aud_set_int(KORVA_AUD_SECTION, key, value);
}

void store_get_str(void *, const char *key, char *out, std::size_t size)
{
    const String value = aud_get_str(KORVA_AUD_SECTION, key);
    const std::size_t n = strnlen(value, size - 1);
    std::memcpy(out, static_cast<const char *>(value), n);
    out[n] = '\0';
}

void store_set_str(void *, const char *key, const char *value)
{
    aud_set_str(KORVA_AUD_SECTION, key, value);
}

const KorvaAudStore store = {nullptr, store_get_int, store_set_int, store_get_str, store_set_str};

// ---- Preferences ---------------------------------------------------------
//
// Each widget edits a plain value here and its callback hands the value to
// the setter of its field. After Reset or a preset load the values are
// refilled and the hook makes every widget show them again.

constexpr const char *kRefreshHook = "korva preferences refresh";

int values[KORVA_AUD_FIELD_COUNT];
bool flags[KORVA_AUD_FIELD_COUNT];
int bw_choice;
String preset_path;

void refresh_values()
{
    KorvaParams block;
    korva_default_params(&block);
    if (stream != nullptr) {
        korva_params_read(stream->engine, &block);
    } else {
        aud_config_set_defaults(KORVA_AUD_SECTION, korva_aud_defaults());
        korva_aud_read_params(&store, &block);
    }
    for (int i = 0; i < KORVA_AUD_FIELD_COUNT; ++i) {
        values[i] = korva_param_get(&block, &korva_param_fields[i]);
        flags[i] = values[i] != 0;
    }
    bw_choice = korva_aud_bw_choice(&block);
    // The file entry edits a URI; the configuration keeps a plain path, where
    // "~/" may stand for the home directory.
    char path[KORVA_AUD_PATH_SIZE];
    store_get_str(nullptr, KORVA_AUD_PATH_KEY, path, sizeof path);
    preset_path = String(filename_to_uri(filename_expand(str_copy(path))));
}

// The file the entry names, as a plain path.
String chosen_file()
{
    if (std::strstr(preset_path, "://") != nullptr)
        return String(uri_to_filename(preset_path));
    return String(filename_expand(str_copy(preset_path)));
}

void show_again()
{
    refresh_values();
    hook_call(kRefreshHook, nullptr);
}

template <int I> void on_value() { korva_aud_set_field(&store, stream, I, values[I]); }
template <int I> void on_flag() { korva_aud_set_field(&store, stream, I, flags[I] ? 1 : 0); }
void on_bw_choice() { korva_aud_set_bw_choice(&store, stream, bw_choice); }

void on_reset()
{
    korva_aud_reset(&store, stream);
    show_again();
}

void on_load()
{
    const String file = chosen_file();
    const char *name = file;
    // On failure nothing changed, and the entry keeps the name to correct.
    if (name == nullptr || !korva_aud_load_preset(&store, stream, name))
        aud_ui_show_error(str_printf("Korva: %s is no preset file that can be loaded.", name ? name : "(no file)"));
    else
        show_again();
}

void on_save()
{
    const String file = chosen_file();
    const char *name = file;
    if (name == nullptr || !korva_aud_save_preset(&store, stream, name))
        aud_ui_show_error(str_printf("Korva: the preset cannot be saved as %s.", name ? name : "(no file)"));
}

// The window's amounts, over the control's range: 0..256, the two gains
// 0..384 (here not inverted: a larger number is more gain, as in the
// configuration).
template <int I> PreferencesWidget amount(const char *label)
{
    const KorvaControl &control = korva_controls[I];
    return WidgetSpin(label, WidgetInt(values[I], on_value<I>, kRefreshHook),
                      {static_cast<double>(control.minimum), static_cast<double>(control.maximum), 1, nullptr});
}

template <int I> constexpr PreferencesWidget check(const char *label)
{
    return WidgetCheck(label, WidgetBool(flags[I], on_flag<I>, kRefreshHook));
}

template <int I> constexpr PreferencesWidget menu(const char *label, ArrayRef<ComboItem> items)
{
    return WidgetCombo(label, WidgetInt(values[I], on_value<I>, kRefreshHook), {items, nullptr});
}

// Brainwave mode `mode` of the catalogue: its label and frequency.
PreferencesWidget bw_radio(int mode)
{
    const KorvaControlPoint &point = korva_controls[KORVA_CONTROL_BW_FQ].points[mode];
    return WidgetRadio(point.label, WidgetInt(values[KORVA_AUD_BW_FQ], on_value<KORVA_AUD_BW_FQ>, kRefreshHook),
                       {static_cast<int>(point.value)});
}

// An option menu's items as the control catalogue lists them.
std::vector<ComboItem> menu_items(int field)
{
    const KorvaControl &control = korva_controls[field];
    std::vector<ComboItem> items;
    for (int i = 0; i < control.point_count; ++i)
        items.emplace_back(control.points[i].label, static_cast<int>(control.points[i].value));
    return items;
}

const std::vector<ComboItem> chain_items = menu_items(KORVA_CONTROL_CHAIN_INDEX);
const std::vector<ComboItem> surround_items = menu_items(KORVA_CONTROL_3DSURROUND_MODE);
const std::vector<ComboItem> extspace_items = menu_items(KORVA_CONTROL_EXTSPACE_MODE);
const std::vector<ComboItem> extfx_items = menu_items(KORVA_CONTROL_EXTFX_MODE);
const std::vector<ComboItem> vs_items = menu_items(KORVA_CONTROL_VS_MODE);
const std::vector<ComboItem> bw_items = menu_items(KORVA_CONTROL_BW_MODE);

ArrayRef<ComboItem> items_of(const std::vector<ComboItem> &items)
{
    return {items.data(), static_cast<int>(items.size())};
}

const PreferencesWidget general_page[] = {
    amount<KORVA_AUD_SUPERBASS>("SuperBass:"),
    amount<KORVA_AUD_DEWOOFER>("DeWoofer:"),
    amount<KORVA_AUD_FIDELITY>("Fidelty:"),
    amount<KORVA_AUD_PREAMP>("preAmp:"),
    WidgetSeparator({true}),
    check<KORVA_AUD_ENABLE_3DSURROUND>("Enable 3D Surround"),
    check<KORVA_AUD_ENABLE_EXTSPACE>("Enable extSpace"),
    check<KORVA_AUD_ENABLE_EXTFX>("Enable extFX"),
    check<KORVA_AUD_ENABLE_VS>("Enable Virtual Subwoofer"),
    check<KORVA_AUD_ENABLE_BW>("Enable Brainwave synthesis"),
    menu<KORVA_AUD_CHAIN_INDEX>("Effects chainer:", items_of(chain_items)),
};

const PreferencesWidget surround_page[] = {
    menu<KORVA_AUD_3DSURROUND_MODE>("Effect mode:", items_of(surround_items)),
    amount<KORVA_AUD_3DSURROUND_DEPTH>("3D depth:"),
    amount<KORVA_AUD_3DSURROUND_BASS>("Bass adjust:"),
};

const PreferencesWidget extspace_page[] = {
    menu<KORVA_AUD_EXTSPACE_MODE>("Effect mode:", items_of(extspace_items)),
};

const PreferencesWidget extfx_page[] = {
    menu<KORVA_AUD_EXTFX_MODE>("Effect mode:", items_of(extfx_items)),
    amount<KORVA_AUD_EXTFX_SPACE>("Space:"),
    amount<KORVA_AUD_EXTFX_CENTER>("Center:"),
};

const PreferencesWidget vs_page[] = {
    menu<KORVA_AUD_VS_MODE>("Effect mode:", items_of(vs_items)),
    amount<KORVA_AUD_VS_OVERDRIVE>("Overdrive:"),
    amount<KORVA_AUD_VS_INTENSITY>("Intensity:"),
};

const PreferencesWidget speakers_page[] = {
    check<KORVA_AUD_SPC_SWAPSTEREO>("Enable reversed stereo"),
    check<KORVA_AUD_SPC_PHASEINVERT>("Enable phase invert"),
    check<KORVA_AUD_SPC_MODE>("Enable frequency correction"),
    WidgetSeparator({true}),
    amount<KORVA_AUD_SPC_DEBASS>("Reduce bass resonance:"),
    amount<KORVA_AUD_SPC_DETUBE>("Reduce tube resonance:"),
    amount<KORVA_AUD_SPC_MID>("Enhance mid-range:"),
    amount<KORVA_AUD_SPC_HIGH>("Enhance high frequencies:"),
};

const PreferencesWidget bw_page[] = {
    WidgetCombo("Effect mode:", WidgetInt(bw_choice, on_bw_choice, kRefreshHook), {items_of(bw_items), nullptr}),
    WidgetLabel("Mode:"),
    bw_radio(0),
    bw_radio(1),
    bw_radio(2),
    bw_radio(3),
    amount<KORVA_AUD_BW_SIGPREAMP>("BWamp:"),
    WidgetLabel("READ MANUAL CAREFULLY BEFORE USING BRAINWAVE SYNTH!"),
};

const NotebookTab pages[] = {
    {"General", {general_page}},
    {"3D Surround", {surround_page}},
    {"extSpace", {extspace_page}},
    {"extFX", {extfx_page}},
    {"Virtual Subwoofer", {vs_page}},
    {"Tune Speakers", {speakers_page}},
    {"BW Synth", {bw_page}},
};

const PreferencesWidget preset_row[] = {
    WidgetButton("Load", {on_load, nullptr}),
    WidgetButton("Save", {on_save, nullptr}),
    WidgetButton("Reset", {on_reset, nullptr}),
};

const PreferencesWidget all_widgets[] = {
    WidgetNotebook({{pages}}),
    check<KORVA_AUD_ENABLE_GLOBAL>("Enable effects"),
    WidgetFileEntry("Preset file:", WidgetString(preset_path, nullptr, kRefreshHook),
                    {FileSelectMode::File}),
    WidgetBox({{preset_row}, true, false}),
};

const PluginPreferences preferences = {{all_widgets}, refresh_values, nullptr, nullptr};

const char about_text[] =
    "Korva 5.5.1: a stereo sound enhancer (bass, 3D Surround, extSpace, extFX, "
    "Virtual Subwoofer, speaker tuning, brainwave synthesis).\n\n"
    "Stereo audio is processed as 16-bit samples; audio with any other number "
    "of channels passes through untouched. No latency: the amount of audio never "
    "changes.";

}  // namespace

class KorvaEffect : public EffectPlugin
{
public:
    static constexpr PluginInfo info = {"Korva", nullptr, about_text, &preferences, 0};

    // Order 0: first in the chain, so it meets the decoded samples themselves.
    constexpr KorvaEffect() : EffectPlugin(info, 0, true) {}

    bool init() override
    {
        aud_config_set_defaults(KORVA_AUD_SECTION, korva_aud_defaults());
        char old_config[4096];
        korva_aud_xmms_config_path(old_config, sizeof old_config);
        korva_aud_import_xmms(&store, old_config);
        stream = korva_aud_open(&store);
        return stream != nullptr;
    }

    void cleanup() override
    {
        korva_aud_stream_delete(stream);
        stream = nullptr;
    }

    void start(int &channels, int &rate) override { korva_aud_start(stream, channels, rate); }

    Index<float> &process(Index<float> &data) override
    {
        korva_aud_process(stream, data.begin(), data.len());
        return data;
    }

    bool flush(bool) override
    {
        korva_aud_flush(stream);
        return true;
    }

    Index<float> &finish(Index<float> &data, bool) override
    {
        korva_aud_finish(stream, data.begin(), data.len());
        return data;
    }
};

__attribute__((visibility("default"))) KorvaEffect aud_plugin_instance;
