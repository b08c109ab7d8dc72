#include "param_options.h"

#include "param_sources.h"

void add_param_options(CLI::App *command, ParamSources &sources)
{
    command->add_option("--config", sources.config_path,
                        "start from the \"xmkorva-5\" section of a player configuration file")
        ->type_name("FILE");
    command->add_option("--preset", sources.preset_path,
                        "start from a preset file, or a factory preset by name (after --config; "
                        "`korva preset list` names them; anything of that name in the working folder, "
                        "even a broken link, is the user's file and wins)")
        ->type_name("FILE|NAME");
    command->add_option("--set", sources.assignments,
                        "set one parameter by field name, last and in order; VALUE is a 32-bit "
                        "integer stored truncated to the field's width (repeatable)")
        ->type_name("FIELD=VALUE")
        ->allow_extra_args(false);
    command->footer(std::string("Parameters: the defaults, then --config, then --preset, then each --set in "
                                "order.\n\nFields, with the range the window offers and the width each is "
                                "stored in (a value outside the range is kept, truncated to that width): ") +
                    field_range_list());
}
