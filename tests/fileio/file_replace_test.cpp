// The file-replacement policy itself: what a replaced file keeps, what a
// failure leaves, and the two rules for targets that are not regular files.
#include "fileio/file_replace.h"
#include "tests/support/scratch.h"

#include <string>
#include <thread>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using korva::fileio::Error;
using korva::fileio::NonRegular;
using korva::fileio::Replacement;
using korva::fileio::Step;

bool replace(const std::string &path, const std::string &bytes, NonRegular rule, Error *why = nullptr)
{
    return korva::fileio::replace_file(path.c_str(), bytes.data(), bytes.size(), rule, why);
}

TEST(FileReplace, KeepsOwnerAndPermissionBitsButNeverSetIdBits)
{
    korva_test::ScratchDir dir;
    const std::string path = dir.file("file");
    korva_test::write_file(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), 06754), 0);
    // Giving a file away needs root; the owner is checked only then.
    const bool given_away = ::chown(path.c_str(), 4321, 4322) == 0;
    ASSERT_EQ(::chmod(path.c_str(), 06754), 0);   // a change of owner may clear set-id bits

    ASSERT_TRUE(replace(path, "new", NonRegular::refuse));
    EXPECT_EQ(korva_test::read_file(path), "new");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0754u);
    if (given_away) {
        EXPECT_EQ(st.st_uid, 4321u);
        EXPECT_EQ(st.st_gid, 4322u);
    }

    const mode_t old_mask = ::umask(027);
    const bool created = replace(dir.file("fresh"), "x", NonRegular::refuse);
    ::umask(old_mask);
    ASSERT_TRUE(created);
    EXPECT_EQ(korva_test::mode_of(dir.file("fresh")), 0640u);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"file", "fresh"}));
}

TEST(FileReplace, EveryFailureLeavesTheOldFileAndNoTemporary)
{
    korva_test::ScratchDir dir;
    const std::string path = dir.file("file");
    korva_test::write_file(path, "old");

    Replacement r;
    ASSERT_TRUE(korva::fileio::begin_replacement(path.c_str(), NonRegular::refuse, r));
    ASSERT_TRUE(korva::fileio::write_all(r.fd, "half", 4));
    korva::fileio::abandon_replacement(r);
    EXPECT_EQ(korva_test::read_file(path), "old");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"file"}) << "abandoned";

    // The rename fails: the target became a directory meanwhile.
    const std::string moving = dir.file("moving");
    korva_test::write_file(moving, "old");
    ASSERT_TRUE(korva::fileio::begin_replacement(moving.c_str(), NonRegular::refuse, r));
    ASSERT_TRUE(korva::fileio::write_all(r.fd, "new", 3));
    ASSERT_EQ(::unlink(moving.c_str()), 0);
    ASSERT_EQ(::mkdir(moving.c_str(), 0755), 0);
    EXPECT_FALSE(korva::fileio::commit_replacement(r));
    EXPECT_EQ(r.error.step, Step::rename);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"file", "moving"})) << "failed rename";

    Error why;
    EXPECT_FALSE(replace(dir.file("no/such/dir/file"), "new", NonRegular::refuse, &why));
    EXPECT_EQ(why.step, Step::temporary);
    EXPECT_EQ(why.number, ENOENT);
    EXPECT_FALSE(replace(dir.path.string() + "/", "new", NonRegular::write_through, &why));
    EXPECT_EQ(why.step, Step::is_directory);
    EXPECT_FALSE(replace("", "new", NonRegular::refuse, &why));
    EXPECT_EQ(why.step, Step::name);
    EXPECT_FALSE(replace(std::string(PATH_MAX, 'a'), "new", NonRegular::refuse, &why));
    EXPECT_EQ(why.number, ENAMETOOLONG);

    // A file its owner made read-only is refused, as writing it in place would be.
    ::chmod(dir.path.c_str(), 0777);
    ::chmod(path.c_str(), 0444);
    const int read_only = korva_test::as_nobody([&] { return replace(path, "new", NonRegular::refuse) ? 1 : 0; });
    if (read_only != -1) {
        EXPECT_EQ(read_only, 0);
        EXPECT_EQ(korva_test::read_file(path), "old");
        EXPECT_EQ(dir.entries(), (std::vector<std::string>{"file", "moving"}));
    }
}

TEST(FileReplace, AFullDiskKeepsTheOldFile)
{
    korva_test::TinyFs fs;
    KORVA_REQUIRE_TINYFS(fs);
    const std::string path = fs.file("file");
    ASSERT_TRUE(replace(path, "old", NonRegular::refuse));
    ASSERT_TRUE(fs.fill());
    Error why;
    EXPECT_FALSE(replace(path, std::string(100000, 'n'), NonRegular::refuse, &why));
    EXPECT_EQ(why.number, ENOSPC);
    EXPECT_EQ(korva_test::read_file(path), "old");
    EXPECT_EQ(fs.dir.entries(), (std::vector<std::string>{"file", "filler"}));
}

TEST(FileReplace, NonRegularTargetsAreRefusedOrWrittenThroughByName)
{
    Error why;
    EXPECT_FALSE(replace("/dev/null", "x", NonRegular::refuse, &why));
    EXPECT_EQ(why.step, Step::not_regular);
    EXPECT_TRUE(replace("/dev/null", "x", NonRegular::write_through));
    struct stat st {};
    ASSERT_EQ(::stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));

    korva_test::ScratchDir dir;
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Refused at once: no wait for a reader.
    EXPECT_FALSE(replace(fifo, "x", NonRegular::refuse, &why));
    EXPECT_EQ(why.step, Step::not_regular);

    std::string received;
    std::thread reader([&] { received = korva_test::read_file(fifo); });
    EXPECT_TRUE(replace(fifo, "through the pipe", NonRegular::write_through));
    reader.join();
    EXPECT_EQ(received, "through the pipe");
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"fifo"});
}

}  // namespace
