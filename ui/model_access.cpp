#include "model_access.h"

#include "binding.h"
#include "message_window.h"

#include "engine/preset_write.h"

namespace korva_ui {

namespace {
const KorvaWindowModel *current = nullptr;
}

void use_model(const KorvaWindowModel *model)
{
    current = model;
}

bool read_block(KorvaParams &block)
{
    return current && current->read && current->read(current->user_data, &block) != 0;
}

void write_block(const KorvaParams &block)
{
    if (current && current->write)
        current->write(current->user_data, &block);
}

void replace_block(const KorvaParams *block)
{
    if (!current || !current->replace)
        return;
    current->replace(current->user_data, block);
    gui_update();
}

void preset_chosen(const char *path)
{
    if (current && current->preset_chosen)
        current->preset_chosen(current->user_data, path);
}

const char *last_preset()
{
    const char *path = current && current->last_preset ? current->last_preset(current->user_data) : nullptr;
    return path ? path : "~/";
}

bool load_preset(const char *path, KorvaParams &block)
{
    if (current && current->load_preset)
        return current->load_preset(current->user_data, path, &block) != 0;
    return korva_read_preset(path, &block) != 0;
}

bool save_preset(const char *path, const KorvaParams &block)
{
    if (current && current->save_preset)
        return current->save_preset(current->user_data, path, &block) != 0;
    return korva::preset::write_file(block, path);
}

GtkWidget *message_window(const char *title, const char *text)
{
    if (current && current->message_window)
        return current->message_window(current->user_data, title, text);
    return korva_message_window(title, text, "Close", FALSE, nullptr, nullptr);
}

const char *title()
{
    return current && current->title ? current->title : "Korva configuration";
}

void window_closed()
{
    if (current && current->closed)
        current->closed(current->user_data);
}

}  // namespace korva_ui
