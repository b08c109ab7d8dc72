#include "response_command.h"

#include "cli/common/atomic_output.h"
#include "cli/audio/stereo_input.h"
#include "cli/params/param_options.h"
#include "response_measure.h"
#include "response_plot.h"

#include "engine/param_fields.h"
#include "fileio/file_replace.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// --rate: decimal hertz in the range korva process takes from a file. CLI11's
// own number check would take "0x10000" and answer "nan" with a range.
std::string rate_error(const std::string &text)
{
    const std::string range = std::to_string(kLowestInputRate) + " to " + std::to_string(kHighestInputRate) + " Hz";
    const bool digits = !text.empty() && text.size() <= 9 &&
                        text.find_first_not_of("0123456789") == std::string::npos;
    if (!digits)
        return "'" + text + "' is not a whole number of hertz; the rate is " + range;
    const long rate = std::stol(text);
    if (rate < kLowestInputRate || rate > kHighestInputRate)
        return text + " Hz is outside " + range + ", the rates korva processes";
    return {};
}

// The fields that differ from the defaults, as name=value.
std::vector<std::string> changed_fields(const KorvaParams &params)
{
    KorvaParams defaults;
    korva_default_params(&defaults);
    std::vector<std::string> changed;
    for (const KorvaParamField &field : korva_param_fields) {
        const int32_t value = korva_param_get(&params, &field);
        if (value != korva_param_get(&defaults, &field))
            changed.push_back(std::string(field.name) + "=" + std::to_string(value));
    }
    return changed;
}

std::vector<std::string> plot_title(const KorvaParams &params, int32_t rate)
{
    std::vector<std::string> title = {"Korva magnitude response at " + std::to_string(rate) + " Hz"};
    const std::vector<std::string> changed = changed_fields(params);
    std::string line = changed.empty() ? "settings: the defaults" : "settings: defaults with";
    for (const std::string &item : changed) {
        if (line.size() + item.size() > 120) {
            title.push_back(line);
            line = "   ";
        }
        line += " " + item;
    }
    title.push_back(line);
    title.push_back("float path, the same -20 dBFS sine on both channels, steady state; "
                    "brainwave synthesis left out");
    return title;
}

std::string db_text(double db)
{
    if (std::isnan(db))
        return "nan";
    if (std::isinf(db))
        return db < 0 ? "-inf" : "inf";
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", db);
    return text;
}

Status write_csv(const std::vector<ResponsePoint> &points, AtomicOutput &target)
{
    std::string text = "frequency_hz,left_db,right_db\n";
    for (const ResponsePoint &p : points) {
        char frequency[32];
        std::snprintf(frequency, sizeof frequency, "%.4f", p.frequency);
        text += std::string(frequency) + "," + db_text(p.left_db) + "," + db_text(p.right_db) + "\n";
    }
    if (!korva::fileio::write_all(target.file.fd, text.data(), text.size()))
        return failure(target.display_path + ": cannot write the table: " + std::strerror(errno));
    return commit_output(target);
}

Status write_png(const ResponsePlot &plot, AtomicOutput &target)
{
    if (Status status = write_response_png(plot, target.file.fd); !status.ok())
        return failure(target.display_path + ": " + status.message);
    return commit_output(target);
}

// The largest and smallest gain of one channel, for the summary.
std::string extremes(const std::vector<ResponsePoint> &points, bool right)
{
    const ResponsePoint *high = nullptr, *low = nullptr;
    for (const ResponsePoint &p : points) {
        const double db = right ? p.right_db : p.left_db;
        if (std::isnan(db))
            continue;
        if (high == nullptr || db > (right ? high->right_db : high->left_db))
            high = &p;
        if (low == nullptr || db < (right ? low->right_db : low->left_db))
            low = &p;
    }
    if (high == nullptr)
        return "no finite gain";
    char text[128];
    std::snprintf(text, sizeof text, "highest %+.2f dB at %.0f Hz, lowest %+.2f dB at %.0f Hz",
                  right ? high->right_db : high->left_db, high->frequency, right ? low->right_db : low->left_db,
                  low->frequency);
    return text;
}

} // namespace

CLI::App *add_response_command(CLI::App &app, ResponseOptions &options)
{
    CLI::App *command = app.add_subcommand(
        "response", "plot the chain's magnitude response for a setting (float path, steady sines at -20 dBFS)");
    add_param_options(command, options.sources);
    command->add_option("--rate", options.rate,
                        "the file's sample rate; above 48 kHz the chain runs at it halved until 48 kHz or "
                        "below, or at 48 kHz where that would fall below 44.1 kHz, between resamplers, as in "
                        "korva process")
        ->type_name("HZ")
        ->check(rate_error)
        ->capture_default_str();
    command->add_flag("--native-rate", options.native_rate, "run the chain at --rate itself, however high");
    CLI::Option *png = command->add_option("--png", options.png_path, "write the plot here (PNG)")->type_name("FILE");
    CLI::Option *csv = command->add_option("--csv", options.csv_path,
                                           "write the table here: frequency_hz,left_db,right_db")
                           ->type_name("FILE");
    command->add_flag("-q,--quiet", options.quiet, "print no summary");
    // At least one of the two outputs.
    command->callback([png, csv] {
        if (png->count() == 0 && csv->count() == 0)
            throw CLI::RequiredError("--png or --csv");
    });
    command->footer(command->get_footer() +
                    "\n\nEach channel's gain is the output's fundamental over the input sine, from 20 Hz "
                    "to below half the rate, 48 points per octave. Brainwave synthesis adds a signal "
                    "rather than shaping one and is left out.");
    return command;
}

Status run_response(const ResponseOptions &options)
{
    ResponsePlot plot;
    plot.rate = options.rate;
    KorvaParams params;
    PresetChoice preset;
    if (Status status = build_params(options.sources, params, &preset); !status.ok())
        return status;
    const bool png = !options.png_path.empty(), csv = !options.csv_path.empty();
    if (png && csv && korva::fileio::same_target(options.png_path.c_str(), options.csv_path.c_str()))
        return failure("--png " + options.png_path + " and --csv " + options.csv_path +
                           " name one file; give each its own",
                       2);
    // Each output is opened once, before the measurement, so that a name
    // that cannot be written fails at once; a FIFO waits here for its reader.
    AtomicOutput png_target, csv_target;
    if (png)
        if (Status status = begin_output(options.png_path, png_target); !status.ok())
            return status;
    if (csv)
        if (Status status = begin_output(options.csv_path, csv_target); !status.ok())
            return status;
    if (Status status = measure_response(params, options.rate, options.native_rate, plot.points); !status.ok())
        return status;
    plot.title = plot_title(params, options.rate);

    if (png)
        if (Status status = write_png(plot, png_target); !status.ok())
            return status;
    if (csv)
        if (Status status = write_csv(plot.points, csv_target); !status.ok())
            return status;

    int unbounded = 0;
    for (const ResponsePoint &p : plot.points)
        unbounded += std::isnan(p.left_db) || std::isnan(p.right_db);
    if (unbounded > 0)
        std::fprintf(stderr, "korva: the output grew without bound at %d of %zu frequencies (nan in the "
                     "table, gaps in the plot)\n", unbounded, plot.points.size());
    if (!options.quiet) {
        std::fputs(preset_report_line(preset).c_str(), stdout);
        std::printf("frequencies: %zu, %.0f Hz to %.0f Hz at %d Hz\n", plot.points.size(),
                    plot.points.front().frequency, plot.points.back().frequency, options.rate);
        std::printf("left:        %s\n", extremes(plot.points, false).c_str());
        std::printf("right:       %s\n", extremes(plot.points, true).c_str());
        if (!options.png_path.empty())
            std::printf("plot:        %s\n", options.png_path.c_str());
        if (!options.csv_path.empty())
            std::printf("table:       %s\n", options.csv_path.c_str());
    }
    return success();
}
