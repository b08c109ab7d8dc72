// Runs files through a fuzz target without libFuzzer: every file named on the
// command line, and every file inside a directory named there. A property
// failure or a sanitizer report ends the run as it would end a fuzzing run.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

bool run_file(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: cannot read\n", path.c_str());
        return false;
    }
    std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(data.data(), data.size());
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    int files = 0;
    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path arg(argv[i]);
        std::error_code ec;
        if (std::filesystem::is_directory(arg, ec)) {
            std::vector<std::filesystem::path> entries;
            for (const auto &entry : std::filesystem::directory_iterator(arg))
                if (entry.is_regular_file())
                    entries.push_back(entry.path());
            std::sort(entries.begin(), entries.end());
            for (const auto &p : entries) {
                ok = run_file(p) && ok;
                ++files;
            }
        } else {
            ok = run_file(arg) && ok;
            ++files;
        }
    }
    std::printf("%d inputs replayed\n", files);
    // An empty replay proves nothing: treat it as a broken test setup.
    return ok && files > 0 ? 0 : 1;
}
