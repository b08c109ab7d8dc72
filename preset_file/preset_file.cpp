// Preset files on disk: the one reader (it checks a file and reads its
// block without any engine) and the one writer (the file replaced whole, as
// fileio/file_replace.h describes), over the engine's byte format
// (korva_preset_decode, korva_preset_encode).
#include "preset_write.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using PresetImage = std::array<unsigned char, KORVA_PRESET_FILE_SIZE>;

// Reads up to out.size() bytes from the start of an open file; the count, or
// -1 when a read fails.
long read_head(int fd, PresetImage &out)
{
    std::size_t got = 0;
    while (got < out.size()) {
        const ssize_t n = ::read(fd, out.data() + got, out.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<long>(got);
}

}  // namespace

extern "C" KorvaPresetStatus korva_preset_read(const char *path, KorvaPresetInfo *info)
{
    if (info == nullptr)
        return KORVA_PRESET_CANNOT_OPEN;
    *info = KorvaPresetInfo{};
    info->file_size = -1;
    if (path == nullptr) {
        info->error = EINVAL;
        return info->status = KORVA_PRESET_CANNOT_OPEN;
    }

    // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below.
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        info->error = errno;
        return info->status = KORVA_PRESET_CANNOT_OPEN;
    }
    struct stat st {};
    PresetImage image{};
    long got = -1;
    if (::fstat(fd, &st) != 0) {
        info->error = errno;
        info->status = KORVA_PRESET_CANNOT_OPEN;
    } else if (!S_ISREG(st.st_mode)) {
        info->status = KORVA_PRESET_NOT_REGULAR;
    } else {
        info->file_size = st.st_size;
        got = read_head(fd, image);
        if (got < 0) {
            info->error = errno;
            info->status = KORVA_PRESET_CANNOT_OPEN;
        }
    }
    ::close(fd);
    if (got < 0)
        return info->status;

    return korva_preset_decode(image.data(), static_cast<std::size_t>(got), info);
}

extern "C" int korva_read_preset(const char *path, KorvaParams *out)
{
    if (path == nullptr || out == nullptr)
        return 0;
    KorvaPresetInfo info;
    if (korva_preset_read(path, &info) != KORVA_PRESET_OK)
        return 0;
    *out = info.params;
    return 1;
}

extern "C" int korva_load(KorvaEngine *engine, const char *path)
{
    if (engine == nullptr)
        return 0;
    KorvaParams loaded;
    if (!korva_read_preset(path, &loaded))
        return 0;
    // Only now, after a complete and valid read, does the engine change.
    korva_params_write(engine, &loaded);
    return 1;
}

namespace korva::preset {

bool write_file(const KorvaParams &params, const char *path, korva::fileio::Error *why) noexcept
{
    PresetImage image{};
    korva_preset_encode(&params, image.data());
    return korva::fileio::replace_file(path, image.data(), image.size(), korva::fileio::NonRegular::refuse, why);
}

}  // namespace korva::preset

extern "C" int korva_save(KorvaEngine *engine, const char *path)
{
    if (engine == nullptr || path == nullptr)
        return 0;
    // Everything written comes from this one snapshot of the live block.
    KorvaParams snapshot;
    korva_params_read(engine, &snapshot);
    return korva::preset::write_file(snapshot, path) ? 1 : 0;
}

extern "C" int korva_preset_load_hook(void *, const char *path, KorvaParams *block)
{
    return korva_read_preset(path, block);
}

extern "C" int korva_preset_save_hook(void *, const char *path, const KorvaParams *block)
{
    return block != nullptr && path != nullptr && korva::preset::write_file(*block, path) ? 1 : 0;
}
