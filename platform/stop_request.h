// How the system asks the live program to stop: SIGINT and SIGTERM on Linux
// (platform/linux/stop_request.cpp); Ctrl+C, Ctrl+Break and closing the console on
// Windows (platform/windows/stop_request.cpp).
#pragma once

// Without a panel. Called before any thread of the sound and MIDI libraries
// starts: from here on a stop request waits for wait_for_stop_request.
void hold_stop_requests();
// Blocks until a stop request comes; returns to shut down.
void wait_for_stop_request();

// With a panel: each stop request calls `stop` (from whatever thread the
// system delivers it on; it must only set a flag).
void on_stop_request(void (*stop)());

// What asks for a stop, for the usage text: "SIGINT or SIGTERM".
const char* stop_request_names();
