// Preset selectors with real files, the about box and the message window.
#include "ui_fixture.h"

#include "settings/korva_settings.h"
#include "tests/support/field_values.h"
#include "preset_file/preset_file.h"

#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

using namespace korva_test;

// What a user typing a name into the selector's name field does.
void type_name(GtkWidget *selector, const std::string &text)
{
    gtk_entry_set_text(GTK_ENTRY(GTK_FILE_SELECTION(selector)->selection_entry), text.c_str());
}

void press_ok(GtkWidget *selector)
{
    gtk_button_clicked(GTK_BUTTON(GTK_FILE_SELECTION(selector)->ok_button));
    pump();
}

// Typing a name and pressing OK.
void choose(GtkWidget *selector, const std::string &text)
{
    type_name(selector, text);
    press_ok(selector);
}

std::string selected(GtkWidget *selector)
{
    return gtk_file_selection_get_filename(GTK_FILE_SELECTION(selector));
}

// A selector that tells when it is gone.
struct Watched {
    GtkWidget *widget;
    explicit Watched(GtkWidget *w) : widget(w)
    {
        g_object_add_weak_pointer(G_OBJECT(widget), reinterpret_cast<gpointer *>(&widget));
    }
    // A selector that outlives the test is destroyed in TearDown, after this
    // watcher is gone: it must not write into the dead watcher then.
    ~Watched()
    {
        if (widget)
            g_object_remove_weak_pointer(G_OBJECT(widget), reinterpret_cast<gpointer *>(&widget));
    }
    Watched(const Watched &) = delete;
    Watched &operator=(const Watched &) = delete;
    bool alive() const { return widget != nullptr; }
};

// Whether the selector's file list shows `name`.
bool lists(GtkWidget *selector, const char *name)
{
    GtkTreeModel *model = gtk_tree_view_get_model(GTK_TREE_VIEW(GTK_FILE_SELECTION(selector)->file_list));
    GtkTreeIter it;
    for (gboolean ok = gtk_tree_model_get_iter_first(model, &it); ok; ok = gtk_tree_model_iter_next(model, &it)) {
        gchar *text = nullptr;
        gtk_tree_model_get(model, &it, 0, &text, -1);
        bool same = text && std::strcmp(text, name) == 0;
        g_free(text);
        if (same)
            return true;
    }
    return false;
}

class Dialogs : public UiTest {
protected:
    // A preset whose every field differs from the defaults, the three kept
    // fields included.
    std::string write_preset(const std::string &name)
    {
        KorvaEngine *other = korva_new();
        using P = KorvaParams;
        other->params = korva_test::with_fields(
            other->params, {{&P::enable_global, 0}, {&P::spc_swapstereo, 1}, {&P::spc_phaseinvert, 1},
                            {&P::superbass, 123}, {&P::chain_index, 3}, {&P::bw_fq, 2000}, {&P::bw_mode, 2},
                            {&P::bw_value, 102}, {&P::preamp, 200}});
        std::string path = scratch(name);
        EXPECT_EQ(korva_save(other, path.c_str()), 1);
        korva_delete(other);
        return path;
    }
};

TEST_F(Dialogs, SelectorsAreBuiltAsDescribed)
{
    korva_set_last_preset_file(scratch("start.kor").c_str());
    struct Expect {
        GtkWidget *(*create)();
        const char *title, *name, *ok, *cancel;
    };
    for (const Expect &e : {Expect{create_fileLoad, "Load Korva Preset", "fileLoad", "ok_button1", "cancel_button1"},
                            Expect{create_fileSave, "Save Korva Preset", "fileSave", "ok_button2", "cancel_button2"}}) {
        GtkWidget *selector = e.create();
        EXPECT_FALSE(gtk_widget_get_visible(selector));
        EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(selector)), e.title);
        EXPECT_STREQ(gtk_widget_get_name(selector), e.name);
        EXPECT_EQ(g_object_get_data(G_OBJECT(selector), e.name), selector);
        EXPECT_EQ(g_object_get_data(G_OBJECT(selector), e.ok), GTK_FILE_SELECTION(selector)->ok_button);
        EXPECT_EQ(g_object_get_data(G_OBJECT(selector), e.cancel), GTK_FILE_SELECTION(selector)->cancel_button);
        EXPECT_TRUE(gtk_window_get_modal(GTK_WINDOW(selector)));
        EXPECT_EQ(gtk_container_get_border_width(GTK_CONTAINER(selector)), 10u);
        EXPECT_EQ(selected(selector), scratch("start.kor"));
        gtk_widget_destroy(selector);
    }
}

TEST_F(Dialogs, LoadTakesEveryFieldButTheThreeKeptAndUpdatesTheWindow)
{
    const std::string path = write_preset("good.kor");
    open_window();
    gui_update();
    gtk_button_clicked(GTK_BUTTON(btnLoad));
    GtkWidget *selector = nullptr;
    GList *toplevels = gtk_window_list_toplevels();
    for (GList *w = toplevels; w; w = w->next)
        if (gtk_window_get_title(GTK_WINDOW(w->data)) && std::strcmp(gtk_window_get_title(GTK_WINDOW(w->data)), "Load Korva Preset") == 0)
            selector = GTK_WIDGET(w->data);
    g_list_free(toplevels);
    ASSERT_NE(selector, nullptr);
    EXPECT_TRUE(gtk_widget_get_visible(selector));
    Watched watch(selector);

    choose(selector, path);

    EXPECT_FALSE(watch.alive());
    const KorvaParams p = params();
    EXPECT_EQ(p.superbass, 123);
    EXPECT_EQ(p.chain_index, 3);
    EXPECT_EQ(p.bw_fq, 2000);
    EXPECT_EQ(p.bw_mode, 2);
    EXPECT_EQ(p.preamp, 200);
    EXPECT_EQ(p.enable_global, 1);
    EXPECT_EQ(p.spc_swapstereo, 0);
    EXPECT_EQ(p.spc_phaseinvert, 0);
    EXPECT_EQ(slider_value(slSuperBass), 123);
    EXPECT_EQ(slider_value(slPreamp), 184);
    EXPECT_EQ(option_menu_index(chChainer), 3);
    EXPECT_TRUE(active(rbDeepRelax));
    EXPECT_EQ(std::string(last_preset_file), path);

    // The next selector opens at the loaded file.
    GtkWidget *next = create_fileSave();
    EXPECT_EQ(selected(next), path);
}

TEST_F(Dialogs, NotAPresetIsShownInTheNameFieldAndChangesNothing)
{
    const std::string path = scratch("junk.kor");
    std::ofstream(path) << "KORVA550 this is not a preset at all, but long enough to be one...........";
    korva_set_last_preset_file("/previous.kor");
    open_window();
    gui_update();
    const KorvaParams before = params();
    GtkWidget *selector = create_fileLoad();
    Watched watch(selector);
    for (const std::string &name : {path, scratch("missing.kor")}) {
        choose(selector, name);
        ASSERT_TRUE(watch.alive());
        EXPECT_EQ(entry_text(selector), "NOT A PRESET FILE");
    }
    EXPECT_EQ(std::memcmp(&before, &korva->params, sizeof before), 0);
    EXPECT_STREQ(last_preset_file, "/previous.kor");
}

TEST_F(Dialogs, SaveWritesAPresetAndRemembersIt)
{
    open_window();
    gui_update();
    move_slider(slCenter, 42);
    GtkWidget *selector = create_fileSave();
    Watched watch(selector);
    const std::string path = scratch("saved.kor");
    choose(selector, path);
    EXPECT_FALSE(watch.alive());
    EXPECT_EQ(std::filesystem::file_size(path), 110u);
    EXPECT_EQ(std::string(last_preset_file), path);

    KorvaEngine *check = korva_new();
    ASSERT_EQ(korva_load(check, path.c_str()), 1);
    EXPECT_EQ(check->params.extfx_center, 42);
    korva_delete(check);
}

TEST_F(Dialogs, SaveIntoAMissingDirectoryFailsVisibly)
{
    korva_set_last_preset_file("/previous.kor");
    GtkWidget *selector = create_fileSave();
    Watched watch(selector);
    const std::string path = scratch("no/such/dir/x.kor");
    choose(selector, path);
    ASSERT_TRUE(watch.alive());
    EXPECT_EQ(entry_text(selector), "SAVE FAILED (POSSIBLY NO ACCESS TO DIRECTORY?)");
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_STREQ(last_preset_file, "/previous.kor");
}

TEST_F(Dialogs, OkOnADirectoryEntersIt)
{
    const std::string spaced = scratch("my presets");
    std::filesystem::create_directory(spaced);
    std::ofstream(spaced + "/inside.kor") << "x";
    const KorvaParams before = params();
    for (GtkWidget *(*create)() : {create_fileLoad, create_fileSave}) {
        for (const std::string &typed : {spaced, spaced + "   ", spaced + "/"}) {
            GtkWidget *selector = create();
            Watched watch(selector);
            choose(selector, typed);
            ASSERT_TRUE(watch.alive()) << typed;
            // Now in that directory, with an empty name and its files listed.
            EXPECT_EQ(selected(selector), spaced) << typed;
            EXPECT_EQ(entry_text(selector), "") << typed;
            EXPECT_TRUE(lists(selector, "inside.kor")) << typed;
            gtk_widget_destroy(selector);
        }
    }
    EXPECT_EQ(std::memcmp(&before, &korva->params, sizeof before), 0);
    EXPECT_STREQ(last_preset_file, "~/");
}

TEST_F(Dialogs, LongPathsAreRememberedUpTo1023Characters)
{
    std::filesystem::path deep = dir.path;
    while (deep.string().size() < 1500)
        deep /= std::string(200, 'd');
    std::filesystem::create_directories(deep);
    const std::string path = (deep / "p.kor").string();
    ASSERT_GT(path.size(), 1500u);

    GtkWidget *selector = create_fileSave();
    choose(selector, path);
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(std::strlen(last_preset_file), 1023u);
    EXPECT_EQ(std::string(last_preset_file), path.substr(0, 1023));
}

TEST_F(Dialogs, LoadAfterTheWindowWentAwayLeavesTheOldControlsAlone)
{
    const std::string path = write_preset("late.kor");
    open_window();
    gui_update();
    GtkWidget *selector = create_fileLoad();
    gtk_widget_show(selector);
    Watched watch(selector);
    close_window();
    ASSERT_EQ(window1, nullptr);

    choose(selector, path);
    EXPECT_FALSE(watch.alive());
    EXPECT_EQ(params().superbass, 123);
    EXPECT_EQ(std::string(last_preset_file), path);
}

TEST_F(Dialogs, CancelOnlyClosesTheSelector)
{
    const KorvaParams before = params();
    GtkWidget *selector = create_fileLoad();
    Watched watch(selector);
    type_name(selector, write_preset("unused.kor"));
    gtk_button_clicked(GTK_BUTTON(GTK_FILE_SELECTION(selector)->cancel_button));
    pump();
    EXPECT_FALSE(watch.alive());
    EXPECT_EQ(std::memcmp(&before, &korva->params, sizeof before), 0);
    EXPECT_STREQ(last_preset_file, "~/");
}

TEST_F(Dialogs, WithoutAnEngineLoadAndSaveReportFailure)
{
    KorvaEngine *engine = korva;
    korva = nullptr;
    GtkWidget *load = create_fileLoad();
    choose(load, scratch("any.kor"));
    EXPECT_EQ(entry_text(load), "NOT A PRESET FILE");
    GtkWidget *save = create_fileSave();
    choose(save, scratch("any.kor"));
    EXPECT_EQ(entry_text(save), "SAVE FAILED (POSSIBLY NO ACCESS TO DIRECTORY?)");
    EXPECT_FALSE(std::filesystem::exists(scratch("any.kor")));
    korva = engine;
    // Button callbacks given something that is not a selector do nothing.
    on_file_Load(nullptr, nullptr);
    on_file_Save(nullptr, nullptr);
    on_file_Cancel(nullptr, nullptr);
    EXPECT_EQ(file_enter_directory(nullptr), 0);
}

int visible_windows_titled(const char *title)
{
    int count = 0;
    GList *toplevels = gtk_window_list_toplevels();
    for (GList *w = toplevels; w; w = w->next) {
        const gchar *t = gtk_window_get_title(GTK_WINDOW(w->data));
        if (t && std::strcmp(t, title) == 0 && gtk_widget_get_visible(GTK_WIDGET(w->data)))
            ++count;
    }
    g_list_free(toplevels);
    return count;
}

TEST_F(Dialogs, AboutTwiceLeavesOneWindowAndCloseClearsIt)
{
    do_about();
    pump();
    ASSERT_NE(msg_box_window, nullptr);
    Watched first(msg_box_window);
    do_about();
    pump();
    EXPECT_FALSE(first.alive());
    EXPECT_EQ(visible_windows_titled("About Korva"), 1);

    open_window(false);
    gtk_button_clicked(GTK_BUTTON(btnHelp));
    pump();
    EXPECT_EQ(visible_windows_titled("About Korva"), 1);

    // Its only button is "Close", and it closes the window.
    GtkWidget *close = nullptr;
    std::vector<GtkWidget *> todo{msg_box_window};
    std::vector<GtkWidget *> labels;
    while (!todo.empty()) {
        GtkWidget *w = todo.back();
        todo.pop_back();
        if (GTK_IS_BUTTON(w))
            close = w;
        if (GTK_IS_LABEL(w))
            labels.push_back(w);
        if (GTK_IS_CONTAINER(w)) {
            GList *children = gtk_container_get_children(GTK_CONTAINER(w));
            for (GList *c = children; c; c = c->next)
                todo.push_back(GTK_WIDGET(c->data));
            g_list_free(children);
        }
    }
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(label_text(close), "Close");
    bool text_shown = false;
    for (GtkWidget *l : labels)
        text_shown |= label_text(l) == "Korva for XMMS version 5.5.1";
    EXPECT_TRUE(text_shown);
    gtk_button_clicked(GTK_BUTTON(close));
    pump();
    EXPECT_EQ(msg_box_window, nullptr);
    EXPECT_EQ(visible_windows_titled("About Korva"), 0);
}

}  // namespace
