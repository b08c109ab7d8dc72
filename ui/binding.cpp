// Controls <-> parameter block. korva_update publishes a whole block built
// from the controls; the engine stores each field with one atomic access of
// its own width, so the audio thread never sees a torn field.

#include "binding.h"

#include "widgets.h"

#include "plugin/korva_plugin.h"

#include <cstdint>

extern "C" {

const BwMode bwcfg[KORVA_BW_MODES] = {
    {15000,
     "Concentration mode\n\nIn this state, high brainwave frequency is synthesized, which helps to "
     "concentrate. However, in some circumstances it may cause headache or exactly opposite effect."},
    {7000,
     "Light relaxation\n\nNormal state for doing some relaxed work like reading mail, news or learning "
     "some information."},
    {3600,
     "Normal relaxation\n\nShould be used as general purpose relaxation. Often cures headache, helps mind "
     "to set up meditation. When used often, improves sleeping tonight."},
    {2000,
     "Deep relaxation\n\nThis state is designed for you if you want to go even deeper relaxation after "
     "being some time in state of \"Normal relaxation\"."},
};

int gui_updating = 0;

}  // extern "C"

namespace {

// The inverted vertical sliders show 384 minus the field (0 at the top).
constexpr int32_t kInvertedTop = 384;

// Brainwave depth (GainTable steps) for the "Normal" and "Extra (x2)" items.
constexpr int32_t kBwValueNormal = 51;
constexpr int32_t kBwValueExtra = 102;

int8_t flag(GtkWidget *check)
{
    return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(check)) ? 1 : 0;
}

// Adjustment values are handled in single precision and truncated toward zero.
int32_t slider(GtkWidget *scrollbar)
{
    float value = static_cast<float>(gtk_adjustment_get_value(gtk_range_get_adjustment(GTK_RANGE(scrollbar))));
    return static_cast<int32_t>(value);
}

int32_t inverted_slider(GtkWidget *scrollbar)
{
    return kInvertedTop - slider(scrollbar);
}

void show_flag(GtkWidget *check, int32_t field)
{
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(check), field != 0);
}

// The adjustment clamps the value to its bounds.
void show_slider(GtkWidget *scrollbar, int64_t value)
{
    gtk_adjustment_set_value(gtk_range_get_adjustment(GTK_RANGE(scrollbar)), static_cast<float>(value));
}

// A position with no item (negative or past the end) leaves the selection alone.
void show_position(GtkWidget *option_menu, int32_t position)
{
    if (position >= 0)
        gtk_option_menu_set_history(GTK_OPTION_MENU(option_menu), static_cast<guint>(position));
}

}  // namespace

// The position the option menu itself reports: its menu's active item. The
// toolkit makes the picked item active before the item's "activate" reaches
// on_menu_update, for a pick by pointer, by keyboard or by the wheel alike;
// the label moves back to the option menu's button only later, when the
// menu has closed, so looking for the item without a label would find none.
extern "C" gint option_menu_index(GtkWidget *option_menu)
{
    if (!option_menu || !GTK_IS_OPTION_MENU(option_menu))
        return -1;
    return gtk_option_menu_get_history(GTK_OPTION_MENU(option_menu));
}

extern "C" void korva_update(void)
{
    if (gui_updating || !korva || !window1)
        return;

    KorvaParams p;
    korva_params_read(korva, &p);  // padding bytes keep their value

    p.enable_global = flag(chkEnable);
    p.chain_index = static_cast<int16_t>(option_menu_index(chChainer));
    p.preamp = inverted_slider(slPreamp);
    p.superbass = slider(slSuperBass);
    p.dewoofer = slider(slDeWoofer);
    p.fidelity = slider(slFidelity);
    p.enable_3dsurround = flag(chk3DSurround);
    p.enable_extspace = flag(chkExtSpace);
    p.enable_extfx = flag(chkExtFX);
    p.enable_vs = flag(chkVS);
    p.enable_bw = flag(chkBW);
    p._3dsurround_mode = static_cast<int16_t>(option_menu_index(ch3DSurround));
    p._3dsurround_depth = slider(sl3DDepth);
    p._3dsurround_bass = slider(sl3DBass);
    p.extspace_mode = static_cast<int16_t>(option_menu_index(chExtSpace));
    p.extfx_mode = static_cast<int16_t>(option_menu_index(chExtFX));
    p.extfx_space = slider(slSpace);
    p.extfx_center = slider(slCenter);
    p.vs_mode = static_cast<int16_t>(option_menu_index(chVS));
    p.vs_overdrive = slider(slOverdrive);
    p.vs_intensity = slider(slIntensity);
    p.spc_phaseinvert = flag(chkPhaseInv);
    p.spc_swapstereo = flag(chkSwap);
    p.spc_mode = flag(chkFQ);
    p.spc_debass = slider(slFQDeBass);
    p.spc_detube = slider(slFQDeTube);
    p.spc_mid = slider(slFQMid);
    p.spc_high = slider(slFQHigh);
    p.bw_mode = static_cast<int16_t>(option_menu_index(chBW));
    if (p.bw_mode == 1)
        p.bw_value = kBwValueNormal;
    else if (p.bw_mode == 2)
        p.bw_value = kBwValueExtra;
    p.bw_sigpreamp = inverted_slider(slBWamp);

    // The first active radio button, normal relaxation when none is.
    p.bw_fq = bwcfg[2].fq;
    GtkWidget *const radios[KORVA_BW_MODES] = {rbConcentration, rbLightRelax, rbNormalRelax, rbDeepRelax};
    for (int i = 0; i < KORVA_BW_MODES; ++i) {
        if (flag(radios[i])) {
            p.bw_fq = bwcfg[i].fq;
            break;
        }
    }

    korva_params_write(korva, &p);
}

extern "C" void gui_update(void)
{
    if (!korva || !window1)
        return;

    KorvaParams p;
    korva_params_read(korva, &p);
    gui_updating = 1;

    show_flag(chkEnable, p.enable_global);
    show_flag(chk3DSurround, p.enable_3dsurround);
    show_flag(chkExtSpace, p.enable_extspace);
    show_flag(chkExtFX, p.enable_extfx);
    show_flag(chkVS, p.enable_vs);
    show_flag(chkBW, p.enable_bw);
    show_flag(chkPhaseInv, p.spc_phaseinvert);
    show_flag(chkSwap, p.spc_swapstereo);
    show_flag(chkFQ, p.spc_mode);

    show_slider(slPreamp, kInvertedTop - int64_t{p.preamp});
    show_slider(slSuperBass, p.superbass);
    show_slider(slDeWoofer, p.dewoofer);
    show_slider(slFidelity, p.fidelity);
    show_slider(sl3DDepth, p._3dsurround_depth);
    show_slider(sl3DBass, p._3dsurround_bass);
    show_slider(slSpace, p.extfx_space);
    show_slider(slCenter, p.extfx_center);
    show_slider(slOverdrive, p.vs_overdrive);
    show_slider(slIntensity, p.vs_intensity);
    show_slider(slFQDeBass, p.spc_debass);
    show_slider(slFQDeTube, p.spc_detube);
    show_slider(slFQMid, p.spc_mid);
    show_slider(slFQHigh, p.spc_high);
    show_slider(slBWamp, kInvertedTop - int64_t{p.bw_sigpreamp});

    show_position(chChainer, p.chain_index);
    show_position(ch3DSurround, p._3dsurround_mode);
    show_position(chExtSpace, p.extspace_mode);
    show_position(chExtFX, p.extfx_mode);
    show_position(chVS, p.vs_mode);
    show_position(chBW, p.bw_mode == 0 ? 0 : p.bw_value > kBwValueNormal ? 2 : 1);

    GtkWidget *const radios[KORVA_BW_MODES] = {rbConcentration, rbLightRelax, rbNormalRelax, rbDeepRelax};
    for (int i = 0; i < KORVA_BW_MODES; ++i)
        show_flag(radios[i], p.bw_fq == bwcfg[i].fq);

    gui_updating = 0;
    // The block now holds exactly what the controls can show.
    korva_update();
    show_bw_description();
}

extern "C" void show_bw_description(void)
{
    if (!korva || !window1)
        return;

    KorvaParams p;
    korva_params_read(korva, &p);
    const BwMode *mode = &bwcfg[0];
    for (const BwMode &row : bwcfg) {
        if (row.fq == p.bw_fq) {
            mode = &row;
            break;
        }
    }

    GtkTextView *view = GTK_TEXT_VIEW(txtBWdesc);
    GtkTextBuffer *buffer = gtk_text_view_get_buffer(view);
    GtkTextIter start, end;
    gtk_text_buffer_get_bounds(buffer, &start, &end);
    gtk_text_buffer_place_cursor(buffer, &start);
    gtk_text_buffer_delete(buffer, &start, &end);
    gtk_text_view_set_wrap_mode(view, GTK_WRAP_WORD);
    gtk_text_buffer_get_start_iter(buffer, &start);
    gtk_text_buffer_insert(buffer, &start, mode->description, -1);
    gtk_text_buffer_get_start_iter(buffer, &start);
    gtk_text_buffer_place_cursor(buffer, &start);
}
