// The plug-in's keys in the player's configuration file.
#include "settings/korva_settings.h"

#include "engine/param_fields.h"
#include "xmms_plugin/korva_plugin.h"
#include "libxmms/xmms_configfile.h"
#include "tests/support/scratch.h"

#include <cstring>

#include <sys/stat.h>

namespace {

KorvaParams defaults()
{
    KorvaParams p;
    std::memset(&p, 0, sizeof p);
    korva_default_params(&p);
    return p;
}

bool same_block(const KorvaParams &a, const KorvaParams &b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The keys of section "xmkorva-5" in file order.
std::vector<std::string> keys_in_section(const std::string &text)
{
    std::vector<std::string> keys;
    std::istringstream lines(text);
    bool inside = false;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line[0] == '[')
            inside = line == "[xmkorva-5]";
        else if (inside && line.find('=') != std::string::npos)
            keys.push_back(line.substr(0, line.find('=')));
    }
    return keys;
}

class SettingsTest : public ::testing::Test {
protected:
    korva_test::ScratchDir dir;
    std::string config = dir.file("config");

    void SetUp() override
    {
        xmms_cfg_set_default_filename(config.c_str());
        korva = korva_new();
        ASSERT_NE(korva, nullptr);
        korva_set_last_preset_file("~/");
    }
    void TearDown() override
    {
        korva_delete(korva);
        korva = nullptr;
        xmms_cfg_set_default_filename(nullptr);
    }
    KorvaParams retrieved_from(const std::string &text)
    {
        korva_test::write_file(config, text);
        EXPECT_EQ(cfg_retrieve(), 1);
        return korva->params;
    }
};

TEST_F(SettingsTest, WithoutTheSectionEverythingKeepsItsDefault)
{
    EXPECT_EQ(cfg_retrieve(), 1) << "a missing file reads as empty";
    EXPECT_TRUE(same_block(korva->params, defaults()));
    EXPECT_TRUE(same_block(retrieved_from("[xmms]\nvolume=3\n[other]\nxmkorva_preamp=5\n"), defaults()));
    EXPECT_STREQ(last_preset_file, "~/");
}

TEST_F(SettingsTest, OnlyThePresentKeysChange)
{
    KorvaParams expected = defaults();
    expected.bw_fq = 7000;
    EXPECT_TRUE(same_block(retrieved_from("[xmkorva-5]\nxmkorva_bw_fq=7000\n"), expected));
    // A value that is not an integer counts as absent.
    EXPECT_TRUE(same_block(retrieved_from("[xmkorva-5]\nxmkorva_preamp=loud\nxmkorva_dewoofer=99999999999\n"),
                           expected));
}

TEST_F(SettingsTest, ValuesAreTruncatedToTheFieldWidth)
{
    const struct { const char *key; const char *stored; int32_t expected; } cases[] = {
        {"enable_extfx", "256", 0},          {"enable_extfx", "300", 44},
        {"extspace_mode", "65538", 2},       {"chain_index", "-1", -1},
        {"enable_global", "-129", 127},      {"preamp", "-2147483648", INT32_MIN},
        {"_3dsurround_mode", "32768", -32768}, {"bw_sigpreamp", "512", 512},
    };
    for (const auto &c : cases) {
        retrieved_from("[xmkorva-5]\nxmkorva_" + std::string(c.key) + "=" + c.stored + "\n");
        EXPECT_EQ(korva_param_get(&korva->params, korva_param_field_find(c.key)), c.expected)
            << c.key << "=" << c.stored;
    }
}

TEST_F(SettingsTest, LastPresetPathIsCutTo1023Characters)
{
    const std::string long_path = "/" + std::string(1499, 'p');
    retrieved_from("[xmkorva-5]\nxmkorva_last_preset_file=" + long_path + "\n");
    EXPECT_EQ(std::string(last_preset_file), long_path.substr(0, 1023));

    korva_set_last_preset_file(long_path.c_str());
    EXPECT_EQ(std::strlen(last_preset_file), 1023u);
    korva_set_last_preset_file(nullptr);
    EXPECT_EQ(std::strlen(last_preset_file), 1023u);
    korva_set_last_preset_file(last_preset_file + 1000);  // overlapping source
    EXPECT_EQ(std::string(last_preset_file), long_path.substr(1000, 23));
}

TEST_F(SettingsTest, StoreWritesAll33KeysInOrderAndSignExtends)
{
    korva->params.extspace_mode = -1;
    korva->params.enable_bw = -2;
    korva_set_last_preset_file("/music/presets/warm.kor");
    ASSERT_EQ(cfg_store(), 1);
    const std::string text = korva_test::read_file(config);

    // Written out here, not taken from the table the store walks: a key
    // renamed, dropped or moved in that table must show up as a difference.
    const std::vector<std::string> expected = {
        "xmkorva_enable_global",     "xmkorva_chain_index",       "xmkorva_preamp",
        "xmkorva_superbass",         "xmkorva_dewoofer",          "xmkorva_fidelity",
        "xmkorva_enable_3dsurround", "xmkorva_enable_extspace",   "xmkorva_enable_extfx",
        "xmkorva_enable_vs",         "xmkorva_enable_bw",         "xmkorva__3dsurround_mode",
        "xmkorva__3dsurround_depth", "xmkorva__3dsurround_bass",  "xmkorva_extspace_mode",
        "xmkorva_extfx_mode",        "xmkorva_extfx_space",       "xmkorva_extfx_center",
        "xmkorva_vs_mode",           "xmkorva_vs_overdrive",      "xmkorva_vs_intensity",
        "xmkorva_spc_swapstereo",    "xmkorva_spc_phaseinvert",   "xmkorva_spc_mode",
        "xmkorva_spc_debass",        "xmkorva_spc_detube",        "xmkorva_spc_mid",
        "xmkorva_spc_high",          "xmkorva_bw_mode",           "xmkorva_bw_fq",
        "xmkorva_bw_value",          "xmkorva_bw_sigpreamp",      "xmkorva_last_preset_file",
    };
    ASSERT_EQ(expected.size(), 33u);
    EXPECT_EQ(keys_in_section(text), expected);
    EXPECT_NE(text.find("\nxmkorva__3dsurround_mode=1\n"), std::string::npos);
    EXPECT_NE(text.find("\nxmkorva_extspace_mode=-1\n"), std::string::npos);
    EXPECT_NE(text.find("\nxmkorva_enable_bw=-2\n"), std::string::npos);
    EXPECT_NE(text.find("\nxmkorva_last_preset_file=/music/presets/warm.kor\n"), std::string::npos);

    // A second store changes nothing; a fresh engine reads back every field.
    ASSERT_EQ(cfg_store(), 1);
    EXPECT_EQ(korva_test::read_file(config), text);
    const KorvaParams stored = korva->params;
    korva_reset(korva);
    korva_set_last_preset_file("~/");
    ASSERT_EQ(cfg_retrieve(), 1);
    EXPECT_TRUE(same_block(korva->params, stored));
    EXPECT_STREQ(last_preset_file, "/music/presets/warm.kor");
}

TEST_F(SettingsTest, StoreKeepsEveryOtherLineByteForByte)
{
    const std::string head = "[xmms]\nvolume=80\r\nnot a key line\n\n[xmkorva-5]\nxmkorva_preamp=1\nxmkorva_unknown=x\n";
    const std::string tail = "# kept\n[equalizer]\nband0=1.5\n=\n[broken\ntrailing without newline";
    korva_test::write_file(config, head + tail);
    ASSERT_EQ(cfg_retrieve(), 1);
    EXPECT_EQ(korva->params.preamp, 1);
    ASSERT_EQ(cfg_store(), 1);
    const std::string text = korva_test::read_file(config);

    const std::size_t tail_at = text.find(tail);
    ASSERT_NE(tail_at, std::string::npos);
    EXPECT_EQ(text.substr(tail_at), tail) << "the rest of the file is untouched";
    const std::string section = text.substr(0, tail_at);
    EXPECT_EQ(section.substr(0, head.size()), head) << "existing keys keep their place";
    EXPECT_EQ(keys_in_section(text).size(), 34u) << "33 keys plus the unknown one";
}

TEST_F(SettingsTest, NoEngineOrNoConfigurationDoesNothing)
{
    KorvaEngine *engine = korva;
    korva = nullptr;
    EXPECT_EQ(cfg_retrieve(), 0);
    EXPECT_EQ(cfg_store(), 0);
    EXPECT_FALSE(std::filesystem::exists(config));
    korva = engine;

    ::mkdir(config.c_str(), 0755);  // a configuration that cannot be read
    korva->params.preamp = 7;
    EXPECT_EQ(cfg_retrieve(), 0);
    EXPECT_EQ(cfg_store(), 0);
    EXPECT_EQ(korva->params.preamp, 7);

    KorvaParams p = defaults();
    EXPECT_EQ(korva_settings_read(nullptr, &p, nullptr), 0);
    korva_settings_write(nullptr, &p, "x");
    ConfigFile *cfg = xmms_cfg_new();
    EXPECT_EQ(korva_settings_read(cfg, nullptr, nullptr), 0);
    korva_settings_write(cfg, nullptr, "x");
    korva_settings_write(cfg, &p, nullptr);
    EXPECT_EQ(korva_settings_read(cfg, &p, nullptr), 32) << "no path key was written";
    xmms_cfg_free(cfg);
}

TEST(SettingsFullDisk, AnInterruptedStoreLeavesTheOldFile)
{
    korva_test::TinyFs fs;
    KORVA_REQUIRE_TINYFS(fs);
    const std::string config = fs.file("config");
    const std::string before = "[xmms]\nvolume=80\n";
    korva_test::write_file(config, before);
    ASSERT_TRUE(fs.fill());

    xmms_cfg_set_default_filename(config.c_str());
    korva = korva_new();
    EXPECT_EQ(cfg_store(), 0);
    korva_delete(korva);
    korva = nullptr;
    xmms_cfg_set_default_filename(nullptr);
    EXPECT_EQ(korva_test::read_file(config), before);
    EXPECT_EQ(fs.dir.entries(), (std::vector<std::string>{"config", "filler"}));
}

}  // namespace
