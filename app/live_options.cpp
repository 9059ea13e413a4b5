#include "app/live_options.h"

#include <getopt.h>

#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "app/setting_options.h"
#include "platform/outputs.h"
#include "platform/stop_request.h"

namespace {

// The --audio names, for a complaint: "jack, alsa, none or auto".
std::string audio_names() {
    int count;
    const output_row* rows = output_rows(&count);
    std::string names;
    for (int k = 0; k < count; ++k) names += std::string(rows[k].name) + (k + 1 < count ? ", " : " or auto");
    return names;
}

// The usage lines of --audio, --period and --rate, from the table of outputs.
std::string audio_usage() {
    int count;
    const output_row* rows = output_rows(&count);
    std::string text = "  --audio A          where the sound goes; auto (the default) tries each in turn:\n";
    std::string own_clock;
    for (int k = 0; k < count; ++k) {
        std::string name = rows[k].name;
        name.resize(std::max<size_t>(name.size() + 1, 8), ' ');
        text += "                       " + name + rows[k].usage + "\n";
        if (rows[k].own_clock) own_clock += std::string(own_clock.empty() ? "; " : ", ") + rows[k].host;
    }
    if (!own_clock.empty()) own_clock += " uses the server's";
    return text + "  --period N         frames per buffer, 16 to 8192 (default 256" + own_clock + ")\n" +
           "  --rate N           samples per second, 8000 to 192000 (default 44100" + own_clock + ")\n";
}

} // namespace

live_options::live_options() { start_settings(setting); }

std::string live_usage() {
    return "usage: synth [options]\n"
           "  --i1 FILE          load instrument 1 from an instrument file\n"
           "  --i2 FILE          load instrument 2 likewise\n" +
           audio_usage() +
           "  --midi M           first: the first source that is no loopback (default); all: every\n"
           "                     physical source, also ones that appear later; none; or any other\n"
           "                     text: every source whose name contains it\n"
           "  --list-devices     print the audio outputs and MIDI sources and exit\n"
           "  --no-gui           no panel: play until interrupted (" + stop_request_names() + ")\n"
           "  --help, --version\n"
           "the settings both instruments share:\n" +
           settings_usage();
}

parse_result parse_live_options(int argc, char** argv, live_options* o, std::string* message) {
    enum { I1 = 256, I2, AUDIO, PERIOD, RATE, MIDI, LIST, NO_GUI, HELP, VERSION, SETTING };
    std::vector<option> longs = {
        {"i1", required_argument, nullptr, I1},        {"i2", required_argument, nullptr, I2},
        {"audio", required_argument, nullptr, AUDIO},  {"period", required_argument, nullptr, PERIOD},
        {"rate", required_argument, nullptr, RATE},
        {"midi", required_argument, nullptr, MIDI},    {"list-devices", no_argument, nullptr, LIST},
        {"no-gui", no_argument, nullptr, NO_GUI},      {"help", no_argument, nullptr, HELP},
        {"version", no_argument, nullptr, VERSION}};
    add_setting_options(longs, SETTING);
    opterr = 0;
    optind = 0; // a fresh scan on every call
    int c;
    while ((c = getopt_long(argc, argv, ":", longs.data(), nullptr)) != -1) {
        if (c >= SETTING && c < SETTING + KINDS) {
            if (!parse_setting(c - SETTING, optarg, &o->setting[c - SETTING], message))
                return parse_result::bad_usage;
            o->given[c - SETTING] = true;
            continue;
        }
        const std::string arg = optarg ? optarg : "";
        switch (c) {
        case I1: o->i1 = arg; break;
        case I2: o->i2 = arg; break;
        case AUDIO:
            if (arg != "auto" && !output_row_named(arg)) {
                *message = "--audio takes " + audio_names() + ", not \"" + arg + "\"";
                return parse_result::bad_usage;
            }
            o->devices.audio = arg;
            break;
        case PERIOD: {
            char* end = nullptr;
            errno = 0;
            const long n = std::strtol(optarg, &end, 10);
            if (arg.empty() || *end != '\0' || errno != 0 || n < MIN_PERIOD || n > MAX_PERIOD) {
                *message = "--period takes a number of frames from " + std::to_string(MIN_PERIOD) + " to " +
                           std::to_string(MAX_PERIOD) + ", not \"" + arg + "\"";
                return parse_result::bad_usage;
            }
            o->devices.period = int(n);
            break;
        }
        case RATE:
            if (!parse_rate(optarg, &o->devices.rate, message)) return parse_result::bad_usage;
            break;
        case MIDI:
            if (arg == "first") o->devices.midi = midi_choice::first;
            else if (arg == "all") o->devices.midi = midi_choice::all;
            else if (arg == "none") o->devices.midi = midi_choice::none;
            else if (arg.empty()) {
                *message = "--midi takes first, all, none or part of a source's name";
                return parse_result::bad_usage;
            } else {
                o->devices.midi = midi_choice::named;
                o->devices.midi_name = arg;
            }
            break;
        case LIST: o->list_devices = true; break;
        case NO_GUI: o->no_gui = true; break;
        case HELP: std::fputs(live_usage().c_str(), stdout); return parse_result::done;
        case VERSION: std::printf("synth %s\n", SYNTH_VERSION); return parse_result::done;
        default: *message = option_complaint(c, argv); return parse_result::bad_usage;
        }
    }
    if (optind < argc) {
        *message = std::string("unexpected argument ") + argv[optind];
        return parse_result::bad_usage;
    }
    return parse_result::run;
}
