#include "follow_applied.h"

#include "sink_profiles.h"

#include "fileio/file_read.h"

#include <algorithm>
#include <cstring>
#include <vector>

Status parse_follow_applied(const std::string &text, const std::string &path, FollowTarget &target)
{
    target = FollowTarget{};
    if (text.size() > korva::fileio::kTextFileLimit)
        return failure(path + ": " + korva::fileio::too_large_text() + ", so not follow's record");
    FollowTarget read;
    int output_line = 0, preset_line = 0;
    std::string line, word;
    std::vector<std::string> strings;
    int number = 1;
    for (std::size_t at = 0; at < text.size(); ++number) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        line.assign(text, at, end - at);
        at = end + 1;
        const std::string where = path + ":" + std::to_string(number) + ": ";
        if (!split_profile_line(line, word, strings))
            return failure(where + "not a line of follow's record");
        if (word.empty())
            continue;
        int &seen = word == "output" ? output_line : preset_line;
        if ((word != "output" || strings.size() != 2) && (word != "preset" || strings.size() != 1))
            return failure(where + "not a line of follow's record");
        if (seen != 0)
            return failure(where + word + " again (first on line " + std::to_string(seen) + ")");
        seen = number;
        if (word == "output") {
            read.node = strings[0];
            read.route = strings[1] == "-" ? "" : strings[1];
        } else {
            read.preset = strings[0];
        }
    }
    if (output_line != 0)
        target = read;
    return success();
}

Status read_follow_applied(const std::string &path, FollowTarget &target)
{
    target = FollowTarget{};
    std::string text;
    int why = 0;
    switch (korva::fileio::read_file(path.c_str(), text, korva::fileio::kTextFileLimit, &why)) {
    case korva::fileio::ReadStatus::ok:
        return parse_follow_applied(text, path, target);
    case korva::fileio::ReadStatus::missing:
        return success();
    case korva::fileio::ReadStatus::too_large:
        return failure(path + ": " + korva::fileio::too_large_text() + ", so not follow's record");
    case korva::fileio::ReadStatus::failed:
        break;
    }
    return failure(path + ": " + (why == 0 ? std::string("not a regular file") : std::strerror(why)));
}

Status write_follow_applied(const std::string &path, const FollowTarget &target)
{
    std::string node, route, preset;
    if (Status status = quote_profile_string(target.node, node); !status.ok())
        return status;
    if (Status status = quote_profile_string(target.route.empty() ? "-" : target.route, route); !status.ok())
        return status;
    if (Status status = quote_profile_string(target.preset, preset); !status.ok())
        return status;
    return write_korva_file(path, "# korva sink follow: the output whose profile was last applied\noutput " + node +
                                      " " + route + "\npreset " + preset + "\n");
}
