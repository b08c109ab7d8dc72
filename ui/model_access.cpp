#include "model_access.h"

#include "binding.h"
#include "message_window.h"


namespace korva_ui {

bool read_block(const Window &w, KorvaParams &block)
{
    return w.model.read && w.model.read(w.model.user_data, &block) != 0;
}

void write_block(const Window &w, const KorvaParams &block)
{
    if (w.model.write)
        w.model.write(w.model.user_data, &block);
}

void replace_block(Window &w, const KorvaParams *block)
{
    if (!w.model.replace)
        return;
    w.model.replace(w.model.user_data, block);
    gui_update(w);
}

const char *last_preset(const Window &w)
{
    const char *path = w.model.last_preset ? w.model.last_preset(w.model.user_data) : nullptr;
    return path ? path : "~/";
}

void preset_chosen(const Window &w, const char *path)
{
    if (w.model.preset_chosen)
        w.model.preset_chosen(w.model.user_data, path);
}

bool load_preset(const Window &w, const char *path, KorvaParams &block)
{
    return w.model.load_preset != nullptr && w.model.load_preset(w.model.user_data, path, &block) != 0;
}

bool save_preset(const Window &w, const char *path, const KorvaParams &block)
{
    return w.model.save_preset != nullptr && w.model.save_preset(w.model.user_data, path, &block) != 0;
}

GtkWidget *message_window(const Window &w, const char *title, const char *text)
{
    if (w.model.message_window)
        return w.model.message_window(w.model.user_data, title, text);
    return korva_message_window(title, text, "Close", FALSE, nullptr, nullptr);
}

const char *title(const Window &w)
{
    return w.model.title ? w.model.title : "Korva configuration";
}

void window_closed(const Window &w)
{
    if (w.model.closed)
        w.model.closed(w.model.user_data);
}

}  // namespace korva_ui
