// korva-host --configure driven from outside, as a user would: a new chain
// order picked from its option menu, a check button clicked, a scrollbar
// dragged, then Close; the configuration file must hold what was chosen.
//
// The controls' positions are measured on the same window built in this
// process: both are placed at the centre of the same screen by the same code.
#include "ui_fixture.h"
#include "x_input.h"

#include "libxmms/xmms_configfile.h"
#include "settings/korva_settings.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>

extern char **environ;

namespace {

using namespace korva_test;

#ifdef KORVA_HOST_PATH

// Offsets from the configuration window's top-left corner.
struct Layout {
    Point chainer, chain_item3, extfx, superbass_thumb, superbass_far, close;
};

Point relative(Point p)
{
    gint ox = 0, oy = 0;
    gdk_window_get_origin(window1->window, &ox, &oy);
    return {p.x - ox, p.y - oy};
}

std::string output_of(const std::string &command)
{
    std::string text;
    if (FILE *pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe))
            text += buffer;
        pclose(pipe);
    }
    return text;
}

// One second of silence, 16-bit stereo at 44100 Hz.
void write_wav(const std::string &path)
{
    const uint32_t frames = 44100, data = frames * 4;
    auto u32 = [](std::ofstream &f, uint32_t v) { f.write(reinterpret_cast<const char *>(&v), 4); };
    auto u16 = [](std::ofstream &f, uint16_t v) { f.write(reinterpret_cast<const char *>(&v), 2); };
    std::ofstream f(path, std::ios::binary);
    f.write("RIFF", 4);
    u32(f, 36 + data);
    f.write("WAVEfmt ", 8);
    u32(f, 16);
    u16(f, 1);
    u16(f, 2);
    u32(f, 44100);
    u32(f, 44100 * 4);
    u16(f, 4);
    u16(f, 16);
    f.write("data", 4);
    u32(f, data);
    const std::string silence(data, '\0');
    f.write(silence.data(), data);
}

class RealInputHost : public UiTest {
protected:
    void TearDown() override
    {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        UiTest::TearDown();
    }

    // Moves the pointer to an offset inside the host's window and clicks.
    bool click_in(Point p)
    {
        return xdotool("mousemove --window " + window + " " + std::to_string(p.x) + " " + std::to_string(p.y) +
                       " click 1");
    }

    pid_t pid = 0;
    std::string window;  // X window id of the host's configuration window
};

TEST_F(RealInputHost, ChoicesMadeInKorvaHostsWindowAreInTheConfigurationFileAfterClose)
{
    if (!have_xdotool())
        GTEST_SKIP() << "xdotool not installed";
    KorvaParams settings;
    korva_default_params(&settings);
    settings.superbass = 150;

    // Measure the window as it will look with these settings.
    set_params(settings);
    open_window();
    gui_update();
    ASSERT_TRUE(show_page(0, chChainer));
    Layout layout;
    layout.chainer = relative(centre(chChainer));
    layout.extfx = relative(at(chkExtFX, 8, chkExtFX->allocation.height / 2));
    gint start = 0, end = 0;
    gtk_range_get_slider_range(GTK_RANGE(slSuperBass), &start, &end);
    layout.superbass_thumb = relative(at(slSuperBass, (start + end) / 2, slSuperBass->allocation.height / 2));
    layout.superbass_far = {layout.superbass_thumb.x + 2 * slSuperBass->allocation.width, layout.superbass_thumb.y};
    layout.close = relative(centre(btnClose));
    GtkWidget *menu = gtk_option_menu_get_menu(GTK_OPTION_MENU(chChainer));
    ASSERT_TRUE(click(centre(chChainer)));
    ASSERT_TRUE(wait_for([menu] { return on_screen_now(menu); }));
    layout.chain_item3 = relative(centre(static_cast<GtkWidget *>(g_list_nth_data(GTK_MENU_SHELL(menu)->children, 3))));
    ASSERT_TRUE(keys("Escape"));
    ASSERT_TRUE(wait_for([menu] { return !on_screen_now(menu); }));
    close_window();

    // The host, with its own configuration file.
    const std::string host_config = scratch("host.cfg"), input = scratch("in.wav"), output = scratch("out.wav");
    ConfigFile *cfg = xmms_cfg_new();
    korva_settings_write(cfg, &settings, "~/");
    ASSERT_TRUE(xmms_cfg_write_file(cfg, host_config.c_str()));
    xmms_cfg_free(cfg);
    write_wav(input);
    std::vector<std::string> args = {KORVA_HOST_PATH, "--config", host_config, "--configure",
                                     "--output",      output,     input};
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    ASSERT_EQ(posix_spawn(&pid, KORVA_HOST_PATH, nullptr, nullptr, argv.data(), environ), 0);

    window = output_of("timeout 60 " + std::string(KORVA_XDOTOOL) +
                       " search --sync --onlyvisible --name '^Korva configuration$' | head -n 1");
    while (!window.empty() && (window.back() == '\n'))
        window.pop_back();
    ASSERT_FALSE(window.empty()) << "korva-host's configuration window did not appear";

    ASSERT_TRUE(click_in(layout.extfx));
    ASSERT_TRUE(xdotool("mousemove --window " + window + " " + std::to_string(layout.superbass_thumb.x) + " " +
                        std::to_string(layout.superbass_thumb.y) + " mousedown 1 sleep 0.05 mousemove_relative 1 0 " +
                        "sleep 0.05 mousemove --window " + window + " " + std::to_string(layout.superbass_far.x) + " " +
                        std::to_string(layout.superbass_far.y) + " sleep 0.05 mouseup 1"));

    // Last before Close, as in the report of the lost choice: "Effects
    // chainer:", then "3D Surround, extFX, extSpace". The second
    // click waits until the menu is under the pointer (it is a window of
    // its own) and more than the half second in which the menu ignores a
    // button release.
    ASSERT_TRUE(click_in(layout.chainer));
    const std::string item = std::to_string(layout.chain_item3.x) + " " + std::to_string(layout.chain_item3.y);
    ASSERT_TRUE(xdotool("sleep 0.6 mousemove --window " + window + " " + item));
    ASSERT_TRUE(wait_for([&] {
        return output_of(std::string(KORVA_XDOTOOL) + " getmouselocation --shell | grep WINDOW=") !=
               "WINDOW=" + window + "\n";
    })) << "the menu did not open";
    ASSERT_TRUE(xdotool("click 1"));

    KorvaParams want = settings;
    want.chain_index = 3;
    want.enable_extfx = 1;
    want.superbass = 256;
    // Close saves the settings; until then the file holds the old ones.
    KorvaParams file{};
    ASSERT_TRUE(read_settings_file(host_config, file));
    EXPECT_EQ(file.chain_index, 0);
    ASSERT_TRUE(click_in(layout.close));
    EXPECT_TRUE(wait_for([&] {
        return read_settings_file(host_config, file) && std::memcmp(&file, &want, sizeof want) == 0;
    })) << "chain_index " << file.chain_index << ", enable_extfx " << int(file.enable_extfx) << ", superbass "
        << file.superbass;

    // Leaving the host saves them once more, unchanged.
    kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    pid = 0;
    ASSERT_TRUE(read_settings_file(host_config, file));
    EXPECT_EQ(std::memcmp(&file, &want, sizeof want), 0);
}

#endif

}  // namespace
