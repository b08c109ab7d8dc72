// The configuration window's model over the plug-in's one engine: the
// window reads and writes the engine's block, Reset and preset loads replace
// it under the engine lock, and closing the window stores the settings. All
// of it runs on the player's interface thread, where the window lives.
#include "korva_plugin.h"

#include "ui/window.h"

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
}

const KorvaWindowModel engine_model = {nullptr, read_engine, write_engine, replace_engine_block, store_settings,
                                     nullptr};

}  // namespace

extern "C" GtkWidget *create_window1(void)
{
    return korva_window_create(&engine_model);
}
