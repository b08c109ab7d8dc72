// The player's message window. Needs an X display (run under xvfb-run);
// without one the tests skip.
#include "libxmms/xmms_util.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Clicks {
    std::vector<std::string> events;
    GtkWidget *button = nullptr;
};

void on_action(GtkWidget *button, gpointer data)
{
    auto *clicks = static_cast<Clicks *>(data);
    clicks->events.push_back("action");
    clicks->button = button;
}

void on_destroy(GtkWidget *, gpointer data)
{
    static_cast<Clicks *>(data)->events.push_back("destroy");
}

// Every widget below `widget` of type `type`, depth first.
void collect(GtkWidget *widget, GType type, std::vector<GtkWidget *> &out)
{
    if (G_TYPE_CHECK_INSTANCE_TYPE(widget, type))
        out.push_back(widget);
    if (GTK_IS_CONTAINER(widget)) {
        GList *children = gtk_container_get_children(GTK_CONTAINER(widget));
        for (GList *c = children; c != nullptr; c = c->next)
            collect(GTK_WIDGET(c->data), type, out);
        g_list_free(children);
    }
}

class MessageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!gtk_init_check(nullptr, nullptr))
            GTEST_SKIP() << "no X display: run under xvfb-run to test the message window";
    }
};

TEST_F(MessageTest, ShowsTitleTextAndOneButton)
{
    GtkWidget *window = xmms_show_message("About Korva", "Korva for XMMS version 5.5.1", "Close", FALSE,
                                          nullptr, nullptr);
    ASSERT_TRUE(GTK_IS_WINDOW(window));
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)), "About Korva");
    EXPECT_FALSE(gtk_window_get_modal(GTK_WINDOW(window)));
    EXPECT_TRUE(GTK_WIDGET_VISIBLE(window));

    std::vector<GtkWidget *> buttons, labels;
    collect(window, GTK_TYPE_BUTTON, buttons);
    collect(window, GTK_TYPE_LABEL, labels);
    ASSERT_EQ(buttons.size(), 1u);
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(buttons[0])), "Close");
    bool text_shown = false;
    for (GtkWidget *label : labels)
        text_shown |= std::string(gtk_label_get_text(GTK_LABEL(label))) == "Korva for XMMS version 5.5.1";
    EXPECT_TRUE(text_shown);

    Clicks clicks;
    g_signal_connect(window, "destroy", G_CALLBACK(on_destroy), &clicks);
    gtk_button_clicked(GTK_BUTTON(buttons[0]));
    EXPECT_EQ(clicks.events, std::vector<std::string>{"destroy"}) << "the button closes the window";
}

TEST_F(MessageTest, ButtonActionRunsBeforeTheWindowCloses)
{
    Clicks clicks;
    GtkWidget *window =
        xmms_show_message("T", "x", "OK", TRUE, G_CALLBACK(on_action), &clicks);
    EXPECT_TRUE(gtk_window_get_modal(GTK_WINDOW(window)));
    g_signal_connect(window, "destroy", G_CALLBACK(on_destroy), &clicks);
    std::vector<GtkWidget *> buttons;
    collect(window, GTK_TYPE_BUTTON, buttons);
    ASSERT_EQ(buttons.size(), 1u);
    gtk_button_clicked(GTK_BUTTON(buttons[0]));
    EXPECT_EQ(clicks.events, (std::vector<std::string>{"action", "destroy"}));
    EXPECT_EQ(clicks.button, buttons[0]);

    // Null texts give an empty window, not a crash.
    window = xmms_show_message(nullptr, nullptr, nullptr, FALSE, nullptr, nullptr);
    ASSERT_TRUE(GTK_IS_WINDOW(window));
    gtk_widget_destroy(window);
}

}  // namespace
