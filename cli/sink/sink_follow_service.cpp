#include "sink_follow_service.h"

#include "run_program.h"

#include <cstdio>
#include <string>

namespace {

constexpr const char *kUnit = "korva-follow.service";

// systemctl --user VERB --now korva-follow.service, and what came of it.
void change_service(const char *verb, const char *done)
{
    const ProgramRun run = run_program({"systemctl", "--user", verb, "--now", kUnit}, 30);
    if (run.started && run.exit_code == 0) {
        std::printf("%s %s (korva sink follow applies the preset of each output: korva sink profile)\n", done,
                    kUnit);
        return;
    }
    std::string why = run.started ? run.output : run.problem;
    while (!why.empty() && (why.back() == '\n' || why.back() == ' '))
        why.pop_back();
    for (char &c : why)
        if (c == '\n')
            c = ' ';
    const std::string past = std::string(verb) + "d";
    std::printf("the user service %s was not %s (%s); run\n  systemctl --user %s --now %s\n", kUnit, past.c_str(),
                why.empty() ? "systemctl failed" : why.c_str(), verb, kUnit);
}

} // namespace

void enable_follow_service()
{
    change_service("enable", "enabled and started");
}

void disable_follow_service()
{
    change_service("disable", "stopped and disabled");
}
