#include "model_access.h"

#include "binding.h"

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

void window_closed()
{
    if (current && current->closed)
        current->closed(current->user_data);
}

}  // namespace korva_ui
