/*
 * The stand-in player's window: the file playing, Play and Stop, the
 * position, and the plug-in's Configure and About. Interface thread only.
 */
#ifndef KORVA_KORVA_HOST_HOST_WINDOW_H
#define KORVA_KORVA_HOST_HOST_WINDOW_H

#include "host_app.h"

// Builds and shows the window. Closing it leaves the main loop.
void host_window_open(HostApp &app);

// Starts playback and reports a failure in the window.
void host_window_play(HostApp &app);

// Stops the position updates; call after the main loop has ended.
void host_window_close(HostApp &app);

#endif
