// The player's configuration file: reading, editing in place, atomic saving.
#include "libxmms/xmms_configfile.h"
#include "tests/support/scratch.h"

#include <memory>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

namespace {

struct CfgDeleter {
    void operator()(ConfigFile *cfg) const { xmms_cfg_free(cfg); }
};
using Cfg = std::unique_ptr<ConfigFile, CfgDeleter>;

std::optional<std::string> get_string(ConfigFile *cfg, const char *section, const char *key)
{
    char *value = nullptr;
    if (!xmms_cfg_read_string(cfg, section, key, &value))
        return std::nullopt;
    std::string copy = value;
    std::free(value);
    return copy;
}

std::optional<int> get_int(ConfigFile *cfg, const char *section, const char *key)
{
    int value = 0x5a5a5a5a;
    if (!xmms_cfg_read_int(cfg, section, key, &value)) {
        EXPECT_EQ(value, 0x5a5a5a5a) << "an absent key must not touch the output";
        return std::nullopt;
    }
    return value;
}

class ConfigFileTest : public ::testing::Test {
protected:
    korva_test::ScratchDir dir;
    std::string config = dir.file("config");
    void SetUp() override { xmms_cfg_set_default_filename(config.c_str()); }
    void TearDown() override { xmms_cfg_set_default_filename(nullptr); }

    Cfg open_with(const std::string &text)
    {
        korva_test::write_file(config, text);
        return Cfg(xmms_cfg_open_default_file());
    }
    // Opens, applies `edit`, saves, and returns the saved bytes.
    template <class Edit> std::string edited(const std::string &text, Edit edit)
    {
        Cfg cfg = open_with(text);
        EXPECT_NE(cfg, nullptr);
        edit(cfg.get());
        EXPECT_EQ(xmms_cfg_write_default_file(cfg.get()), 1);
        return korva_test::read_file(config);
    }
};

TEST_F(ConfigFileTest, MissingFileIsAnEmptyConfiguration)
{
    Cfg cfg(xmms_cfg_open_default_file());
    ASSERT_NE(cfg, nullptr);
    EXPECT_EQ(get_int(cfg.get(), "s", "k"), std::nullopt);
    EXPECT_EQ(xmms_cfg_open_file(config.c_str()), nullptr) << "an explicit open needs the file";
    xmms_cfg_write_int(cfg.get(), "s", "k", 5);
    ASSERT_EQ(xmms_cfg_write_default_file(cfg.get()), 1);
    EXPECT_EQ(korva_test::read_file(config), "[s]\nk=5\n");
}

TEST_F(ConfigFileTest, IntegersAreWholeNumbersInThe32BitRange)
{
    Cfg cfg = open_with("[n]\na=42\nb= -7 \nc=+3\nd=2147483647\ne=-2147483648\n"
                        "f=2147483648\ng=-2147483649\nh=12abc\ni=\nj=0x10\nk=- 5\nl=1.5\nm=99999999999999999999\n");
    ASSERT_NE(cfg, nullptr);
    EXPECT_EQ(get_int(cfg.get(), "n", "a"), 42);
    EXPECT_EQ(get_int(cfg.get(), "n", "b"), -7);
    EXPECT_EQ(get_int(cfg.get(), "n", "c"), 3);
    EXPECT_EQ(get_int(cfg.get(), "n", "d"), 2147483647);
    EXPECT_EQ(get_int(cfg.get(), "n", "e"), -2147483647 - 1);
    for (const char *absent : {"f", "g", "h", "i", "j", "k", "l", "m", "zz"})
        EXPECT_EQ(get_int(cfg.get(), "n", absent), std::nullopt) << absent;
    EXPECT_EQ(get_int(cfg.get(), "other", "a"), std::nullopt);
    xmms_cfg_write_int(cfg.get(), "n", "a", -1);
    EXPECT_EQ(get_string(cfg.get(), "n", "a"), "-1");
}

TEST_F(ConfigFileTest, NamesAndValuesAreTrimmedAndFirstDuplicateWins)
{
    Cfg cfg = open_with("  [ sec ]  \n\t key one =  a value \t\nk=first\nk=second\n[sec]\nk=third\nlate=4\n");
    ASSERT_NE(cfg, nullptr);
    EXPECT_EQ(get_string(cfg.get(), "sec", "key one"), "a value");
    EXPECT_EQ(get_string(cfg.get(), "sec", "k"), "first");
    EXPECT_EQ(get_int(cfg.get(), "sec", "late"), 4) << "a repeated section still counts";
}

TEST_F(ConfigFileTest, UntouchedFilesSaveByteForByte)
{
    const std::string texts[] = {
        "",
        "[a]\nx=1\n\n# comment\n[b]\ny=2",                        // no final newline
        "[a]\r\nx=1\r\n\r\n[b]\r\ny=2\r\n",                        // CRLF
        "top=level\n[unterminated\n=novalue\njunk line\n[a]\nx\n",  // lines that do not parse
        std::string("[a]\nbin=\x01\x02\xff\n") + std::string(1, '\0') + "=x\n",
        "[a]\nlong=" + std::string((1 << 20) - 10, 'v') + "\n",   // 1 MiB in all: the largest file read
    };
    for (const std::string &text : texts)
        EXPECT_EQ(edited(text, [](ConfigFile *) {}), text);
}

TEST_F(ConfigFileTest, WritesKeepEveryOtherLineInPlace)
{
    const std::string before = "; player\n[xmms]\nvolume=80\nskin=/x\n\n[a]\nold=1\n# trailing note\n\n[b]\nz=0\n";
    const std::string after = edited(before, [](ConfigFile *cfg) {
        xmms_cfg_write_int(cfg, "a", "old", 2);
        xmms_cfg_write_string(cfg, "a", "new", "text");
        xmms_cfg_write_int(cfg, "c", "k", 3);
        xmms_cfg_write_string(cfg, "xmms", "volume", "70");
    });
    EXPECT_EQ(after, "; player\n[xmms]\nvolume=70\nskin=/x\n\n[a]\nold=2\nnew=text\n# trailing note\n\n[b]\nz=0\n"
                     "\n[c]\nk=3\n");
}

TEST_F(ConfigFileTest, DuplicatesCrlfAndMissingNewlineOnWrite)
{
    EXPECT_EQ(edited("[a]\nk=1\nk=2\n", [](ConfigFile *cfg) { xmms_cfg_write_int(cfg, "a", "k", 9); }),
              "[a]\nk=9\nk=2\n");
    EXPECT_EQ(edited("[a]\r\nk=1\r\n", [](ConfigFile *cfg) { xmms_cfg_write_int(cfg, "a", "j", 2); }),
              "[a]\r\nk=1\r\nj=2\r\n");
    EXPECT_EQ(edited("[a]\nk=1", [](ConfigFile *cfg) { xmms_cfg_write_int(cfg, "a", "j", 2); }),
              "[a]\nk=1\nj=2\n");
    EXPECT_EQ(edited("[a]\nk=1", [](ConfigFile *cfg) { xmms_cfg_write_int(cfg, "b", "j", 2); }),
              "[a]\nk=1\n\n[b]\nj=2\n");
    // A broken header ends the section before it.
    Cfg cfg = open_with("[a]\nk=1\n[b junk\nj=2\n");
    EXPECT_EQ(get_int(cfg.get(), "a", "j"), std::nullopt);
    EXPECT_EQ(edited("[a]\nk=1\n[b junk\nj=2\n", [](ConfigFile *cfg) { xmms_cfg_write_int(cfg, "a", "j", 3); }),
              "[a]\nk=1\nj=3\n[b junk\nj=2\n");
}

TEST_F(ConfigFileTest, WritesTheSyntaxCannotCarryChangeNothing)
{
    const std::string before = "[a]\nk=1\n";
    EXPECT_EQ(edited(before, [](ConfigFile *cfg) {
                  xmms_cfg_write_string(cfg, "a", "k", "two\nlines");
                  xmms_cfg_write_string(cfg, "a", "k", "cr\r");
                  xmms_cfg_write_int(cfg, "a", "k=x", 1);
                  xmms_cfg_write_int(cfg, "a", "", 1);
                  xmms_cfg_write_int(cfg, "a", " padded", 1);
                  xmms_cfg_write_int(cfg, "a", "[x", 1);
                  xmms_cfg_write_int(cfg, "new\nsection", "k", 1);
                  xmms_cfg_write_int(cfg, nullptr, "k", 1);
                  xmms_cfg_write_int(cfg, "a", nullptr, 1);
                  xmms_cfg_write_string(cfg, "a", "k", nullptr);
              }),
              before);
    int value = 0;
    char *text = nullptr;
    EXPECT_EQ(xmms_cfg_read_int(nullptr, "a", "k", &value), 0);
    EXPECT_EQ(xmms_cfg_read_string(nullptr, "a", "k", &text), 0);
    EXPECT_EQ(xmms_cfg_write_default_file(nullptr), 0);
    xmms_cfg_write_int(nullptr, "a", "k", 1);
    xmms_cfg_free(nullptr);
}

TEST_F(ConfigFileTest, SavingKeepsPermissionsAndFollowsLinks)
{
    korva_test::write_file(dir.file("real"), "[a]\nk=1\n");
    ::chmod(dir.file("real").c_str(), 0600);
    ASSERT_EQ(::symlink("real", config.c_str()), 0);
    EXPECT_EQ(edited(korva_test::read_file(config), [](ConfigFile *cfg) { xmms_cfg_write_int(cfg, "a", "k", 2); }),
              "[a]\nk=2\n");
    struct stat st {};
    ASSERT_EQ(::lstat(config.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link itself stays";
    EXPECT_EQ(korva_test::mode_of(dir.file("real")), 0600u);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"config", "real"})) << "no temporary left";

    const mode_t old_mask = ::umask(027);
    Cfg fresh(xmms_cfg_new());
    EXPECT_EQ(xmms_cfg_write_file(fresh.get(), dir.file("new").c_str()), 1);
    ::umask(old_mask);
    EXPECT_EQ(korva_test::mode_of(dir.file("new")), 0640u);
}

TEST_F(ConfigFileTest, AReadOnlyConfigurationIsNotReplaced)
{
    const std::string before = "[a]\nk=1\n";
    korva_test::write_file(config, before);
    ::chmod(dir.path.c_str(), 0777);
    ::chmod(config.c_str(), 0444);
    const int result = korva_test::as_nobody([&] {
        Cfg cfg(xmms_cfg_open_default_file());
        if (cfg == nullptr)
            return 2;
        xmms_cfg_write_int(cfg.get(), "a", "k", 2);
        return xmms_cfg_write_default_file(cfg.get());
    });
    if (result == -1)
        GTEST_SKIP() << "needs root to act as another user";
    EXPECT_EQ(result, 0);
    EXPECT_EQ(korva_test::read_file(config), before);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"config"});
}

TEST_F(ConfigFileTest, OnlyRegularFilesAreReadOrReplaced)
{
    ASSERT_EQ(::mkfifo(config.c_str(), 0600), 0);
    EXPECT_EQ(xmms_cfg_open_default_file(), nullptr) << "a FIFO must be refused, not waited on";
    Cfg cfg(xmms_cfg_new());
    xmms_cfg_write_int(cfg.get(), "a", "k", 1);
    EXPECT_EQ(xmms_cfg_write_default_file(cfg.get()), 0);
    struct stat st {};
    ASSERT_EQ(::lstat(config.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    ::mkdir(dir.file("sub").c_str(), 0755);
    EXPECT_EQ(xmms_cfg_open_file(dir.file("sub").c_str()), nullptr);
    EXPECT_EQ(xmms_cfg_write_file(cfg.get(), dir.file("sub").c_str()), 0);
    EXPECT_EQ(xmms_cfg_write_file(cfg.get(), dir.file("missing/config").c_str()), 0);
}

// A file past 1 MiB is not read (the plug-in then never saves over it); one
// of exactly 1 MiB still is.
TEST_F(ConfigFileTest, AFileLargerThanOneMebibyteIsNotRead)
{
    const std::string section = "[xmkorva-5]\nxmkorva_preamp=7\n";
    EXPECT_EQ(open_with(section + std::string((1 << 20) + 1 - section.size(), '\n')), nullptr);
    Cfg exact = open_with(section + std::string((1 << 20) - section.size(), '\n'));
    ASSERT_NE(exact, nullptr);
    int preamp = 0;
    EXPECT_TRUE(xmms_cfg_read_int(exact.get(), "xmkorva-5", "xmkorva_preamp", &preamp));
    EXPECT_EQ(preamp, 7);
}

TEST_F(ConfigFileTest, DefaultNameComesFromOverrideEnvironmentOrHome)
{
    char *name = xmms_cfg_get_default_filename();
    EXPECT_STREQ(name, config.c_str());
    std::free(name);
    // Only the usual ~/.xmms is created; a chosen file's directory must exist.
    xmms_cfg_set_default_filename(dir.file("missing/config").c_str());
    Cfg chosen(xmms_cfg_open_default_file());
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(xmms_cfg_write_default_file(chosen.get()), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));

    xmms_cfg_set_default_filename(nullptr);
    const char *saved_home = std::getenv("HOME");
    const std::string home = saved_home ? saved_home : "";
    ::setenv("XMMS_CONFIG_FILE", dir.file("from-env").c_str(), 1);
    name = xmms_cfg_get_default_filename();
    EXPECT_EQ(std::string(name), dir.file("from-env"));
    std::free(name);

    ::unsetenv("XMMS_CONFIG_FILE");
    ::setenv("HOME", dir.path.c_str(), 1);
    name = xmms_cfg_get_default_filename();
    EXPECT_EQ(std::string(name), dir.file(".xmms/config"));
    std::free(name);
    Cfg cfg(xmms_cfg_open_default_file());
    ASSERT_NE(cfg, nullptr);
    xmms_cfg_write_int(cfg.get(), "a", "k", 1);
    EXPECT_EQ(xmms_cfg_write_default_file(cfg.get()), 1) << "~/.xmms is created when missing";
    EXPECT_EQ(korva_test::read_file(dir.file(".xmms/config")), "[a]\nk=1\n");
    if (saved_home)
        ::setenv("HOME", home.c_str(), 1);
}

TEST(ConfigFileFullDisk, FailedSaveLeavesTheOldFileAndNoTemporary)
{
    korva_test::TinyFs fs;
    KORVA_REQUIRE_TINYFS(fs);
    const std::string path = fs.file("config");
    const std::string before = "[xmms]\nvolume=80\n";
    korva_test::write_file(path, before);
    ASSERT_TRUE(fs.fill());

    Cfg cfg(xmms_cfg_open_file(path.c_str()));
    ASSERT_NE(cfg, nullptr);
    xmms_cfg_write_string(cfg.get(), "big", "value", std::string(16384, 'v').c_str());
    EXPECT_EQ(xmms_cfg_write_file(cfg.get(), path.c_str()), 0);
    EXPECT_EQ(korva_test::read_file(path), before);
    EXPECT_EQ(fs.dir.entries(), (std::vector<std::string>{"config", "filler"}));
}

}  // namespace
