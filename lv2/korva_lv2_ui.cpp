// The LV2 UI urn:korva:enhancer#ui (ui:GtkUI): the configuration window,
// embedded in the host's frame, over the plug-in's control ports. It talks
// to the host only through the LV2 UI interface: every change the user makes
// goes out as a port write through write_function, and every change from
// the host (automation, presets, another UI) comes in through port_event.
//
// Each instance owns its window record and its copy of the block; nothing
// is shared between instances. All of it runs on the host's UI thread.
#include "plugin_core/lv2_text.h"
#include "plugin_core/ports.h"
#include "engine/param_fields.h"
#include "ui/binding.h"
#include "ui/dialogs.h"
#include "ui/window.h"
#include "preset_file/preset_file.h"

#include <lv2/ui/ui.h>

#include <cstdio>
#include <new>
#include <string>

namespace {

struct Instance {
    LV2UI_Write_Function write = nullptr;
    LV2UI_Controller controller = nullptr;
    korva_ui::Window window;
    GtkWidget *root = nullptr;     // the window's box, with a reference of this instance's
    KorvaParams shown{};           // what the window shows
    // Each port's value as last written or received, as the window shows it:
    // a host value the window cannot show (between the Brainwave modes, off
    // a menu) counts as what the window made of it, so that it is never
    // written back, not even with the user's next change of another port.
    int32_t host[KORVA_PARAM_FIELD_COUNT] = {};
    bool showing = false;          // inside this instance's own gui_update
    std::string last_preset = "~/";
};

int32_t field(const KorvaParams &block, int i)
{
    return korva_param_get(&block, &korva_param_fields[i]);
}

// Every port whose value the block changes, written once with the block's value.
void send_changes(Instance &ui)
{
    for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i) {
        const int32_t value = field(ui.shown, i);
        if (value == ui.host[i])
            continue;
        ui.host[i] = value;
        const float port_value = static_cast<float>(value);
        ui.write(ui.controller, KORVA_PORT_FIRST_CONTROL + i, sizeof port_value, 0, &port_value);
    }
}

// Shows the block; the window's read-back stays here and is not sent.
void show(Instance &ui)
{
    ui.showing = true;
    korva_ui::gui_update(ui.window);
    ui.showing = false;
}

// --- the window's model ---

int read_block(void *data, KorvaParams *block)
{
    *block = static_cast<Instance *>(data)->shown;
    return 1;
}

void write_block(void *data, const KorvaParams *block)
{
    Instance &ui = *static_cast<Instance *>(data);
    ui.shown = *block;
    if (!ui.showing)
        send_changes(ui);
}

// Reset (null) or a loaded preset, keeping the three switches as they are.
// The window's gui_update follows, whose read-back sends what changed.
void replace_block(void *data, const KorvaParams *block)
{
    Instance &ui = *static_cast<Instance *>(data);
    KorvaParams next;
    if (block != nullptr)
        next = *block;
    else
        korva_default_params(&next);
    korva_params_keep_switches(&next, &ui.shown);
    ui.shown = next;
}

const char *last_preset(void *data)
{
    return static_cast<Instance *>(data)->last_preset.c_str();
}

void keep_last_preset(void *data, const char *path)
{
    static_cast<Instance *>(data)->last_preset = path;
}

// A preset file, each value brought into its port's range; what moved is
// told in the window's message window and on stderr.
int load_preset(void *data, const char *path, KorvaParams *block)
{
    Instance &ui = *static_cast<Instance *>(data);
    KorvaParams loaded;
    if (!korva_read_preset(path, &loaded))
        return 0;
    std::string moved;
    for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i) {
        const int32_t was = field(loaded, i);
        const int32_t kept = was < korva_controls[i].minimum ? korva_controls[i].minimum
                             : was > korva_controls[i].maximum ? korva_controls[i].maximum
                                                                : was;
        if (kept == was)
            continue;
        korva_param_set(&loaded, &korva_param_fields[i], kept);
        char line[160];
        std::snprintf(line, sizeof line, "%s=%d is outside the port's range %d..%d; loaded as %d\n",
                      korva_param_fields[i].name, was, korva_controls[i].minimum, korva_controls[i].maximum, kept);
        std::fprintf(stderr, "korva: warning: %s: %s", path, line);
        moved += line;
    }
    *block = loaded;
    if (!moved.empty())
        korva_ui::msg_box(ui.window, "Korva: preset values clamped", (std::string(path) + ":\n" + moved).c_str());
    return 1;
}

KorvaWindowModel model_of(Instance &ui)
{
    KorvaWindowModel model{};
    model.user_data = &ui;
    model.read = read_block;
    model.write = write_block;
    model.replace = replace_block;
    model.last_preset = last_preset;
    model.preset_chosen = keep_last_preset;
    model.load_preset = load_preset;
    model.save_preset = korva_preset_save_hook;
    return model;
}

// --- the LV2 UI interface ---

LV2UI_Handle instantiate(const LV2UI_Descriptor *, const char *plugin_uri, const char *,
                         LV2UI_Write_Function write_function, LV2UI_Controller controller, LV2UI_Widget *widget,
                         const LV2_Feature *const *)
{
    if (plugin_uri == nullptr || std::string(plugin_uri) != kKorvaPluginUri || write_function == nullptr ||
        widget == nullptr)
        return nullptr;
    auto *ui = new (std::nothrow) Instance;
    if (ui == nullptr)
        return nullptr;
    ui->write = write_function;
    ui->controller = controller;
    korva_default_params(&ui->shown);
    for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i)
        ui->host[i] = field(ui->shown, i);
    // The instance holds a reference of its own, so the box outlives a host
    // that destroys its frame first; cleanup drops it.
    ui->root = korva_ui::build(ui->window, model_of(*ui), true);
    g_object_ref_sink(ui->root);
    show(*ui);
    gtk_widget_show(ui->root);
    *widget = ui->root;
    return ui;
}

void cleanup(LV2UI_Handle handle)
{
    auto *ui = static_cast<Instance *>(handle);
    korva_ui::close_dialogs(ui->window);
    if (ui->window.window1 != nullptr)
        gtk_widget_destroy(ui->window.window1);  // the destroy handler forgets it
    g_object_unref(ui->root);
    delete ui;
}

// A control port's value from the host: shown, never written back.
void port_event(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format, const void *buffer)
{
    auto *ui = static_cast<Instance *>(handle);
    const int i = static_cast<int>(port) - KORVA_PORT_FIRST_CONTROL;
    if (format != 0 || size != sizeof(float) || buffer == nullptr || i < 0 || i >= KORVA_PARAM_FIELD_COUNT)
        return;
    const int32_t value = korva_port_value(i, *static_cast<const float *>(buffer));
    ui->host[i] = value;
    if (field(ui->shown, i) == value)
        return;
    korva_param_set(&ui->shown, &korva_param_fields[i], value);
    show(*ui);
    // What the window read back is the baseline of the next change.
    for (int j = 0; j < KORVA_PARAM_FIELD_COUNT; ++j)
        ui->host[j] = field(ui->shown, j);
}

const void *extension_data(const char *)
{
    return nullptr;
}

const LV2UI_Descriptor kDescriptor = {kKorvaUiUri, instantiate, cleanup, port_event, extension_data};

}  // namespace

LV2_SYMBOL_EXPORT const LV2UI_Descriptor *lv2ui_descriptor(uint32_t index)
{
    return index == 0 ? &kDescriptor : nullptr;
}
