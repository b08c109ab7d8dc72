// The saved controls in the sink's fragment: a hand-edited file keeps every
// byte outside the changed values, an unreadable one is named with its line
// and left alone, writers wait for each other's lock, and a drag is saved a
// few times a second with its last value.
#include "sinkfiles/sink_fragment_saver.h"
#include "sinkfiles/sink_fragment_store.h"
#include "tests/cli/cli_harness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>

namespace {

int field(const char *name)
{
    return static_cast<int>(korva_param_field_find(name) - korva_param_fields);
}

// A fragment as a person may leave it: comments, odd spacing, values in
// quotes, a copy of the controls in a comment, another LADSPA node with a
// control list of its own and a control missing.
const std::string kEdited = R"(# my sink
context.modules = [
  { name = libpipewire-module-filter-chain
    args = {
      node.description = "Korva, mine"   # renamed
      filter.graph = {
        nodes = [
          { type = ladspa name = amp plugin = "/usr/lib/ladspa/amp.so" label = amp_stereo
            control = { "Gain" = 0.5 } }
          {
            type = ladspa, name: korva
            plugin = "/home/me/My \"Plug-ins\"/korva.so"
            label = korva
            control = {
              # "superbass" = 99
              "superbass"=10,   "preamp" : "128"
              dewoofer = 64	# tab before this comment
              "fidelity" = 64 }
          }
        ]
        links = [ { output = "amp:Out" input = "korva:In L" } ]
      }
    }
  }
]
)";

std::string rewrite(const std::string &text, const std::vector<KorvaSinkChange> &changes, KorvaFragmentError &error)
{
    std::size_t size = 0;
    char *out = korva_fragment_rewrite(text.data(), text.size(), changes.data(), static_cast<int>(changes.size()),
                                       &size, &error);
    if (out == nullptr)
        return "(refused)";
    std::string result(out, size);
    std::free(out);
    return result;
}

} // namespace

TEST(SinkFragmentStore, OnlyTheKorvaNodesValuesChange)
{
    KorvaFragmentContents contents{};
    KorvaFragmentError error{};
    ASSERT_TRUE(korva_fragment_parse(kEdited.data(), kEdited.size(), &contents, &error)) << error.message;
    EXPECT_STREQ(contents.plugin, "/home/me/My \"Plug-ins\"/korva.so");
    EXPECT_EQ(contents.controls.value[field("superbass")], 10);
    EXPECT_EQ(contents.controls.value[field("preamp")], 128);
    EXPECT_FALSE(contents.controls.present[field("enable_vs")]);

    // superbass twice (the last one counts), preamp in quotes, a field the
    // file lacks added before the closing brace.
    const std::string changed =
        rewrite(kEdited, {{field("superbass"), 1}, {field("preamp"), 300}, {field("superbass"), 200},
                          {field("enable_vs"), 1}}, error);
    std::string expected = kEdited;
    expected.replace(expected.find("\"superbass\"=10"), 14, "\"superbass\"=200");
    expected.replace(expected.find("\"128\""), 5, "300");
    expected.replace(expected.find("\"fidelity\" = 64 }"), 17, "\"fidelity\" = 64 \n  \"enable_vs\" = 1\n}");
    EXPECT_EQ(changed, expected);

    // A control list whose brace has a line of its own gets the new line
    // indented like the others; a control set twice in the file changes in
    // both places (PipeWire takes the last).
    const std::string own_line =
        "nodes = [ { label = korva control = {\n    preamp = 1\n    \"preamp\" = 4\n  }\n} ]\n";
    EXPECT_EQ(rewrite(own_line, {{field("vs_mode"), 2}, {field("preamp"), 9}, {field("vs_mode"), 3}}, error),
              "nodes = [ { label = korva control = {\n"
              "    preamp = 9\n    \"preamp\" = 9\n    \"vs_mode\" = 3\n  }\n} ]\n");
}

TEST(SinkFragmentStore, AnUnreadableFragmentIsNamedWithItsLine)
{
    const std::vector<std::pair<std::string, std::pair<int, std::string>>> broken = {
        {"a = {\n b = [ 1 2 }\n", {2, "'}' closes nothing"}},
        {"a = {\n  label = korva\n  control = { \"preamp\" = loud }\n}\n", {3, "preamp has the value loud"}},
        {"x = \"never closed\n\n", {1, "quoted string is not closed"}},
        {"a = {\n\n  b = 1\n", {1, "'{' opened here is not closed"}},
        {"a = { label = amp control = { } }\n", {0, "no filter-graph node with label korva"}},
        {"a = " + std::string(100, '[') + std::string(100, ']'), {1, "nest more than"}},
    };
    for (const auto &[text, fault] : broken) {
        KorvaFragmentError error{};
        KorvaFragmentContents contents{};
        EXPECT_FALSE(korva_fragment_parse(text.data(), text.size(), &contents, &error)) << text;
        EXPECT_EQ(error.line, fault.first) << text;
        EXPECT_NE(std::string(error.message).find(fault.second), std::string::npos) << error.message;
        EXPECT_EQ(rewrite(text, {{field("preamp"), 1}}, error), "(refused)");
    }

    // Through the file: the message starts with path and line, and the file
    // stays as it was.
    ScratchDir dir;
    const std::string path = dir.file("korva-sink.conf");
    const std::string text = "a = {\n  label = korva\n  control = { \"preamp\" = [ 1 ] }\n}\n";
    write_file(path, text);
    KorvaSinkChange change{field("preamp"), 2};
    KorvaFragmentError error{};
    EXPECT_FALSE(korva_fragment_save(path.c_str(), &change, 1, &error));
    EXPECT_EQ(std::string(error.message).rfind(path + ":3: the control preamp", 0), 0u) << error.message;
    EXPECT_EQ(read_file(path), text);
}

// Hostile bytes: each shape is refused with its line, at once and in little
// memory (a NUL byte once made the reader loop, growing without limit), and
// a file of many settings of one control is changed in one pass.
TEST(SinkFragmentStore, AnyBytesAreRefusedWithALineAndChangedInLinearTime)
{
    const std::string valid = "a = [ { label = korva control = { preamp = 1 } } ]\n";
    std::string nested = "a = ";
    for (int i = 0; i < 100000; ++i)
        nested += "[ { k = ";
    const std::vector<std::pair<std::string, std::pair<int, std::string>>> hostile = {
        {valid + std::string(1, '\0'), {2, "a NUL byte"}},
        {"a = [ { label = korva control = { pre" + std::string(1, '\0') + "amp = 1 } } ]\n", {1, "a NUL byte"}},
        {valid + "\n\xff\xff\xff\xff", {3, "the key \xff\xff\xff\xff has no value"}},
        {valid + "b = \x01\n", {2, "control character (byte 0x01)"}},
        {valid + "b = \"never \x1b closed", {2, "control character (byte 0x1b) in a quoted string"}},
        {valid + "b = \"never closed\n\n", {2, "quoted string is not closed"}},
        {nested, {1, "nest more than 64 deep"}},
        {std::string(2 << 20, '#'), {0, "is larger than 1 MiB"}},
    };
    for (const auto &[text, fault] : hostile) {
        KorvaFragmentError error{};
        KorvaFragmentContents contents{};
        EXPECT_FALSE(korva_fragment_parse(text.data(), text.size(), &contents, &error)) << text.substr(0, 60);
        EXPECT_EQ(error.line, fault.first) << error.message;
        EXPECT_NE(std::string(error.message).find(fault.second), std::string::npos) << error.message;
        EXPECT_EQ(rewrite(text, {{field("preamp"), 1}}, error), "(refused)");
    }

    // 60,000 settings of preamp, each changed where it stands.
    std::string many = "a = [ { label = korva control = {\n";
    for (int i = 0; i < 60000; ++i)
        many += "  preamp = 1\n";
    many += "} } ]\n";
    KorvaFragmentError error{};
    const auto start = std::chrono::steady_clock::now();
    const std::string changed = rewrite(many, {{field("preamp"), 7}}, error);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 1.0);
    std::string expected = many;
    for (std::size_t at = 0; (at = expected.find("preamp = 1", at)) != std::string::npos;)
        expected[at + 9] = '7';
    EXPECT_EQ(changed, expected);
}

TEST(SinkFragmentStore, AWriterWaitsForTheLockAndBothChangesLand)
{
    ScratchDir dir;
    const std::string path = dir.file("korva-sink.conf");
    write_file(path, "a = { label = korva control = { \"preamp\" = 1 \"superbass\" = 2 } }\n");
    KorvaFragmentError error{};
    const int held = korva_fragment_lock(path.c_str(), 1000, &error);
    ASSERT_GE(held, 0) << error.message;

    bool saved = false;
    std::thread writer([&] {
        KorvaFragmentError writer_error{};
        KorvaSinkChange change{field("preamp"), 5};
        saved = korva_fragment_save(path.c_str(), &change, 1, &writer_error);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(read_file(path), "a = { label = korva control = { \"preamp\" = 1 \"superbass\" = 2 } }\n")
        << "a writer went past the lock";
    // The lock holder's own change, then the waiting one's.
    KorvaSinkChange mine{field("superbass"), 7};
    std::size_t size = 0;
    const std::string before = read_file(path);
    char *text = korva_fragment_rewrite(before.data(), before.size(), &mine, 1, &size, &error);
    ASSERT_NE(text, nullptr);
    write_file(path, std::string(text, size));
    std::free(text);
    korva_fragment_unlock(held);
    writer.join();
    EXPECT_TRUE(saved);
    EXPECT_EQ(read_file(path), "a = { label = korva control = { \"preamp\" = 5 \"superbass\" = 7 } }\n");

    // A lock held past the wait is a clear failure, and the file stays.
    const int again = korva_fragment_lock(path.c_str(), 1000, &error);
    KorvaSinkChange late{field("preamp"), 9};
    EXPECT_FALSE(korva_fragment_save(path.c_str(), &late, 1, &error));
    EXPECT_NE(std::string(error.message).find("another writer holds"), std::string::npos) << error.message;
    korva_fragment_unlock(again);
    EXPECT_EQ(read_file(path), "a = { label = korva control = { \"preamp\" = 5 \"superbass\" = 7 } }\n");
}

TEST(SinkFragmentStore, ADragIsSavedAtMostOncePerIntervalAndItsLastValueLands)
{
    ScratchDir dir;
    const std::string path = dir.file("korva-sink.conf");
    write_file(path, "a = { label = korva control = { \"preamp\" = 1 } }\n");
    auto saved = [&] {
        KorvaFragmentContents contents{};
        KorvaFragmentError error{};
        return korva_fragment_read(path.c_str(), &contents, &error) ? contents.controls.value[field("preamp")] : -1.0;
    };
    std::unique_ptr<KorvaFragmentSaver, void (*)(KorvaFragmentSaver *)> saver(
        korva_fragment_saver_new(path.c_str(), 1000), korva_fragment_saver_free);
    KorvaFragmentError error{};
    // The first step is written at once, the rest of the drag held back.
    for (int step = 2; step <= 21; ++step) {
        const KorvaSinkChange change{field("preamp"), static_cast<float>(step)};
        ASSERT_TRUE(korva_fragment_saver_change(saver.get(), &change, 1, &error)) << error.message;
    }
    EXPECT_TRUE(korva_fragment_saver_poll(saver.get(), &error));
    EXPECT_EQ(saved(), 2.0);
    EXPECT_TRUE(korva_fragment_saver_pending(saver.get()));
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    EXPECT_TRUE(korva_fragment_saver_poll(saver.get(), &error));
    EXPECT_EQ(saved(), 21.0);
    EXPECT_FALSE(korva_fragment_saver_pending(saver.get()));

    // A held-back change is written by a flush; one whose write failed
    // stays held for the next.
    const KorvaSinkChange last{field("preamp"), 22};
    ASSERT_TRUE(korva_fragment_saver_change(saver.get(), &last, 1, &error));
    const std::string text = read_file(path);
    std::filesystem::remove(path);
    EXPECT_FALSE(korva_fragment_saver_flush(saver.get(), &error));
    EXPECT_TRUE(korva_fragment_saver_pending(saver.get()));
    write_file(path, text);
    EXPECT_TRUE(korva_fragment_saver_flush(saver.get(), &error)) << error.message;
    EXPECT_EQ(saved(), 22.0);
}

namespace {

std::string migrate(const std::string &text, bool &changed, KorvaFragmentError &error)
{
    std::size_t size = 0;
    char *out = korva_fragment_migrate(text.data(), text.size(), &size, &changed, &error);
    if (out == nullptr)
        return "(refused)";
    std::string migrated(out, size);
    std::free(out);
    return migrated;
}

// An earlier install's fragment (one node, label korva) laid out as install
// wrote it, on one line, and with a comment and a renamed sink by hand.
const std::string kEarlier = R"(# kept comment
context.modules = [
  { name = libpipewire-module-filter-chain
    args = {
      node.description = "Korva, mine"
      filter.graph = {
        nodes = [
          {
            type = ladspa
            name = korva
            plugin = "/opt/My \"Plug-ins\"/korva.so"
            label = korva
            control = {
              "superbass" = 160   # hand comment
              "preamp" = 200
            }
          }
        ]
      }
      audio.channels = 2
    }
  }
]
)";
const std::string kOneLine =
    "context.modules = [ { name = libpipewire-module-filter-chain args = { filter.graph = { nodes = [ { type = ladspa "
    "name = korva plugin = \"/k.so\" label = korva control = { \"superbass\" = 7 } } ] } } } ]\n";

} // namespace

TEST(SinkFragmentStore, MigrationAddsTheCompareNodeKeepingValuesAndEditsOnce)
{
    for (const std::string &earlier : {kEarlier, kOneLine}) {
        bool changed = false;
        KorvaFragmentError error{};
        const std::string migrated = migrate(earlier, changed, error);
        ASSERT_TRUE(changed) << error.message;
        // Every byte of the old text is still there, in order: only insertions.
        std::size_t at = 0;
        for (const char c : earlier) {
            at = migrated.find(c, at);
            ASSERT_NE(at, std::string::npos) << migrated;
            ++at;
        }
        for (const char *part : {"label = copy", "label = korva_compare", "\"korva:Left out\" input = \"compare:Korva L\"",
                                 "inputs = [ \"input_l:In\" \"input_r:In\" ]", "outputs = [ \"compare:Out L\" \"compare:Out R\" ]"})
            EXPECT_NE(migrated.find(part), std::string::npos) << part << "\n" << migrated;
        // The compare node names the Korva node's plug-in, as written.
        const std::string plugin = earlier == kEarlier ? "plugin = \"/opt/My \\\"Plug-ins\\\"/korva.so\" label = korva_compare"
                                                       : "plugin = \"/k.so\" label = korva_compare";
        EXPECT_NE(migrated.find(plugin), std::string::npos) << migrated;
        KorvaFragmentContents before{}, after{};
        ASSERT_TRUE(korva_fragment_parse(earlier.data(), earlier.size(), &before, &error));
        ASSERT_TRUE(korva_fragment_parse(migrated.data(), migrated.size(), &after, &error)) << error.message;
        EXPECT_EQ(after.controls.value[field("superbass")], before.controls.value[field("superbass")]);
        EXPECT_STREQ(after.plugin, before.plugin);
        // Twice is once.
        const std::string again = migrate(migrated, changed, error);
        EXPECT_FALSE(changed);
        EXPECT_EQ(again, migrated);
    }

    // A graph wired by hand is its author's: refused, with the node's line.
    bool changed = true;
    KorvaFragmentError error{};
    EXPECT_EQ(migrate(kEdited, changed, error), "(refused)");
    EXPECT_NE(std::string(error.message).find("add the compare node by hand"), std::string::npos) << error.message;
    EXPECT_EQ(error.line, 10);   // the Korva node's opening brace
    // And the file is left as it was.
    korva_test::ScratchDir dir;
    const std::string path = dir.file("korva-sink.conf");
    korva_test::write_file(path, kEdited);
    EXPECT_FALSE(korva_fragment_migrate_file(path.c_str(), &changed, &error));
    EXPECT_EQ(korva_test::read_file(path), kEdited);
    korva_test::write_file(path, kEarlier);
    ASSERT_TRUE(korva_fragment_migrate_file(path.c_str(), &changed, &error)) << error.message;
    EXPECT_TRUE(changed);
    EXPECT_EQ(korva_test::read_file(path), migrate(kEarlier, changed, error));
}
