// korva preset export-lv2: presets gather in one LV2 bundle, values outside
// the ports' ranges are clamped with a warning, failures change nothing.
#include "cli_harness.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

bool contains(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

TEST(CliExportLv2, PresetsGatherInOneBundleAndOutOfRangeValuesAreClampedWithAWarning)
{
    ScratchDir dir;
    const std::string bundle = dir.file("mine.lv2");
    ASSERT_EQ(run_korva({"preset", "save", dir.file("club.kp"), "--set", "superbass=300", "--set",
                         "enable_extfx=300", "--set", "vs_overdrive=200"})
                  .exit_code,
              0);

    const RunResult first = run_korva({"preset", "export-lv2", dir.file("club.kp"), bundle});
    ASSERT_EQ(first.exit_code, 0) << first.err;
    EXPECT_TRUE(contains(first.err, "superbass=300")) << first.err;
    EXPECT_TRUE(contains(first.err, "enable_extfx=44")) << first.err;   // 300 in an 8-bit flag
    EXPECT_FALSE(contains(first.err, "vs_overdrive")) << first.err;
    const std::string club = read_file(bundle + "/club.ttl");
    EXPECT_TRUE(contains(club, "<urn:korva:preset:club>")) << club;
    EXPECT_TRUE(contains(club, "lv2:symbol \"superbass\" ;\n        pset:value 256.0")) << club;
    EXPECT_TRUE(contains(club, "lv2:symbol \"enable_extfx\" ;\n        pset:value 1.0")) << club;
    EXPECT_TRUE(contains(club, "lv2:symbol \"vs_overdrive\" ;\n        pset:value 200.0")) << club;

    // A second name joins the bundle; the name becomes a URI and a file name.
    const RunResult second = run_korva({"preset", "export-lv2", dir.file("club.kp"), "--name", "Warm \"bass\"/2", bundle});
    ASSERT_EQ(second.exit_code, 0) << second.err;
    const std::string manifest = read_file(bundle + "/manifest.ttl");
    EXPECT_TRUE(contains(manifest, "<urn:korva:preset:club>")) << manifest;
    EXPECT_TRUE(contains(manifest, "<urn:korva:preset:Warm%20%22bass%22%2F2>")) << manifest;
    EXPECT_TRUE(contains(read_file(bundle + "/Warm+20+22bass+22+2F2.ttl"), "rdfs:label \"Warm \\\"bass\\\"/2\""));

    // The same name again replaces its file and leaves the manifest as it was.
    ASSERT_EQ(run_korva({"preset", "save", dir.file("club.kp"), "--set", "superbass=10"}).exit_code, 0);
    ASSERT_EQ(run_korva({"preset", "export-lv2", dir.file("club.kp"), bundle}).exit_code, 0);
    EXPECT_EQ(read_file(bundle + "/manifest.ttl"), manifest);
    EXPECT_TRUE(contains(read_file(bundle + "/club.ttl"), "lv2:symbol \"superbass\" ;\n        pset:value 10.0"));
    EXPECT_EQ(list_directory(bundle), (std::vector<std::string>{"Warm+20+22bass+22+2F2.ttl", "club.ttl", "manifest.ttl"}));
}

TEST(CliExportLv2, TheDefaultBundleIsUnderHomeAndFailuresLeaveNothingBehind)
{
    ScratchDir dir;
    ASSERT_EQ(run_korva({"preset", "save", dir.file("p.kp")}).exit_code, 0);
    write_file(dir.file("not-a-preset.kp"), "hello");
    write_file(dir.file("file"), "x");
    const char *home = std::getenv("HOME");
    const std::string saved_home = home != nullptr ? home : "";

    setenv("HOME", dir.path.c_str(), 1);
    const RunResult to_home = run_korva({"preset", "export-lv2", dir.file("p.kp")});
    const RunResult bad = run_korva({"preset", "export-lv2", dir.file("not-a-preset.kp"), dir.file("b.lv2")});
    const RunResult onto_file = run_korva({"preset", "export-lv2", dir.file("p.kp"), dir.file("file")});
    unsetenv("HOME");
    const RunResult no_home = run_korva({"preset", "export-lv2", dir.file("p.kp")});
    if (home != nullptr)
        setenv("HOME", saved_home.c_str(), 1);

    EXPECT_EQ(to_home.exit_code, 0) << to_home.err;
    EXPECT_TRUE(contains(read_file(dir.file(".lv2/korva-presets.lv2/manifest.ttl")), "<urn:korva:preset:p>"));
    EXPECT_NE(bad.exit_code, 0);
    EXPECT_TRUE(contains(bad.err, "not-a-preset.kp")) << bad.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("b.lv2")));
    EXPECT_NE(onto_file.exit_code, 0);
    EXPECT_EQ(read_file(dir.file("file")), "x");
    EXPECT_NE(no_home.exit_code, 0);
    EXPECT_TRUE(contains(no_home.err, "HOME")) << no_home.err;
}

}  // namespace
