#include "record_rewrite.h"

#include "binding.h"

#include "plugin/korva_plugin.h"

namespace korva_ui {

void rewrite_record(const KorvaParams *block)
{
    if (!korva)
        return;

    // Taken and written under the lock, so the three kept fields are the
    // ones in force when the record changes. The audio thread holds the
    // lock around each block: it sees the old record or the new one whole.
    korva_engine_lock();
    KorvaParams kept;
    korva_params_read(korva, &kept);
    KorvaParams next;
    if (block) {
        next = *block;
    } else {
        korva_reset(korva);
        korva_params_read(korva, &next);
    }
    next.enable_global = kept.enable_global;
    next.spc_swapstereo = kept.spc_swapstereo;
    next.spc_phaseinvert = kept.spc_phaseinvert;
    korva_params_write(korva, &next);
    korva_engine_unlock();

    gui_update();
}

}  // namespace korva_ui
