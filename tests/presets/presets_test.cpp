// Preset files: layout, byte order, every failure case, and safe replacement.
#include "engine/engine_handle.h"
#include "engine/korva.h"
#include "tests/support/scratch.h"
#include "preset_file/preset_file.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <memory>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Payload offsets of the multi-byte fields, from the file format's layout.
constexpr std::array<int, 7> kTwoByte = {2, 26, 36, 38, 48, 62, 80};
constexpr std::array<int, 17> kFourByte = {4, 8, 12, 16, 28, 32, 40, 44, 52, 56, 64, 68, 72, 76, 84, 88, 92};
constexpr std::array<int, 14> kOneByte = {0, 20, 21, 22, 23, 24, 60, 61, 1, 25, 50, 51, 82, 83};

using Engine = EngineHandle;

bool little_endian_host()
{
    const uint32_t probe = 1;
    unsigned char first;
    std::memcpy(&first, &probe, 1);
    return first == 1;
}

// A block whose every byte differs: byte i holds i + 1 (padding included).
KorvaParams distinct_block()
{
    KorvaParams p;
    auto *bytes = reinterpret_cast<unsigned char *>(&p);
    for (int i = 0; i < KORVA_PARAMS_SIZE; ++i)
        bytes[i] = static_cast<unsigned char>(i + 1);
    return p;
}

// The image of a preset written on a machine of the given byte order: the
// fields of `values` laid out byte by byte, independently of this host.
std::string foreign_image(const KorvaParams &values, bool big_endian, const char marker[2])
{
    const auto *src = reinterpret_cast<const unsigned char *>(&values);
    std::string payload(KORVA_PARAMS_SIZE, '\0');
    auto put = [&](int offset, int width) {
        uint32_t v = 0;  // the host's value of the field, as an unsigned number
        if (width == 2) { uint16_t h; std::memcpy(&h, src + offset, 2); v = h; }
        else { std::memcpy(&v, src + offset, 4); }
        for (int i = 0; i < width; ++i) {
            const int shift = big_endian ? 8 * (width - 1 - i) : 8 * i;
            payload[offset + i] = static_cast<char>((v >> shift) & 0xff);
        }
    };
    for (int o : kOneByte) payload[o] = static_cast<char>(src[o]);
    for (int o : kTwoByte) put(o, 2);
    for (int o : kFourByte) put(o, 4);
    const std::string length = big_endian ? std::string("\0\0\0\x60", 4) : std::string("\x60\0\0\0", 4);
    return std::string("KORVA551") + std::string(marker, 2) + length + payload;
}

class PresetTest : public ::testing::Test {
protected:
    korva_test::ScratchDir dir;
    std::string path = dir.file("preset.kor");
    Engine engine{korva_new()};
    void SetUp() override { ASSERT_NE(engine, nullptr); }

    std::string engine_bytes() const
    {
        return std::string(reinterpret_cast<const char *>(engine.get()), sizeof(KorvaEngine));
    }
    std::string block_bytes() const
    {
        return std::string(reinterpret_cast<const char *>(&engine->params), KORVA_PARAMS_SIZE);
    }
    // Loading `bytes` must fail for the reason given and leave every byte of
    // the engine as it was.
    void expect_rejected(const std::string &bytes, KorvaPresetStatus reason, const char *why)
    {
        korva_test::write_file(path, bytes);
        const std::string before = engine_bytes();
        EXPECT_EQ(korva_load(engine.get(), path.c_str()), 0) << why;
        EXPECT_EQ(engine_bytes(), before) << why;
        KorvaPresetInfo info;
        EXPECT_EQ(korva_preset_read(path.c_str(), &info), reason) << why;
        EXPECT_EQ(info.file_size, static_cast<int64_t>(bytes.size())) << why;
    }
};

TEST_F(PresetTest, SaveWritesTheLayoutAndLoadGivesBackEveryByte)
{
    const KorvaParams block = distinct_block();
    std::memcpy(&engine->params, &block, sizeof block);
    ASSERT_EQ(korva_save(engine.get(), path.c_str()), 1);

    const std::string file = korva_test::read_file(path);
    ASSERT_EQ(file.size(), 110u);
    EXPECT_EQ(file.substr(0, 8), "KORVA551");
    EXPECT_EQ(file.substr(8, 2), little_endian_host() ? "LE" : "BE");
    int32_t length;
    std::memcpy(&length, file.data() + 10, 4);
    EXPECT_EQ(length, 96);
    EXPECT_EQ(file.substr(14), std::string(reinterpret_cast<const char *>(&block), 96));
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"preset.kor"}) << "no temporary left";

    Engine other{korva_new()};
    ASSERT_EQ(korva_load(other.get(), path.c_str()), 1);
    EXPECT_EQ(std::memcmp(&other->params, &block, 96), 0) << "padding bytes included";
}

TEST_F(PresetTest, FilesFromEitherByteOrderLoadWithTheirValues)
{
    const KorvaParams values = distinct_block();
    for (const bool big : {true, false}) {
        korva_test::write_file(path, foreign_image(values, big, big ? "BE" : "LE"));
        Engine loaded{korva_new()};
        ASSERT_EQ(korva_load(loaded.get(), path.c_str()), 1) << (big ? "BE" : "LE");
        EXPECT_EQ(std::memcmp(&loaded->params, &values, 96), 0) << (big ? "BE" : "LE");
    }
}

TEST_F(PresetTest, AnUnknownMarkerMeansTheOtherByteOrder)
{
    const KorvaParams values = distinct_block();
    const bool native_big = !little_endian_host();
    // Laid out in the other order: loads, reversed.
    korva_test::write_file(path, foreign_image(values, !native_big, "XX"));
    ASSERT_EQ(korva_load(engine.get(), path.c_str()), 1);
    EXPECT_EQ(std::memcmp(&engine->params, &values, 96), 0);
    // Laid out in this machine's order: the length reads reversed and fails.
    expect_rejected(foreign_image(values, native_big, "le"), KORVA_PRESET_BAD_LENGTH, "native layout, unknown marker");
}

TEST_F(PresetTest, DamagedFilesAreRejectedWithoutTouchingTheEngine)
{
    Engine source{korva_new()};
    source->params.bw_fq = 7000;
    ASSERT_EQ(korva_save(source.get(), path.c_str()), 1);
    const std::string good = korva_test::read_file(path);

    for (std::size_t size : {0, 7, 8, 9, 10, 13, 14, 50, 109})
        expect_rejected(good.substr(0, size), KORVA_PRESET_TOO_SHORT,
                        ("cut to " + std::to_string(size) + " bytes").c_str());
    std::string bad = good;
    bad[7] = '0';
    expect_rejected(bad, KORVA_PRESET_WRONG_MAGIC, "magic KORVA550");
    expect_rejected(bad.substr(0, 9), KORVA_PRESET_WRONG_MAGIC, "magic KORVA550, cut after the marker's first byte");
    bad = good;
    const int32_t length95 = 95;
    std::memcpy(&bad[10], &length95, 4);
    expect_rejected(bad, KORVA_PRESET_BAD_LENGTH, "length 95");
    expect_rejected(bad.substr(0, 20), KORVA_PRESET_BAD_LENGTH, "length 95, cut short");

    KorvaPresetInfo info;
    EXPECT_EQ(korva_preset_read(dir.file("missing").c_str(), &info), KORVA_PRESET_CANNOT_OPEN);
    EXPECT_EQ(info.error, ENOENT);
    EXPECT_EQ(korva_load(engine.get(), dir.file("missing").c_str()), 0);
    EXPECT_EQ(korva_load(engine.get(), dir.path.c_str()), 0) << "a directory";
    EXPECT_EQ(korva_preset_read(dir.path.c_str(), &info), KORVA_PRESET_NOT_REGULAR);
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    EXPECT_EQ(korva_load(engine.get(), dir.file("fifo").c_str()), 0) << "a FIFO with no writer";
    EXPECT_EQ(korva_preset_read(dir.file("fifo").c_str(), &info), KORVA_PRESET_NOT_REGULAR);
    EXPECT_EQ(korva_preset_read(nullptr, &info), KORVA_PRESET_CANNOT_OPEN);
    EXPECT_EQ(korva_load(engine.get(), nullptr), 0);
    EXPECT_EQ(korva_load(nullptr, path.c_str()), 0);
    EXPECT_EQ(korva_save(nullptr, path.c_str()), 0);
    EXPECT_EQ(korva_save(engine.get(), nullptr), 0);
    EXPECT_EQ(engine->params.bw_fq, 3600);
}

TEST_F(PresetTest, LoadReplacesOnlyTheBlockAndIgnoresTrailingBytes)
{
    Engine source{korva_new()};
    source->params.preamp = 300;
    ASSERT_EQ(korva_save(source.get(), path.c_str()), 1);
    korva_test::write_file(path, korva_test::read_file(path) + "trailing bytes");

    engine->sample_rate = 48000;
    engine->bw_phase = 0.25f;
    engine->extspace_ring[1][17] = 0.5f;
    const std::string before = engine_bytes();
    ASSERT_EQ(korva_load(engine.get(), path.c_str()), 1);
    EXPECT_EQ(engine->params.preamp, 300);
    EXPECT_EQ(engine_bytes().substr(KORVA_PARAMS_SIZE), before.substr(KORVA_PARAMS_SIZE))
        << "sample rate and working state untouched";
}

TEST_F(PresetTest, PatchEndianReversesOnlyMultiByteFields)
{
    const KorvaParams original = distinct_block();
    KorvaParams block = original;
    EXPECT_EQ(korva_patch_endian(&block), 0);
    const auto *a = reinterpret_cast<const unsigned char *>(&original);
    const auto *b = reinterpret_cast<const unsigned char *>(&block);
    for (int o : kOneByte) EXPECT_EQ(b[o], a[o]) << o;
    for (int o : kTwoByte) EXPECT_TRUE(b[o] == a[o + 1] && b[o + 1] == a[o]) << o;
    for (int o : kFourByte) EXPECT_TRUE(b[o] == a[o + 3] && b[o + 1] == a[o + 2] && b[o + 3] == a[o]) << o;
    korva_patch_endian(&block);
    EXPECT_EQ(std::memcmp(&block, &original, 96), 0);

    unsigned char bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    patchendian(bytes, 2);
    patchendian(bytes + 4, 4);
    EXPECT_EQ(std::vector<int>(bytes, bytes + 8), (std::vector<int>{2, 1, 3, 4, 8, 7, 6, 5}));
    for (int width : {0, 1, 3, 8, -4})
        patchendian(bytes, width);
    patchendian(nullptr, 4);
    EXPECT_EQ(std::vector<int>(bytes, bytes + 8), (std::vector<int>{2, 1, 3, 4, 8, 7, 6, 5}));
}

TEST_F(PresetTest, SaveFailsCleanlyWhereNoFileCanBeWritten)
{
    EXPECT_EQ(korva_save(engine.get(), dir.file("no/such/dir/p.kor").c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.file("no")));
    EXPECT_EQ(korva_save(engine.get(), dir.path.c_str()), 0) << "a directory";
    EXPECT_EQ(korva_save(engine.get(), (dir.path.string() + "/").c_str()), 0);
    // A FIFO is not replaced, and the save does not wait for a reader.
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    EXPECT_EQ(korva_save(engine.get(), dir.file("fifo").c_str()), 0);
    struct stat st {};
    ASSERT_EQ(::lstat(dir.file("fifo").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"fifo"});
}

TEST_F(PresetTest, SavingOverAPresetKeepsItsModeAndItsLink)
{
    korva_test::write_file(dir.file("real.kor"), "old");
    ::chmod(dir.file("real.kor").c_str(), 0640);
    ASSERT_EQ(::symlink("real.kor", path.c_str()), 0);
    ASSERT_EQ(korva_save(engine.get(), path.c_str()), 1);
    struct stat st {};
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(korva_test::read_file(dir.file("real.kor")).size(), 110u);
    EXPECT_EQ(korva_test::mode_of(dir.file("real.kor")), 0640u);

    const mode_t old_mask = ::umask(022);
    ASSERT_EQ(korva_save(engine.get(), dir.file("new.kor").c_str()), 1);
    ::umask(old_mask);
    EXPECT_EQ(korva_test::mode_of(dir.file("new.kor")), 0644u);
}

TEST_F(PresetTest, SaveRespectsFileAndDirectoryPermissions)
{
    ASSERT_EQ(korva_save(engine.get(), path.c_str()), 1);
    const std::string before = korva_test::read_file(path);
    ::chmod(path.c_str(), 0444);
    engine->params.preamp = 200;
    const auto save_as_nobody = [&](const std::string &target) {
        return korva_test::as_nobody([&] { return korva_save(engine.get(), target.c_str()); });
    };
    ::chmod(dir.path.c_str(), 0755);
    const int no_access = save_as_nobody(dir.file("new.kor"));
    if (no_access == -1)
        GTEST_SKIP() << "needs root to act as another user";
    EXPECT_EQ(no_access, 0) << "a directory without write permission";
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"preset.kor"}) << "nothing created";

    ::chmod(dir.path.c_str(), 0777);
    EXPECT_EQ(save_as_nobody(path), 0) << "a read-only preset";
    EXPECT_EQ(korva_test::read_file(path), before);
    ::chmod(path.c_str(), 0666);
    EXPECT_EQ(save_as_nobody(path), 1) << "a writable preset of another owner is replaced";
    EXPECT_EQ(korva_test::mode_of(path), 0666u);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"preset.kor"});
}

TEST(PresetFullDisk, AFailedSaveKeepsTheOldPresetAndLeavesNoTemporary)
{
    korva_test::TinyFs fs;
    KORVA_REQUIRE_TINYFS(fs);
    Engine engine{korva_new()};
    const std::string path = fs.file("mine.kor");
    ASSERT_EQ(korva_save(engine.get(), path.c_str()), 1);
    const std::string before = korva_test::read_file(path);
    ASSERT_TRUE(fs.fill());

    engine->params.preamp = 200;
    EXPECT_EQ(korva_save(engine.get(), path.c_str()), 0);
    EXPECT_EQ(korva_test::read_file(path), before);
    EXPECT_EQ(korva_save(engine.get(), fs.file("other.kor").c_str()), 0);
    EXPECT_EQ(fs.dir.entries(), (std::vector<std::string>{"filler", "mine.kor"}));
}

TEST(PresetReadOnly, SaveOnAReadOnlyFileSystemCreatesNothing)
{
    korva_test::TinyFs fs;
    KORVA_REQUIRE_TINYFS(fs);
    ASSERT_EQ(::mount("tmpfs", fs.dir.path.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=64k"), 0);
    Engine engine{korva_new()};
    EXPECT_EQ(korva_save(engine.get(), fs.file("p.kor").c_str()), 0);
    EXPECT_TRUE(fs.dir.entries().empty());
}

}  // namespace
