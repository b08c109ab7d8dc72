/*
 * One configuration window's record: a pointer per widget, named after the
 * widget, its model and what it has open. korva_ui::build fills it; the
 * widget pointers are valid only while window1 is not null. Each window has
 * its own record, so several windows (two plug-in instances in one host)
 * never share a widget or a model. Interface thread only.
 */
#ifndef KORVA_UI_WIDGETS_H
#define KORVA_UI_WIDGETS_H

#include "window_model.h"

#include <gtk/gtk.h>

/* Every named widget below window1, in the order the window is built. */
#define KORVA_UI_WIDGETS(X)                                                            \
    X(vbox1) X(btnAbout) X(hseparator1) X(notebook1)                                   \
    /* General */                                                                      \
    X(hbox1) X(vbox2) X(table1) X(label1) X(slSuperBass) X(label2) X(slDeWoofer)       \
    X(label7) X(slFidelity) X(hseparator2) X(hbox2) X(vseparator1) X(vbox3)            \
    X(chk3DSurround) X(chkExtSpace) X(chkExtFX) X(chkVS) X(chkBW) X(hbox3) X(label8)   \
    X(chChainer) X(vbox4) X(arrow1) X(slPreamp) X(label9) X(tabGeneral)                \
    /* 3D Surround */                                                                  \
    X(hbox4) X(pixmap1) X(vbox5) X(hseparator3) X(table2) X(label10) X(ch3DSurround)   \
    X(label11) X(sl3DDepth) X(label12) X(sl3DBass) X(hseparator4) X(tab3DSurround)     \
    /* extSpace */                                                                     \
    X(hbox5) X(pixmap2) X(vbox6) X(hseparator5) X(table3) X(label13) X(chExtSpace)     \
    X(hseparator6) X(label3)                                                           \
    /* extFX */                                                                        \
    X(hbox6) X(pixmap3) X(vbox7) X(hseparator7) X(table4) X(label14) X(chExtFX)        \
    X(label15) X(slSpace) X(label16) X(slCenter) X(hseparator8) X(label4)              \
    /* Virtual Subwoofer */                                                            \
    X(hbox7) X(pixmap4) X(vbox8) X(hseparator9) X(table5) X(label17) X(chVS)           \
    X(label18) X(slOverdrive) X(label19) X(slIntensity) X(hseparator10) X(label5)      \
    /* Tune Speakers */                                                                \
    X(hbox8) X(pixmap5) X(vbox9) X(hseparator11) X(chkSwap) X(chkPhaseInv) X(chkFQ)    \
    X(hseparator12) X(tblFQ) X(label20) X(slFQDeBass) X(label21) X(slFQDeTube)         \
    X(label22) X(slFQMid) X(label23) X(slFQHigh) X(hseparator13) X(label6)             \
    /* BW Synth */                                                                     \
    X(hbox9) X(pixmap6) X(vbox10) X(hseparator14) X(table6) X(label24) X(chBW)         \
    X(hbox10) X(vbox11) X(label25) X(rbConcentration) X(rbLightRelax)                  \
    X(rbNormalRelax) X(rbDeepRelax) X(label26) X(vbox12) X(label27) X(txtBWdesc)       \
    X(vbox13) X(label28) X(slBWamp) X(hseparator15) X(label34)                         \
    /* Bottom row */                                                                   \
    X(hbox11) X(chkEnable) X(btnLoad) X(btnSave) X(btnHelp) X(vseparator2)             \
    X(btnReset) X(btnClose)

/* The option menus' menus and the shared menu-item pointer: not named, not attached. */
#define KORVA_UI_MENUS(X)                                                              \
    X(chChainer_menu) X(ch3DSurround_menu) X(chExtSpace_menu) X(chExtFX_menu)          \
    X(chVS_menu) X(chBW_menu) X(glade_menuitem)

namespace korva_ui {

struct Window {
    // The window itself: a top-level window, or the box an embedding host
    // holds; null while none exists.
    GtkWidget *window1 = nullptr;
#define KORVA_UI_MEMBER(name) GtkWidget *name = nullptr;
    KORVA_UI_WIDGETS(KORVA_UI_MEMBER)
    KORVA_UI_MENUS(KORVA_UI_MEMBER)
#undef KORVA_UI_MEMBER

    KorvaWindowModel model{};        // copied when the window is built
    bool embedded = false;           // built for a host's frame: no title, no Close
    int updating = 0;                // 1 only inside gui_update
    GtkWidget *msg_box_window = nullptr;  // the message window shown by msg_box
    // An owner that keeps names of its own for these two (the XMMS plug-in's
    // gui_updating and msg_box_window) points here; the window keeps them equal.
    int *updating_also = nullptr;
    GtkWidget **msg_box_also = nullptr;
    GSList *selectors = nullptr;     // the preset selectors open over this window

    Window() = default;
    Window(const Window &) = delete;
    Window &operator=(const Window &) = delete;
};

}  // namespace korva_ui

#endif
