// Making directories: every missing level, existing ones passed over, and a
// file in the way reported, not replaced.
#include "fileio/directories.h"
#include "tests/support/scratch.h"

#include <cerrno>
#include <climits>
#include <string>

namespace {

using korva_test::ScratchDir;

TEST(MakeDirectories, MakesEveryLevelAndStopsAtAFile)
{
    ScratchDir dir;
    const std::string deep = dir.file("a/b/c");
    EXPECT_TRUE(korva::fileio::make_directories(deep.c_str()));
    EXPECT_TRUE(std::filesystem::is_directory(deep));
    EXPECT_TRUE(korva::fileio::make_directories(deep.c_str())) << "an existing directory is fine";
    EXPECT_TRUE(korva::fileio::make_directories((dir.file("a/b") + "/").c_str()));

    korva_test::write_file(dir.file("file"), "x");
    int why = 0;
    EXPECT_FALSE(korva::fileio::make_directories(dir.file("file").c_str(), 0777, &why));
    EXPECT_EQ(why, ENOTDIR);
    why = 0;
    EXPECT_FALSE(korva::fileio::make_directories(dir.file("file/below").c_str(), 0777, &why));
    EXPECT_EQ(why, ENOTDIR);
    EXPECT_EQ(korva_test::read_file(dir.file("file")), "x");

    EXPECT_FALSE(korva::fileio::make_directories(std::string(PATH_MAX, 'x').c_str(), 0777, &why));
    EXPECT_EQ(why, ENAMETOOLONG);
    EXPECT_FALSE(korva::fileio::make_directories("", 0777, &why));
}

}  // namespace
