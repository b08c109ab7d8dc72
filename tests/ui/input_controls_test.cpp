// Every kind of control driven by real pointer and keyboard events through
// the X server; after each action the live parameter block must hold the
// new value and nothing else may have changed.
#include "ui_fixture.h"
#include "x_input.h"

#include <cstring>
#include <functional>

namespace {

using namespace korva_test;

// Pages of the notebook, in order.
enum Page { General, Surround, ExtSpace, ExtFX, Subwoofer, Speakers, Brainwave };

using Change = std::function<void(KorvaParams &)>;

bool same(const KorvaParams &a, const KorvaParams &b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

std::string differences(const KorvaParams &want)
{
    const KorvaParams got = params();
    std::string text;
    const auto *a = reinterpret_cast<const unsigned char *>(&want);
    const auto *b = reinterpret_cast<const unsigned char *>(&got);
    for (size_t i = 0; i < sizeof want; ++i)
        if (a[i] != b[i])
            text += " byte " + std::to_string(i) + ": want " + std::to_string(a[i]) + " got " + std::to_string(b[i]);
    return text.empty() ? "block as expected" : text;
}

class RealInput : public WindowOnScreenTest {
protected:
    // Waits until the block equals the one before the action with `change`
    // applied.
    ::testing::AssertionResult becomes(const KorvaParams &before, const Change &change)
    {
        KorvaParams want = before;
        change(want);
        if (wait_for([&] { return same(params(), want); }))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << differences(want);
    }
};

// --- Option menus -----------------------------------------------------------

struct MenuCase {
    const char *name;
    GtkWidget **menu;
    Page page;
    int items;
    Change (*pick)(int position);
};

Change chain(int i) { return [i](KorvaParams &p) { p.chain_index = int16_t(i); }; }
Change surround(int i) { return [i](KorvaParams &p) { p._3dsurround_mode = int16_t(i); }; }
Change space(int i) { return [i](KorvaParams &p) { p.extspace_mode = int16_t(i); }; }
Change fx(int i) { return [i](KorvaParams &p) { p.extfx_mode = int16_t(i); }; }
Change subwoofer(int i) { return [i](KorvaParams &p) { p.vs_mode = int16_t(i); }; }
// "Normal" and "Extra (x2)" also set the modulation depth; "Disable" keeps it.
Change brainwave(int i)
{
    return [i](KorvaParams &p) {
        p.bw_mode = int16_t(i);
        if (i > 0)
            p.bw_value = i == 1 ? 51 : 102;
    };
}

const MenuCase kMenus[] = {
    {"chChainer", &chChainer, General, 6, chain},   {"ch3DSurround", &ch3DSurround, Surround, 4, surround},
    {"chExtSpace", &chExtSpace, ExtSpace, 3, space}, {"chExtFX", &chExtFX, ExtFX, 2, fx},
    {"chVS", &chVS, Subwoofer, 2, subwoofer},        {"chBW", &chBW, Brainwave, 3, brainwave},
};

GtkWidget *menu_of(GtkWidget *option_menu)
{
    return gtk_option_menu_get_menu(GTK_OPTION_MENU(option_menu));
}

bool popped_up(GtkWidget *option_menu)
{
    return on_screen_now(menu_of(option_menu));
}

// Click on the option menu, then on the item in the menu it pops up.
bool pick_with_pointer(GtkWidget *option_menu, int position)
{
    if (!click(centre(option_menu)) || !wait_for([&] { return popped_up(option_menu); }))
        return false;
    // The menu ignores a button release within half a second of its popping
    // up (so the release of the opening click does not pick the item under
    // the pointer); the picking click must come later than that.
    pump(600);
    auto *item = static_cast<GtkWidget *>(g_list_nth_data(GTK_MENU_SHELL(menu_of(option_menu))->children, position));
    return item && click(centre(item)) && wait_for([&] { return !popped_up(option_menu); });
}

TEST_F(RealInput, EveryItemOfEveryOptionMenuPickedWithThePointer)
{
    for (const MenuCase &m : kMenus) {
        SCOPED_TRACE(m.name);
        ASSERT_TRUE(show_page(m.page, *m.menu));
        // Every item once, starting after the one shown, so each pick changes it.
        const int shown = gtk_option_menu_get_history(GTK_OPTION_MENU(*m.menu));
        for (int step = 1; step <= m.items; ++step) {
            const int position = (shown + step) % m.items;
            SCOPED_TRACE(position);
            const KorvaParams before = params();
            ASSERT_TRUE(pick_with_pointer(*m.menu, position));
            EXPECT_TRUE(becomes(before, m.pick(position)));
            EXPECT_EQ(option_menu_index(*m.menu), position);
        }
    }
}

TEST_F(RealInput, OptionMenuByKeyboardAndByMouseWheel)
{
    // Focus, Space opens the menu at the item shown, an arrow moves to the
    // next one, Return picks it.
    ASSERT_TRUE(show_page(ExtSpace, chExtSpace));
    gtk_widget_grab_focus(chExtSpace);
    ASSERT_TRUE(focus(window1));
    ASSERT_EQ(params().extspace_mode, 1);
    for (int position : {2, 0}) {
        const KorvaParams before = params();
        ASSERT_TRUE(keys("space"));
        ASSERT_TRUE(wait_for([] { return popped_up(chExtSpace); }));
        ASSERT_TRUE(keys(position == 2 ? "Down" : "Up Up"));
        ASSERT_TRUE(keys("Return"));
        EXPECT_TRUE(becomes(before, space(position))) << "position " << position;
    }

    // The wheel steps through the items without opening the menu.
    ASSERT_TRUE(show_page(Brainwave, chBW));
    const KorvaParams before = params();
    ASSERT_EQ(before.bw_mode, 1);
    ASSERT_TRUE(click(centre(chBW), 5));  // wheel down: the next item
    EXPECT_TRUE(becomes(before, brainwave(2)));
    // Wheel up twice: through "Normal" (depth 51 again) to "Disable".
    ASSERT_TRUE(click(centre(chBW), 4));
    ASSERT_TRUE(click(centre(chBW), 4));
    EXPECT_TRUE(becomes(before, brainwave(0)));
}

// --- Check buttons and radio buttons -----------------------------------------

struct ToggleCase {
    const char *name;
    GtkWidget **button;
    Page page;
    Change change;
};

TEST_F(RealInput, EveryCheckButtonAndRadioButtonClicked)
{
    const ToggleCase cases[] = {
        {"chkEnable", &chkEnable, General, [](KorvaParams &p) { p.enable_global = 0; }},
        {"chk3DSurround", &chk3DSurround, General, [](KorvaParams &p) { p.enable_3dsurround = 0; }},
        {"chkExtSpace", &chkExtSpace, General, [](KorvaParams &p) { p.enable_extspace = 1; }},
        {"chkExtFX", &chkExtFX, General, [](KorvaParams &p) { p.enable_extfx = 1; }},
        {"chkVS", &chkVS, General, [](KorvaParams &p) { p.enable_vs = 1; }},
        {"chkBW", &chkBW, General, [](KorvaParams &p) { p.enable_bw = 1; }},
        {"chkSwap", &chkSwap, Speakers, [](KorvaParams &p) { p.spc_swapstereo = 1; }},
        {"chkPhaseInv", &chkPhaseInv, Speakers, [](KorvaParams &p) { p.spc_phaseinvert = 1; }},
        {"chkFQ", &chkFQ, Speakers, [](KorvaParams &p) { p.spc_mode = 1; }},
        {"rbConcentration", &rbConcentration, Brainwave, [](KorvaParams &p) { p.bw_fq = 15000; }},
        {"rbLightRelax", &rbLightRelax, Brainwave, [](KorvaParams &p) { p.bw_fq = 7000; }},
        {"rbDeepRelax", &rbDeepRelax, Brainwave, [](KorvaParams &p) { p.bw_fq = 2000; }},
        {"rbNormalRelax", &rbNormalRelax, Brainwave, [](KorvaParams &p) { p.bw_fq = 3600; }},
    };
    for (const ToggleCase &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(show_page(c.page, *c.button));
        const KorvaParams before = params();
        ASSERT_TRUE(click(at(*c.button, 8, (*c.button)->allocation.height / 2)));
        EXPECT_TRUE(becomes(before, c.change));
    }
    EXPECT_EQ(description().rfind("Normal relaxation", 0), 0u);
}

// --- Scrollbars --------------------------------------------------------------

struct SliderCase {
    const char *name;
    GtkWidget **scrollbar;
    Page page;
    int32_t KorvaParams::*field;
    bool inverted;  // vertical, 384 at the top
};

const SliderCase kSliders[] = {
    {"slSuperBass", &slSuperBass, General, &KorvaParams::superbass, false},
    {"slDeWoofer", &slDeWoofer, General, &KorvaParams::dewoofer, false},
    {"slFidelity", &slFidelity, General, &KorvaParams::fidelity, false},
    {"slPreamp", &slPreamp, General, &KorvaParams::preamp, true},
    {"sl3DDepth", &sl3DDepth, Surround, &KorvaParams::_3dsurround_depth, false},
    {"sl3DBass", &sl3DBass, Surround, &KorvaParams::_3dsurround_bass, false},
    {"slSpace", &slSpace, ExtFX, &KorvaParams::extfx_space, false},
    {"slCenter", &slCenter, ExtFX, &KorvaParams::extfx_center, false},
    {"slOverdrive", &slOverdrive, Subwoofer, &KorvaParams::vs_overdrive, false},
    {"slIntensity", &slIntensity, Subwoofer, &KorvaParams::vs_intensity, false},
    {"slFQDeBass", &slFQDeBass, Speakers, &KorvaParams::spc_debass, false},
    {"slFQDeTube", &slFQDeTube, Speakers, &KorvaParams::spc_detube, false},
    {"slFQMid", &slFQMid, Speakers, &KorvaParams::spc_mid, false},
    {"slFQHigh", &slFQHigh, Speakers, &KorvaParams::spc_high, false},
    {"slBWamp", &slBWamp, Brainwave, &KorvaParams::bw_sigpreamp, true},
};

bool vertical(GtkWidget *scrollbar)
{
    return GTK_IS_VSCROLLBAR(scrollbar);
}

int length(GtkWidget *scrollbar)
{
    return vertical(scrollbar) ? scrollbar->allocation.height : scrollbar->allocation.width;
}

// A point on the scrollbar `along` pixels from its start (left or top).
Point along(GtkWidget *scrollbar, int along)
{
    const GtkAllocation &a = scrollbar->allocation;
    return vertical(scrollbar) ? at(scrollbar, a.width / 2, along) : at(scrollbar, along, a.height / 2);
}

Point thumb(GtkWidget *scrollbar)
{
    gint start = 0, end = 0;
    gtk_range_get_slider_range(GTK_RANGE(scrollbar), &start, &end);
    return along(scrollbar, (start + end) / 2);
}

// The backward (left, top) and forward (right, bottom) arrow buttons.
Point arrow(GtkWidget *scrollbar, bool forward)
{
    gint stepper = 0, border = 0;
    gtk_widget_style_get(scrollbar, "stepper-size", &stepper, "trough-border", &border, nullptr);
    const int offset = border + stepper / 2;
    return along(scrollbar, forward ? length(scrollbar) - 1 - offset : offset);
}

// The middle of the larger stretch of trough beside the thumb.
Point trough(GtkWidget *scrollbar)
{
    gint stepper = 0, border = 0, start = 0, end = 0;
    gtk_widget_style_get(scrollbar, "stepper-size", &stepper, "trough-border", &border, nullptr);
    gtk_range_get_slider_range(GTK_RANGE(scrollbar), &start, &end);
    const int first = border + stepper, last = length(scrollbar) - border - stepper;
    return start - first > last - end ? along(scrollbar, (first + start) / 2) : along(scrollbar, (end + last) / 2);
}

TEST_F(RealInput, EveryScrollbarDraggedToTheEndOfItsReach)
{
    for (const SliderCase &s : kSliders) {
        SCOPED_TRACE(s.name);
        GtkWidget *bar = *s.scrollbar;
        ASSERT_TRUE(show_page(s.page, bar));
        // Toward the end whose value the field does not hold yet.
        const int32_t top = s.inverted ? 384 : 256;
        const bool to_top = params().*s.field != top;
        const int target = to_top ? top : 0;
        const bool forward = to_top != s.inverted;  // right / down
        const Point from = thumb(bar);
        const int reach = forward ? 2 * length(bar) : -2 * length(bar);
        const Point to = vertical(bar) ? Point{from.x, from.y + reach} : Point{from.x + reach, from.y};
        const KorvaParams before = params();
        ASSERT_TRUE(drag(from, to));
        EXPECT_TRUE(becomes(before, [&](KorvaParams &p) { p.*s.field = target; }));
    }

    // Half way along: the field holds the truncated value shown.
    for (GtkWidget *bar : {slSuperBass, slPreamp}) {
        ASSERT_TRUE(show_page(General, bar));
        const Point from = thumb(bar);
        const Point to = along(bar, length(bar) / 2);
        ASSERT_TRUE(drag(from, vertical(bar) ? Point{from.x, to.y} : Point{to.x, from.y}));
        ASSERT_TRUE(wait_for([&] { return slider_value(bar) > 60 && slider_value(bar) < 320; }))
            << slider_value(bar);
        const int32_t shown = static_cast<int32_t>(static_cast<float>(slider_value(bar)));
        EXPECT_TRUE(wait_for([&] {
            return bar == slPreamp ? params().preamp == 384 - shown : params().superbass == shown;
        }));
    }
}

TEST_F(RealInput, ArrowButtonsStepByOneAndATroughClickChangesNothing)
{
    for (const SliderCase *s : {&kSliders[0], &kSliders[3], &kSliders[14]}) {  // superbass, preamp, BW amp
        SCOPED_TRACE(s->name);
        GtkWidget *bar = *s->scrollbar;
        ASSERT_TRUE(show_page(s->page, bar));
        const int sign = s->inverted ? -1 : 1;  // a forward step lowers an inverted field
        const KorvaParams before = params();

        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(click(arrow(bar, true)));
        EXPECT_TRUE(becomes(before, [&](KorvaParams &p) { p.*s->field += 3 * sign; }));
        ASSERT_TRUE(click(arrow(bar, false)));
        EXPECT_TRUE(becomes(before, [&](KorvaParams &p) { p.*s->field += 2 * sign; }));

        // The page increment is 0: a left click in the trough moves nothing,
        // so after one more arrow step the field is exactly one further.
        ASSERT_TRUE(click(trough(bar)));
        ASSERT_TRUE(click(arrow(bar, true)));
        EXPECT_TRUE(becomes(before, [&](KorvaParams &p) { p.*s->field += 3 * sign; }));
    }
}

}  // namespace
