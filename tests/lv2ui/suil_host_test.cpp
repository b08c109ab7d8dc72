// The LV2 UI in a small host of its own made with suil, as a GTK 2 host
// embeds a ui:GtkUI: the host wraps write_function and counts every write,
// sends port events as hosts do, and drives the window only through real X
// input (xdotool). What the window shows is read from its widgets' state.
#include "engine/controls.h"
#include "engine/korva.h"
#include "engine/param_fields.h"
#include "plugin_core/ports.h"
#include "tests/support/scratch.h"
#include "tests/ui/x_input.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <suil/suil.h>

#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using korva_test::Point;

constexpr const char *kGtkUi = "http://lv2plug.in/ns/extensions/ui#GtkUI";

// How a port shows in the window: the widget and how its state reads.
enum class Shows { flag, slider, inverted, menu, bw_mode, bw_value, bw_radios };
struct PortView {
    const char *widget;
    Shows shows;
};
// In port order (field order).
const PortView kViews[KORVA_PARAM_FIELD_COUNT] = {
    {"chkEnable", Shows::flag},      {"chChainer", Shows::menu},       {"slPreamp", Shows::inverted},
    {"slSuperBass", Shows::slider},  {"slDeWoofer", Shows::slider},    {"slFidelity", Shows::slider},
    {"chk3DSurround", Shows::flag},  {"chkExtSpace", Shows::flag},     {"chkExtFX", Shows::flag},
    {"chkVS", Shows::flag},          {"chkBW", Shows::flag},           {"ch3DSurround", Shows::menu},
    {"sl3DDepth", Shows::slider},    {"sl3DBass", Shows::slider},      {"chExtSpace", Shows::menu},
    {"chExtFX", Shows::menu},        {"slSpace", Shows::slider},       {"slCenter", Shows::slider},
    {"chVS", Shows::menu},           {"slOverdrive", Shows::slider},   {"slIntensity", Shows::slider},
    {"chkSwap", Shows::flag},        {"chkPhaseInv", Shows::flag},     {"chkFQ", Shows::flag},
    {"slFQDeBass", Shows::slider},   {"slFQDeTube", Shows::slider},    {"slFQMid", Shows::slider},
    {"slFQHigh", Shows::slider},     {"chBW", Shows::bw_mode},         {"rb", Shows::bw_radios},
    {"chBW", Shows::bw_value},       {"slBWamp", Shows::inverted},
};

void find_named(GtkWidget *widget, gpointer data)
{
    auto *found = static_cast<std::map<std::string, GtkWidget *> *>(data);
    const char *name = gtk_widget_get_name(widget);
    if (name != nullptr)
        found->emplace(name, widget);
    if (GTK_IS_CONTAINER(widget))
        gtk_container_forall(GTK_CONTAINER(widget), find_named, data);
}

// One plug-in instance as the host sees it: its ports and the UI over them.
struct Plugin {
    float ports[KORVA_PORT_COUNT] = {};
    struct Write {
        uint32_t port;
        float value, before;
    };
    std::vector<Write> writes;
    SuilInstance *ui = nullptr;
    GtkWidget *frame = nullptr;
    std::map<std::string, GtkWidget *> widgets;

    static void write(SuilController controller, uint32_t port, uint32_t size, uint32_t protocol, const void *buffer)
    {
        auto *self = static_cast<Plugin *>(controller);
        ASSERT_EQ(protocol, 0u);
        ASSERT_EQ(size, sizeof(float));
        ASSERT_LT(port, uint32_t{KORVA_PORT_COUNT});
        const float value = *static_cast<const float *>(buffer);
        self->writes.push_back({port, value, self->ports[port]});
        self->ports[port] = value;
    }

    // A host's change, told to the UI.
    void set(int field, float value)
    {
        ports[KORVA_PORT_FIRST_CONTROL + field] = value;
        suil_instance_port_event(ui, KORVA_PORT_FIRST_CONTROL + field, sizeof value, 0, &value);
    }

    GtkWidget *widget(const std::string &name) const
    {
        const auto at = widgets.find(name);
        return at == widgets.end() ? nullptr : at->second;
    }

    // What the window shows for field i, read from the widgets.
    int shown(int i) const
    {
        const PortView &v = kViews[i];
        auto value_of = [&](const char *name) {
            return static_cast<int>(gtk_adjustment_get_value(gtk_range_get_adjustment(GTK_RANGE(widget(name)))));
        };
        switch (v.shows) {
        case Shows::flag:
            return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(widget(v.widget))) ? 1 : 0;
        case Shows::slider:
            return value_of(v.widget);
        case Shows::inverted:
            return 384 - value_of(v.widget);
        case Shows::menu:
        case Shows::bw_mode:
            return gtk_option_menu_get_history(GTK_OPTION_MENU(widget(v.widget)));
        case Shows::bw_value: {
            const int position = gtk_option_menu_get_history(GTK_OPTION_MENU(widget(v.widget)));
            return position == 2 ? 102 : position == 1 ? 51 : -1;  // -1: not shown
        }
        case Shows::bw_radios: {
            const char *names[] = {"rbConcentration", "rbLightRelax", "rbNormalRelax", "rbDeepRelax"};
            for (int m = 0; m < 4; ++m)
                if (gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(widget(names[m]))))
                    return korva_controls[i].points[m].value;
            return -1;
        }
        }
        return -1;
    }

    int port(int i) const { return static_cast<int>(std::lround(ports[KORVA_PORT_FIRST_CONTROL + i])); }
};

class SuilHostTest : public ::testing::Test {
protected:
    SuilHost *host = nullptr;
    std::vector<std::unique_ptr<Plugin>> plugins;
    korva_test::ScratchDir dir;

    void SetUp() override
    {
        if (!korva_test::have_xdotool())
            GTEST_SKIP() << "xdotool is not installed";
        host = suil_host_new(Plugin::write, nullptr, nullptr, nullptr);
    }

    void TearDown() override
    {
        for (auto &p : plugins) {
            suil_instance_free(p->ui);
            gtk_widget_destroy(p->frame);
        }
        korva_test::pump();
        if (host)
            suil_host_free(host);
    }

    // A new instance at the defaults, its UI told every port as a host does,
    // in a window of its own at (x, 0).
    Plugin &open(int x)
    {
        auto p = std::make_unique<Plugin>();
        KorvaParams defaults;
        korva_default_params(&defaults);
        const std::string bundle = std::string(KORVA_LV2_BUNDLE) + "/";
        p->ui = suil_instance_new(host, p.get(), kGtkUi, "urn:korva:enhancer", "urn:korva:enhancer#ui", kGtkUi,
                                  bundle.c_str(), (bundle + "korva_ui.so").c_str(), nullptr);
        EXPECT_NE(p->ui, nullptr);
        if (p->ui == nullptr)
            throw std::runtime_error("no UI");
        for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i)
            p->set(i, static_cast<float>(korva_param_get(&defaults, &korva_param_fields[i])));
        p->frame = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_move(GTK_WINDOW(p->frame), x, 0);
        auto *widget = static_cast<GtkWidget *>(suil_instance_get_widget(p->ui));
        gtk_container_add(GTK_CONTAINER(p->frame), widget);
        gtk_widget_show_all(p->frame);
        find_named(widget, &p->widgets);
        EXPECT_TRUE(korva_test::wait_for([&] { return korva_test::on_screen_now(p->widget("chkEnable")); }));
        plugins.push_back(std::move(p));
        return *plugins.back();
    }

    bool page(Plugin &p, int number, const char *widget)
    {
        gtk_notebook_set_current_page(GTK_NOTEBOOK(p.widget("notebook1")), number);
        return korva_test::wait_for([&] { return korva_test::on_screen_now(p.widget(widget)); });
    }

    static bool click(GtkWidget *w, int x = -1)
    {
        const Point at = x < 0 ? korva_test::centre(w) : korva_test::at(w, x, w->allocation.height / 2);
        const bool ok = korva_test::click(at);
        korva_test::settle();
        return ok;
    }
};

// A preset file of this machine's byte order (little-endian): magic, order,
// payload length, the block.
std::string preset_bytes(const KorvaParams &block)
{
    std::string bytes = "KORVA551LE";
    const uint32_t length = sizeof block;
    bytes.append(reinterpret_cast<const char *>(&length), sizeof length);
    bytes.append(reinterpret_cast<const char *>(&block), sizeof block);
    return bytes;
}

::testing::AssertionResult window_equals_ports(const Plugin &p)
{
    for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i) {
        const int shown = p.shown(i);
        if (shown != -1 && shown != p.port(i))
            return ::testing::AssertionFailure() << korva_param_fields[i].name << ": window " << shown << ", port "
                                                 << p.port(i);
    }
    return ::testing::AssertionSuccess();
}

// No write that leaves a port as it was: one write per changed value.
size_t repeated_writes(const Plugin &p)
{
    size_t n = 0;
    for (const Plugin::Write &w : p.writes)
        n += w.value == w.before;
    return n;
}

TEST_F(SuilHostTest, HostChangesShowAndAreNeverWrittenBack)
{
    Plugin &p = open(0);
    EXPECT_TRUE(p.writes.empty()) << "the first port events are not echoed";
    p.set(3, 123);      // superbass
    p.set(2, 300);      // preamp: the vertical slider shows 384 - 300
    p.set(0, 0);        // enable_global
    p.set(28, 2);       // bw_mode: Extra
    p.set(30, 102);
    p.set(1, 4.6f);     // chain_index: rounded as the plug-in does
    korva_test::settle();
    EXPECT_EQ(p.shown(3), 123);
    EXPECT_EQ(p.shown(2), 300);
    EXPECT_EQ(p.shown(0), 0);
    EXPECT_EQ(p.shown(28), 2);
    EXPECT_EQ(p.shown(1), 5);
    EXPECT_TRUE(p.writes.empty()) << p.writes.size() << " writes, first to port " << p.writes[0].port;
}

// Values the window cannot show as they are (between the Brainwave modes,
// off its menus, beyond a port's range, not whole): shown as the window can,
// and neither written back when they come nor with the user's next change.
TEST_F(SuilHostTest, ValuesTheWindowNormalisesAreNeverWrittenBack)
{
    Plugin &p = open(0);
    const struct {
        int field;
        float value;
    } kCases[] = {{29, 5000}, {29, 14999}, {30, 60}, {28, 1}, {30, 300}, {3, 300},
                  {2, -5},    {1, 4.6f},   {11, 9}, {31, 1000}};
    for (const auto &c : kCases) {
        p.writes.clear();
        p.set(c.field, c.value);
        korva_test::settle();
        EXPECT_TRUE(p.writes.empty()) << korva_param_fields[c.field].name << "=" << c.value << " came back";
        ASSERT_TRUE(click(p.widget("chkEnable"), 8));
        ASSERT_EQ(p.writes.size(), 1u) << "after " << korva_param_fields[c.field].name << "=" << c.value
                                       << ", a click wrote port " << p.writes.back().port;
        EXPECT_EQ(p.writes[0].port, uint32_t{KORVA_PORT_FIRST_CONTROL + 0});
    }
}

TEST_F(SuilHostTest, OneClickWritesOnePortOnceAndCloseIsHidden)
{
    Plugin &p = open(0);
    EXPECT_FALSE(gtk_widget_get_visible(p.widget("btnClose")));
    ASSERT_TRUE(click(p.widget("chkEnable"), 8));
    ASSERT_EQ(p.writes.size(), 1u);
    EXPECT_EQ(p.writes[0].port, uint32_t{KORVA_PORT_FIRST_CONTROL + 0});
    EXPECT_EQ(p.writes[0].value, 0.0f);

    // Reset keeps the master switch and writes only the ports it changes.
    p.writes.clear();
    p.set(3, 200);
    p.set(12, 10);
    ASSERT_TRUE(click(p.widget("btnReset")));
    std::map<uint32_t, float> written;
    for (const auto &w : p.writes)
        written[w.port] = w.value;
    EXPECT_EQ(p.writes.size(), 2u);
    EXPECT_EQ(written[KORVA_PORT_FIRST_CONTROL + 3], 0.0f);
    EXPECT_EQ(written[KORVA_PORT_FIRST_CONTROL + 12], 256.0f);
    EXPECT_EQ(p.port(0), 0) << "the master switch stays off";
    EXPECT_TRUE(window_equals_ports(p));
}

TEST_F(SuilHostTest, LoadWritesEveryChangedPortOnceClampedAndKeepsTheSwitches)
{
    Plugin &p = open(0);
    KorvaParams preset;
    korva_default_params(&preset);
    preset.superbass = 300;        // beyond the port's 256
    preset.enable_global = 0;      // kept as it is
    preset.spc_swapstereo = 1;     // kept as it is
    preset.vs_intensity = 200;
    const std::string path = dir.file("p.kp");
    korva_test::write_file(path, preset_bytes(preset));
    const std::string bad = dir.file("bad.kp");
    korva_test::write_file(bad, "not a preset");

    for (const std::string &file : {bad, path}) {
        ASSERT_TRUE(click(p.widget("btnLoad")));
        GtkWidget *selector = nullptr;
        ASSERT_TRUE(korva_test::wait_for([&] {
            GList *tops = gtk_window_list_toplevels();
            for (GList *t = tops; t; t = t->next)
                if (GTK_IS_FILE_SELECTION(t->data) && gtk_widget_get_visible(GTK_WIDGET(t->data)))
                    selector = GTK_WIDGET(t->data);
            g_list_free(tops);
            return selector != nullptr && korva_test::on_screen_now(selector);
        }));
        ASSERT_TRUE(korva_test::focus(selector));
        ASSERT_TRUE(korva_test::keys("ctrl+a") && korva_test::type(file) && korva_test::keys("Return"));
        korva_test::settle();
        if (file == bad) {
            ASSERT_TRUE(korva_test::wait_for([&] {
                return std::string(gtk_file_selection_get_filename(GTK_FILE_SELECTION(selector))).find(
                           "NOT A PRESET FILE") != std::string::npos;
            }));
            EXPECT_TRUE(p.writes.empty()) << "nothing of a failed load is applied";
            gtk_widget_destroy(selector);
        }
    }
    ASSERT_TRUE(korva_test::wait_for([&] { return p.writes.size() >= 2; }));
    korva_test::settle();
    std::map<uint32_t, int> count;
    for (const auto &w : p.writes)
        ++count[w.port];
    EXPECT_EQ(count.size(), 2u);
    EXPECT_EQ(count[KORVA_PORT_FIRST_CONTROL + 3], 1);
    EXPECT_EQ(count[KORVA_PORT_FIRST_CONTROL + 20], 1);
    EXPECT_EQ(p.port(3), 256) << "clamped to the port's range";
    EXPECT_EQ(p.port(20), 200);
    EXPECT_EQ(p.port(0), 1);
    EXPECT_EQ(p.port(21), 0);
    EXPECT_TRUE(window_equals_ports(p));
}

TEST_F(SuilHostTest, TwoInstancesNeverAffectEachOther)
{
    Plugin &a = open(0);
    Plugin &b = open(0 + 640);
    ASSERT_TRUE(click(a.widget("chkEnable"), 8));
    b.set(3, 200);
    korva_test::settle();
    EXPECT_EQ(a.writes.size(), 1u);
    EXPECT_TRUE(b.writes.empty());
    EXPECT_EQ(a.shown(0), 0);
    EXPECT_EQ(b.shown(0), 1);
    EXPECT_EQ(a.shown(3), 0);
    EXPECT_EQ(b.shown(3), 200);
    ASSERT_TRUE(click(b.widget("btnReset")));
    EXPECT_EQ(a.shown(0), 0);
    EXPECT_EQ(b.shown(3), 0);
    EXPECT_EQ(a.writes.size(), 1u);
}

// 200 random clicks, keys and drags on the General and Tune Speakers pages,
// with the host echoing every write back and changing a port of its own now
// and then: no write ever repeats a port's value, no echo is written back,
// and at the end every port equals what the window shows.
TEST_F(SuilHostTest, RandomSessionHasNoFeedbackLoop)
{
    Plugin &p = open(0);
    std::mt19937 random(30);
    const std::vector<std::vector<const char *>> pages = {
        {"chkEnable", "chk3DSurround", "chkExtSpace", "chkExtFX", "chkVS", "chkBW", "slSuperBass", "slDeWoofer",
         "slFidelity", "slPreamp", "chChainer"},
        {"chkSwap", "chkPhaseInv", "chkFQ", "slFQDeBass", "slFQDeTube", "slFQMid", "slFQHigh"}};
    const int page_numbers[] = {0, 5};
    size_t actions = 0;
    for (int step = 0; step < 200; ++step) {
        const int which = static_cast<int>(random() % 2);
        const auto &names = pages[which];
        GtkWidget *w = p.widget(names[random() % names.size()]);
        ASSERT_TRUE(page(p, page_numbers[which], gtk_widget_get_name(w)));
        const size_t before = p.writes.size();
        if (GTK_IS_TOGGLE_BUTTON(w)) {
            ASSERT_TRUE(click(w, 8));
        } else if (GTK_IS_OPTION_MENU(w)) {
            ASSERT_TRUE(click(w));
            korva_test::pump(600);
            ASSERT_TRUE(korva_test::keys(random() % 2 ? "Down Return" : "Up Return"));
        } else if (random() % 3 == 0) {
            // Keys on a focused scrollbar: arrows step by one.
            ASSERT_TRUE(click(w, 1) || true);
            ASSERT_TRUE(korva_test::keys(random() % 2 ? "Right Right Down" : "Left Up"));
        } else {
            const bool vertical = GTK_IS_VSCROLLBAR(w);
            const int length = vertical ? w->allocation.height : w->allocation.width;
            const int from = 20 + static_cast<int>(random() % (length - 40));
            const int to = 20 + static_cast<int>(random() % (length - 40));
            const Point a = vertical ? korva_test::at(w, w->allocation.width / 2, from)
                                     : korva_test::at(w, from, w->allocation.height / 2);
            const Point b = vertical ? korva_test::at(w, w->allocation.width / 2, to)
                                     : korva_test::at(w, to, w->allocation.height / 2);
            ASSERT_TRUE(korva_test::drag(a, b));
        }
        korva_test::settle();
        ++actions;
        // The host tells the UI each value it now has, as some hosts do.
        const size_t written = p.writes.size();
        for (size_t k = before; k < written; ++k)
            p.set(static_cast<int>(p.writes[k].port) - KORVA_PORT_FIRST_CONTROL, p.writes[k].value);
        if (step % 20 == 19)
            p.set(4, static_cast<float>(random() % 257));   // dewoofer from the host
        korva_test::settle();
        ASSERT_EQ(p.writes.size(), written) << "an echo was written back at step " << step;
    }
    korva_test::settle();
    EXPECT_EQ(repeated_writes(p), 0u) << "of " << p.writes.size() << " writes";
    EXPECT_GT(p.writes.size(), actions / 2) << "the session changed things";
    EXPECT_TRUE(window_equals_ports(p));
}

}  // namespace
