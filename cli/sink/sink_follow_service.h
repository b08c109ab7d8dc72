// The user service that runs `korva sink follow` (korva-follow.service,
// pipewire/korva-follow.service.in): `korva sink install` enables and starts
// it through the user's systemd, `korva sink remove` stops and disables it.
// Without a user systemd that answers, each prints the command to run and
// the install or removal still succeeds.
#ifndef KORVA_CLI_SINK_FOLLOW_SERVICE_H
#define KORVA_CLI_SINK_FOLLOW_SERVICE_H

void enable_follow_service();
void disable_follow_service();

#endif
