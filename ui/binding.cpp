// Controls <-> parameter block, through one table walked both ways:
// korva_update reads every control into the block and hands the whole block
// to the window's model, gui_update shows the block in every control.

#include "binding.h"

#include "model_access.h"
#include "widgets.h"

#include "engine/controls.h"
#include "engine/param_fields.h"

#include <cstdint>
#include <initializer_list>

namespace {

// The frequencies and names of the four modes, as the control catalogue lists them.
const KorvaControlPoint *const kModes = korva_controls[KORVA_CONTROL_BW_FQ].points;

const char *const kDescriptions[KORVA_BW_MODES] = {
    "Concentration mode\n\nIn this state, high brainwave frequency is synthesized, which helps to concentrate. "
    "However, in some circumstances it may cause headache or exactly opposite effect.",
    "Light relaxation\n\nNormal state for doing some relaxed work like reading mail, news or learning some "
    "information.",
    "Normal relaxation\n\nShould be used as general purpose relaxation. Often cures headache, helps mind to set up "
    "meditation. When used often, improves sleeping tonight.",
    "Deep relaxation\n\nThis state is designed for you if you want to go even deeper relaxation after being some "
    "time in state of \"Normal relaxation\".",
};

}  // namespace

extern "C" {

const BwMode bwcfg[KORVA_BW_MODES] = {
    {kModes[0].value, kDescriptions[0]},
    {kModes[1].value, kDescriptions[1]},
    {kModes[2].value, kDescriptions[2]},
    {kModes[3].value, kDescriptions[3]},
};

}  // extern "C"

namespace {

// The inverted vertical sliders show 384 minus the field (0 at the top).
constexpr int32_t kInvertedTop = 384;

// Brainwave depth (GainTable steps) for the "Normal" and "Extra (x2)" items.
constexpr int32_t kBwValueNormal = 51;
constexpr int32_t kBwValueExtra = 102;

// How a control stands for its field.
enum class Kind {
    flag,             // check button: 1 when active, else 0
    slider,           // scrollbar: its value truncated toward zero
    inverted_slider,  // vertical scrollbar: 384 minus its truncated value
    menu,             // option menu: the selected position
    bw_menu,          // the brainwave menu: bw_mode, and bw_value with it
    bw_radios,        // the four mode buttons: bw_fq of the first active one
};

struct Binding {
    GtkWidget *korva_ui::Window::*control;  // the widget's member; null for the radio group
    Kind kind;
    const char *field;          // as korva_param_fields names it
};

using W = korva_ui::Window;

// Every field once, in the order the controls are read into the block.
const Binding kBindings[] = {
    {&W::chkEnable, Kind::flag, "enable_global"},
    {&W::chChainer, Kind::menu, "chain_index"},
    {&W::slPreamp, Kind::inverted_slider, "preamp"},
    {&W::slSuperBass, Kind::slider, "superbass"},
    {&W::slDeWoofer, Kind::slider, "dewoofer"},
    {&W::slFidelity, Kind::slider, "fidelity"},
    {&W::chk3DSurround, Kind::flag, "enable_3dsurround"},
    {&W::chkExtSpace, Kind::flag, "enable_extspace"},
    {&W::chkExtFX, Kind::flag, "enable_extfx"},
    {&W::chkVS, Kind::flag, "enable_vs"},
    {&W::chkBW, Kind::flag, "enable_bw"},
    {&W::ch3DSurround, Kind::menu, "_3dsurround_mode"},
    {&W::sl3DDepth, Kind::slider, "_3dsurround_depth"},
    {&W::sl3DBass, Kind::slider, "_3dsurround_bass"},
    {&W::chExtSpace, Kind::menu, "extspace_mode"},
    {&W::chExtFX, Kind::menu, "extfx_mode"},
    {&W::slSpace, Kind::slider, "extfx_space"},
    {&W::slCenter, Kind::slider, "extfx_center"},
    {&W::chVS, Kind::menu, "vs_mode"},
    {&W::slOverdrive, Kind::slider, "vs_overdrive"},
    {&W::slIntensity, Kind::slider, "vs_intensity"},
    {&W::chkPhaseInv, Kind::flag, "spc_phaseinvert"},
    {&W::chkSwap, Kind::flag, "spc_swapstereo"},
    {&W::chkFQ, Kind::flag, "spc_mode"},
    {&W::slFQDeBass, Kind::slider, "spc_debass"},
    {&W::slFQDeTube, Kind::slider, "spc_detube"},
    {&W::slFQMid, Kind::slider, "spc_mid"},
    {&W::slFQHigh, Kind::slider, "spc_high"},
    {&W::chBW, Kind::bw_menu, "bw_mode"},
    {&W::slBWamp, Kind::inverted_slider, "bw_sigpreamp"},
    {nullptr, Kind::bw_radios, "bw_fq"},
};

// The controls are shown kind by kind: check buttons, scrollbars, option
// menus, then the radio group.
enum class ShowGroup { flags, sliders, menus, radios };

ShowGroup show_group(Kind kind)
{
    switch (kind) {
    case Kind::flag:
        return ShowGroup::flags;
    case Kind::slider:
    case Kind::inverted_slider:
        return ShowGroup::sliders;
    case Kind::menu:
    case Kind::bw_menu:
        return ShowGroup::menus;
    case Kind::bw_radios:
        break;
    }
    return ShowGroup::radios;
}

GtkWidget *radio(const W &w, int mode)
{
    GtkWidget *const radios[KORVA_BW_MODES] = {w.rbConcentration, w.rbLightRelax, w.rbNormalRelax, w.rbDeepRelax};
    return radios[mode];
}

int32_t get(const KorvaParams &p, const char *name)
{
    return korva_param_get(&p, korva_param_field_find(name));
}

void set(KorvaParams &p, const char *name, int32_t value)
{
    korva_param_set(&p, korva_param_field_find(name), value);
}

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

// Control to block.
void read_control(const W &w, const Binding &b, KorvaParams &p)
{
    GtkWidget *control = b.control ? w.*b.control : nullptr;
    switch (b.kind) {
    case Kind::flag:
        set(p, b.field, flag(control));
        break;
    case Kind::slider:
        set(p, b.field, slider(control));
        break;
    case Kind::inverted_slider:
        set(p, b.field, kInvertedTop - slider(control));
        break;
    case Kind::menu:
        set(p, b.field, option_menu_index(control));
        break;
    case Kind::bw_menu:
        set(p, "bw_mode", option_menu_index(control));
        if (p.bw_mode == 1)
            p.bw_value = kBwValueNormal;
        else if (p.bw_mode == 2)
            p.bw_value = kBwValueExtra;
        break;
    case Kind::bw_radios:
        // The first active radio button, normal relaxation when none is.
        p.bw_fq = bwcfg[2].fq;
        for (int i = 0; i < KORVA_BW_MODES; ++i) {
            if (flag(radio(w, i))) {
                p.bw_fq = bwcfg[i].fq;
                break;
            }
        }
        break;
    }
}

// Block to control.
void show_control(const W &w, const Binding &b, const KorvaParams &p)
{
    GtkWidget *control = b.control ? w.*b.control : nullptr;
    switch (b.kind) {
    case Kind::flag:
        show_flag(control, get(p, b.field));
        break;
    case Kind::slider:
        show_slider(control, get(p, b.field));
        break;
    case Kind::inverted_slider:
        show_slider(control, kInvertedTop - int64_t{get(p, b.field)});
        break;
    case Kind::menu:
        show_position(control, get(p, b.field));
        break;
    case Kind::bw_menu:
        show_position(control, p.bw_mode == 0 ? 0 : p.bw_value > kBwValueNormal ? 2 : 1);
        break;
    case Kind::bw_radios:
        for (int i = 0; i < KORVA_BW_MODES; ++i)
            show_flag(radio(w, i), p.bw_fq == bwcfg[i].fq);
        break;
    }
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

namespace korva_ui {

namespace {

void set_updating(Window &w, int value)
{
    w.updating = value;
    if (w.updating_also)
        *w.updating_also = value;
}

}  // namespace

void korva_update(Window &w)
{
    KorvaParams p;
    if (w.updating || !w.window1 || !read_block(w, p))  // padding bytes keep their value
        return;
    for (const Binding &b : kBindings)
        read_control(w, b, p);
    write_block(w, p);
}

void gui_update(Window &w)
{
    KorvaParams p;
    if (!w.window1 || !read_block(w, p))
        return;

    set_updating(w, 1);
    for (ShowGroup group : {ShowGroup::flags, ShowGroup::sliders, ShowGroup::menus, ShowGroup::radios}) {
        for (const Binding &b : kBindings) {
            if (show_group(b.kind) == group)
                show_control(w, b, p);
        }
    }
    set_updating(w, 0);

    // The block now holds exactly what the controls can show.
    korva_update(w);
    show_bw_description(w);
}

void show_bw_description(Window &w)
{
    KorvaParams p;
    if (!w.window1 || !read_block(w, p))
        return;
    const BwMode *mode = &bwcfg[0];
    for (const BwMode &row : bwcfg) {
        if (row.fq == p.bw_fq) {
            mode = &row;
            break;
        }
    }

    GtkTextView *view = GTK_TEXT_VIEW(w.txtBWdesc);
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

}  // namespace korva_ui
