// Controls to parameter block (korva_update) and back (gui_update).
#include "ui_fixture.h"

#include "engine/param_fields.h"

#include <cstring>
#include <functional>

namespace {

using namespace korva_test;

class Binding : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        open_window();
        gui_update();
    }
};

int32_t field(const KorvaParams &p, const char *name)
{
    const KorvaParamField *f = korva_param_field_find(name);
    EXPECT_NE(f, nullptr) << name;
    return f ? korva_param_get(&p, f) : 0;
}

// Names of the fields that differ between two blocks.
std::vector<std::string> changed(const KorvaParams &a, const KorvaParams &b)
{
    std::vector<std::string> names;
    for (const KorvaParamField &f : korva_param_fields)
        if (korva_param_get(&a, &f) != korva_param_get(&b, &f))
            names.push_back(f.name);
    return names;
}

TEST_F(Binding, DefaultsAreShownAndSurviveTheReadBack)
{
    KorvaParams defaults;
    korva_default_params(&defaults);
    EXPECT_TRUE(changed(params(), defaults).empty());
    EXPECT_EQ(slider_value(slPreamp), 256);  // 384 - 128
    EXPECT_EQ(slider_value(slBWamp), 256);
    EXPECT_EQ(slider_value(slDeWoofer), 64);
    EXPECT_EQ(slider_value(sl3DDepth), 256);
    EXPECT_EQ(slider_value(slSpace), 86);
    EXPECT_TRUE(active(chkEnable));
    EXPECT_TRUE(active(chk3DSurround));
    EXPECT_FALSE(active(chkFQ));
    EXPECT_EQ(option_menu_index(ch3DSurround), 1);
    EXPECT_EQ(option_menu_index(chBW), 1);
    EXPECT_TRUE(active(rbNormalRelax));
    EXPECT_FALSE(active(rbConcentration));
    EXPECT_EQ(description(), bwcfg[2].description);
}

TEST_F(Binding, EachControlWritesItsOwnField)
{
    struct Case {
        const char *field;
        std::function<void()> act;
        int32_t expected;
    };
    const Case cases[] = {
        {"enable_global", [] { toggle(chkEnable); }, 0},
        {"chain_index", [] { choose(chChainer, 5); }, 5},
        {"preamp", [] { move_slider(slPreamp, 300); }, 84},
        {"superbass", [] { move_slider(slSuperBass, 11); }, 11},
        {"dewoofer", [] { move_slider(slDeWoofer, 12); }, 12},
        {"fidelity", [] { move_slider(slFidelity, 13); }, 13},
        {"enable_3dsurround", [] { toggle(chk3DSurround); }, 0},
        {"enable_extspace", [] { toggle(chkExtSpace); }, 1},
        {"enable_extfx", [] { toggle(chkExtFX); }, 1},
        {"enable_vs", [] { toggle(chkVS); }, 1},
        {"enable_bw", [] { toggle(chkBW); }, 1},
        {"_3dsurround_mode", [] { choose(ch3DSurround, 3); }, 3},
        {"_3dsurround_depth", [] { move_slider(sl3DDepth, 14); }, 14},
        {"_3dsurround_bass", [] { move_slider(sl3DBass, 15); }, 15},
        {"extspace_mode", [] { choose(chExtSpace, 2); }, 2},
        {"extfx_mode", [] { choose(chExtFX, 0); }, 0},
        {"extfx_space", [] { move_slider(slSpace, 16); }, 16},
        {"extfx_center", [] { move_slider(slCenter, 17); }, 17},
        {"vs_mode", [] { choose(chVS, 0); }, 0},
        {"vs_overdrive", [] { move_slider(slOverdrive, 18); }, 18},
        {"vs_intensity", [] { move_slider(slIntensity, 19); }, 19},
        {"spc_swapstereo", [] { toggle(chkSwap); }, 1},
        {"spc_phaseinvert", [] { toggle(chkPhaseInv); }, 1},
        {"spc_mode", [] { toggle(chkFQ); }, 1},
        {"spc_debass", [] { move_slider(slFQDeBass, 20); }, 20},
        {"spc_detube", [] { move_slider(slFQDeTube, 21); }, 21},
        {"spc_mid", [] { move_slider(slFQMid, 22); }, 22},
        {"spc_high", [] { move_slider(slFQHigh, 23); }, 23},
        {"bw_fq", [] { toggle(rbLightRelax); }, 7000},
        {"bw_sigpreamp", [] { move_slider(slBWamp, 4); }, 380},
    };
    for (const Case &c : cases) {
        const KorvaParams before = params();
        c.act();
        const KorvaParams after = params();
        EXPECT_EQ(changed(before, after), std::vector<std::string>{c.field}) << c.field;
        EXPECT_EQ(field(after, c.field), c.expected) << c.field;
    }
}

TEST_F(Binding, SlidersTruncateAndTheVerticalOnesAreInverted)
{
    move_slider(slSuperBass, 100.7);
    EXPECT_EQ(params().superbass, 100);
    move_slider(slPreamp, 100.5);
    EXPECT_EQ(params().preamp, 284);
    move_slider(slPreamp, 0);  // thumb at the top
    EXPECT_EQ(params().preamp, 384);
    move_slider(slPreamp, 384);  // thumb at the bottom
    EXPECT_EQ(params().preamp, 0);
    move_slider(slBWamp, 0);
    EXPECT_EQ(params().bw_sigpreamp, 384);
    move_slider(slBWamp, 383.9);
    EXPECT_EQ(params().bw_sigpreamp, 1);
}

TEST_F(Binding, BrainwaveMenuSetsModeAndDepth)
{
    // (position chosen, bw_mode, bw_value): "Disable" keeps whatever depth was set.
    const int steps[][3] = {{2, 2, 102}, {0, 0, 102}, {1, 1, 51}, {0, 0, 51}, {2, 2, 102}};
    for (auto [position, mode, value] : steps) {
        choose(chBW, position);
        EXPECT_EQ(params().bw_mode, mode) << "position " << position;
        EXPECT_EQ(params().bw_value, value) << "position " << position;
    }
}

TEST_F(Binding, RadioGroupSetsFrequencyAndDescription)
{
    GtkWidget *radios[] = {rbConcentration, rbLightRelax, rbNormalRelax, rbDeepRelax};
    const int32_t frequencies[] = {15000, 7000, 3600, 2000};
    for (int i : {3, 0, 1, 2}) {
        toggle(radios[i]);
        EXPECT_EQ(params().bw_fq, frequencies[i]);
        EXPECT_EQ(description(), bwcfg[i].description);
    }
    EXPECT_EQ(description().rfind("Normal relaxation\n\n", 0), 0u);
}

TEST_F(Binding, DescriptionsAreExact)
{
    EXPECT_STREQ(bwcfg[0].description,
                 "Concentration mode\n\nIn this state, high brainwave frequency is synthesized, which helps to "
                 "concentrate. However, in some circumstances it may cause headache or exactly opposite effect.");
    EXPECT_STREQ(bwcfg[1].description,
                 "Light relaxation\n\nNormal state for doing some relaxed work like reading mail, news or "
                 "learning some information.");
    EXPECT_STREQ(bwcfg[2].description,
                 "Normal relaxation\n\nShould be used as general purpose relaxation. Often cures headache, helps "
                 "mind to set up meditation. When used often, improves sleeping tonight.");
    EXPECT_STREQ(bwcfg[3].description,
                 "Deep relaxation\n\nThis state is designed for you if you want to go even deeper relaxation "
                 "after being some time in state of \"Normal relaxation\".");
}

TEST_F(Binding, AnyChangeRewritesEveryFieldButKeepsPadding)
{
    // A block the window does not show: every field off by one, padding set.
    KorvaParams stale = params();
    for (const KorvaParamField &f : korva_param_fields)
        korva_param_set(&stale, &f, korva_param_get(&stale, &f) + 1);
    set_params(stale);
    auto *raw = reinterpret_cast<unsigned char *>(&korva->params);
    for (int offset : {1, 25, 50, 51, 82, 83})
        raw[offset] = 0xA5;

    toggle(chkExtFX);
    const KorvaParams now = params();
    KorvaParams shown;
    korva_default_params(&shown);
    shown.enable_extfx = 1;
    EXPECT_EQ(changed(now, shown), std::vector<std::string>{}) << "every field comes from the controls";
    for (int offset : {1, 25, 50, 51, 82, 83})
        EXPECT_EQ(raw[offset], 0xA5) << "padding byte " << offset;
}

TEST_F(Binding, OutOfRangeValuesComeBackAsTheWindowShowsThem)
{
    KorvaParams p = params();
    p.superbass = 300;
    p.fidelity = -5;
    p.bw_fq = 5000;
    p.bw_mode = 2;
    p.bw_value = 51;
    p.chain_index = 9;
    p.extspace_mode = -1;
    p.enable_vs = 44;
    set_params(p);
    gui_update();

    const KorvaParams back = params();
    EXPECT_EQ(slider_value(slSuperBass), 288);
    EXPECT_EQ(back.superbass, 288);
    EXPECT_EQ(back.fidelity, 0);
    // No radio matches 5000; the one active before (Normal, from the
    // defaults) stays, and its frequency is read back.
    EXPECT_EQ(back.bw_fq, 3600);
    EXPECT_EQ(back.bw_mode, 1);
    EXPECT_EQ(back.bw_value, 51);
    EXPECT_EQ(back.chain_index, 0) << "previous selection kept";
    EXPECT_EQ(back.extspace_mode, 1) << "previous selection kept";
    EXPECT_EQ(back.enable_vs, 1);
}

TEST_F(Binding, UnknownFrequencyInANewWindowBecomesConcentration)
{
    close_window();
    KorvaParams p = params();
    p.bw_fq = 5000;
    set_params(p);
    open_window();
    gui_update();
    EXPECT_EQ(params().bw_fq, 15000);
    EXPECT_TRUE(active(rbConcentration));
    EXPECT_EQ(description().rfind("Concentration mode", 0), 0u);
}

// Records the block whenever chkEnable toggles.
void snapshot(GtkToggleButton *, gpointer data)
{
    static_cast<std::vector<KorvaParams> *>(data)->push_back(params());
}

TEST_F(Binding, SignalsDuringGuiUpdateLeaveTheBlockAlone)
{
    std::vector<KorvaParams> seen;
    g_signal_connect(chkEnable, "toggled", G_CALLBACK(snapshot), &seen);
    g_signal_connect(chkFQ, "toggled", G_CALLBACK(snapshot), &seen);
    KorvaParams p = params();
    p.enable_global = 0;
    p.spc_mode = 1;
    p.superbass = 300;
    set_params(p);
    gui_update();
    ASSERT_EQ(seen.size(), 2u);
    for (const KorvaParams &during : seen)
        EXPECT_EQ(during.superbass, 300) << "no read-back before the end";
    EXPECT_EQ(params().superbass, 288);
    EXPECT_EQ(gui_updating, 0);
}

TEST_F(Binding, NothingHappensWithoutAnEngine)
{
    KorvaEngine *engine = korva;
    korva = nullptr;
    toggle(chkEnable);
    move_slider(slSuperBass, 50);
    choose(chBW, 2);
    toggle(rbDeepRelax);
    gui_update();
    toggle(btnReset);
    korva = engine;
    KorvaParams defaults;
    korva_default_params(&defaults);
    EXPECT_TRUE(changed(params(), defaults).empty());
}

}  // namespace
