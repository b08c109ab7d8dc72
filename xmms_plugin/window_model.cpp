// The configuration window's model over the plug-in's one engine: the
// window reads and writes the engine's block, Reset and preset loads replace
// it under the engine lock, closing the window stores the settings, the
// last preset path is the settings' last_preset_file and messages are the
// player's message windows. All of it runs on the player's interface
// thread, where the window lives.
#include "korva_plugin.h"
#include "window_names.h"

#include "libxmms/xmms_util.h"
#include "settings/korva_settings.h"
#include "ui/window.h"
#include "preset_file/preset_file.h"

namespace {

int read_engine(void *, KorvaParams *block)
{
    if (korva == nullptr)
        return 0;
    korva_params_read(korva, block);
    return 1;
}

// Each field is stored with one atomic access of its own width, so the audio
// thread never sees a torn field; no lock is needed for a control change.
void write_engine(void *, const KorvaParams *block)
{
    if (korva != nullptr)
        korva_params_write(korva, block);
}

void replace_engine_block(void *, const KorvaParams *block)
{
    if (korva == nullptr)
        return;
    // Taken and written under the lock, so the three kept fields are the
    // ones in force when the record changes. The audio thread holds the
    // lock around each block: it sees the old record or the new one whole.
    korva_engine_lock();
    KorvaParams in_force;
    korva_params_read(korva, &in_force);
    KorvaParams next;
    if (block != nullptr) {
        next = *block;
    } else {
        korva_reset(korva);  // working state cleared, rate 44100 until the next block
        korva_params_read(korva, &next);
    }
    korva_params_keep_switches(&next, &in_force);
    korva_params_write(korva, &next);
    korva_engine_unlock();
}

void store_settings(void *)
{
    if (korva != nullptr)
        cfg_store();
    window1 = nullptr;
}

const char *last_preset(void *)
{
    return last_preset_file;
}

void keep_last_preset(void *, const char *path)
{
    korva_set_last_preset_file(path);
}

GtkWidget *player_message(void *, const char *title, const char *text)
{
    return xmms_show_message(title, text, "Close", FALSE, nullptr, nullptr);
}

KorvaWindowModel engine_model()
{
    KorvaWindowModel model{};
    model.read = read_engine;
    model.write = write_engine;
    model.replace = replace_engine_block;
    model.closed = store_settings;
    model.last_preset = last_preset;
    model.preset_chosen = keep_last_preset;
    model.message_window = player_message;
    model.load_preset = korva_preset_load_hook;
    model.save_preset = korva_preset_save_hook;
    return model;
}

const KorvaWindowModel plugin_model = engine_model();

// The record's widgets under their global names.
void publish(const korva_ui::Window &w)
{
    window1 = w.window1;
#define KORVA_PLUGIN_PUBLISH(name) name = w.name;
    KORVA_UI_WIDGETS(KORVA_PLUGIN_PUBLISH)
    KORVA_UI_MENUS(KORVA_PLUGIN_PUBLISH)
#undef KORVA_PLUGIN_PUBLISH
}

}  // namespace

extern "C" GtkWidget *create_window1(void)
{
    korva_ui::Window &w = korva_plugin::plugin_window();
    korva_ui::build(w, plugin_model);
    publish(w);
    return w.window1;
}
