#include "batch_plan.h"

#include "cli/common/atomic_output.h"
#include "audio/formats.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// An absolute, normalised form for comparing names: symbolic links in the
// part that exists are resolved.
std::string comparable(const fs::path &path)
{
    std::error_code error;
    const fs::path resolved = fs::weakly_canonical(fs::absolute(path, error), error);
    return (error ? fs::absolute(path).lexically_normal() : resolved).string();
}

bool is_hidden(const fs::path &path)
{
    const std::string name = path.filename().string();
    return !name.empty() && name[0] == '.';
}

bool is_inside(const std::string &path, const std::string &directory)
{
    return path.size() > directory.size() && path.compare(0, directory.size(), directory) == 0 &&
           path[directory.size()] == '/';
}

std::string output_name(const fs::path &input, const BatchOptions &options, std::string &error)
{
    std::string extension = options.format;
    if (extension.empty()) {
        const std::string given = input.extension().string();
        if (given.size() < 2) {
            error = input.string() + ": no extension to take the output type from; give --format";
            return {};
        }
        extension = given.substr(1);
    }
    return input.stem().string() + options.suffix + "." + extension;
}

void add_directory(const fs::path &root, const std::string &out_dir_key, const BatchOptions &options,
                   std::vector<BatchItem> &items)
{
    std::vector<fs::path> found;
    std::error_code error;
    fs::recursive_directory_iterator walk(root, fs::directory_options::skip_permission_denied, error);
    if (error) {
        items.push_back({root.string(), "", root.string() + ": cannot list the directory: " + error.message()});
        return;
    }
    for (auto it = walk; it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (error)
            break;
        const fs::path &path = it->path();
        if (is_hidden(path) || (it->is_directory(error) && comparable(path) == out_dir_key)) {
            if (it->is_directory(error))
                it.disable_recursion_pending();
            continue;
        }
        if (it->is_regular_file(error) && output_format_for_name(path.string()) && !is_inside(comparable(path), out_dir_key))
            found.push_back(path);
    }
    if (error)
        items.push_back({root.string(), "", root.string() + ": cannot list the directory: " + error.message()});
    std::sort(found.begin(), found.end());
    for (const fs::path &path : found) {
        BatchItem item{path.string(), "", ""};
        const std::string name = output_name(path, options, item.error);
        const fs::path relative = path.lexically_relative(root).parent_path();
        item.output = (fs::path(options.out_dir) / relative / name).lexically_normal().string();
        items.push_back(item);
    }
}

} // namespace

Status plan_batch(const BatchOptions &options, std::vector<BatchItem> &items)
{
    items.clear();
    // The suffix and the type end up in every output's file name: a slash
    // would place outputs elsewhere, outside DIR with "..".
    for (const auto &[option, text] : {std::pair{"--suffix", &options.suffix}, std::pair{"--format", &options.format}})
        if (text->find_first_of(std::string("/\0", 2)) != std::string::npos)
            return failure(std::string(option) + " \"" + *text + "\": is part of a file name and cannot hold '/'", 2);
    const std::string out_dir_key = comparable(options.out_dir);
    for (const std::string &argument : options.inputs) {
        std::error_code error;
        const fs::path input(argument);
        if (fs::is_directory(input, error)) {
            if (!options.recursive)
                items.push_back({argument, "", argument + ": is a directory; add --recursive to process the files in it"});
            else
                add_directory(input, out_dir_key, options, items);
            continue;
        }
        BatchItem item{argument, "", ""};
        const std::string name = output_name(input, options, item.error);
        item.output = (fs::path(options.out_dir) / name).lexically_normal().string();
        items.push_back(item);
    }

    // Every input by its comparable name, and by device and inode where it
    // exists, so hard links and other spellings are caught too.
    std::map<std::string, std::string> inputs_by_name;
    std::map<std::pair<dev_t, ino_t>, std::string> inputs_by_inode;
    for (const BatchItem &item : items) {
        inputs_by_name.emplace(comparable(item.input), item.input);
        struct stat status {};
        if (stat_input(item.input, status))
            inputs_by_inode.emplace(std::make_pair(status.st_dev, status.st_ino), item.input);
    }

    std::map<std::string, std::string> outputs;   // comparable output -> input
    for (const BatchItem &item : items) {
        if (!item.error.empty())
            continue;
        const std::string key = comparable(item.output);
        if (const auto clash = outputs.find(key); clash != outputs.end())
            return failure(clash->second + " and " + item.input + " would both be written to " + item.output +
                           "; nothing was processed (use --suffix or separate runs)", 2);
        outputs.emplace(key, item.input);
        auto same = inputs_by_name.find(key);
        std::string overwritten = same != inputs_by_name.end() ? same->second : "";
        struct stat status {};
        if (overwritten.empty() && stat(item.output.c_str(), &status) == 0)
            if (const auto inode = inputs_by_inode.find({status.st_dev, status.st_ino}); inode != inputs_by_inode.end())
                overwritten = inode->second;
        if (!overwritten.empty())
            return failure(item.output + ", the output for " + item.input + ", is the input " + overwritten +
                           "; refusing to write over an input; nothing was processed", 2);
    }
    return success();
}
