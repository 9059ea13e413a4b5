// synth-render: plays a standard MIDI file through both instruments into a
// 16-bit mono WAV file (44100 Hz unless --rate says otherwise), exactly as the
// stream callback would sound it with each message arriving just before its
// sample.
#include <getopt.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>

#include "app/setting_options.h"
#include "app/start_engine.h"
#include "engine/engine.h"
#include "files/instrument_file.h"
#include "files/midi_file.h"
#include "files/wav_file.h"
#include "engine/notes.h"

namespace {

const char* const USAGE =
    "usage: synth-render [options] INPUT.mid OUTPUT.wav\n"
    "  --i1 FILE        load instrument 1 from an instrument file first\n"
    "  --i2 FILE        load instrument 2 likewise\n"
    "  --tail S         the most seconds rendered after the last event (default 10)\n"
    "  --rate N         samples per second, 8000 to 192000 (default 44100)\n"
    "  --quiet          no progress display\n"
    "  --help, --version  print these options, or the version, and exit\n"
    "An OUTPUT.wav of - writes the WAV file to standard output.\n"
    "the settings both instruments share:\n";

// A WAV file counts its bytes in 32 bits.
constexpr int64_t MAX_SAMPLES = (int64_t(0xFFFFFFFF) - 4096) / 2;
constexpr double MAX_TAIL = 24 * 3600.0;

struct options {
    std::string i1, i2, input, output;
    int setting[KINDS]; // the shared settings by kind, from the table's start-up values
    double tail = 10.0;
    int rate = LENGTH_RATE;
    bool quiet = false;
    options() { start_settings(setting); }
};

[[noreturn]] void usage_error(const std::string& why) {
    std::fprintf(stderr, "synth-render: %s\n%s%s", why.c_str(), USAGE, settings_usage().c_str());
    std::exit(2);
}

const char* file_name(const char* option, const char* text) {
    if (*text == '\0') usage_error(std::string("--") + option + " takes a file name, not an empty one");
    return text;
}

options parse(int argc, char** argv) {
    // A setting's option returns SETTING + its kind.
    enum { I1 = 256, I2, TAIL, RATE, QUIET, HELP, VERSION, SETTING };
    std::vector<option> longs = {
        {"i1", required_argument, nullptr, I1}, {"i2", required_argument, nullptr, I2},
        {"tail", required_argument, nullptr, TAIL}, {"rate", required_argument, nullptr, RATE},
        {"quiet", no_argument, nullptr, QUIET}, {"help", no_argument, nullptr, HELP},
        {"version", no_argument, nullptr, VERSION}};
    add_setting_options(longs, SETTING);
    options o;
    opterr = 0;
    int c;
    while ((c = getopt_long(argc, argv, ":", longs.data(), nullptr)) != -1) {
        if (c >= SETTING && c < SETTING + KINDS) {
            std::string why;
            if (!parse_setting(c - SETTING, optarg, &o.setting[c - SETTING], &why)) usage_error(why);
            continue;
        }
        switch (c) {
        case I1: o.i1 = file_name("i1", optarg); break;
        case I2: o.i2 = file_name("i2", optarg); break;
        case TAIL: {
            char* end = nullptr;
            double t = std::strtod(optarg, &end);
            if (*optarg == '\0' || *end != '\0' || !(t >= 0.0 && t <= MAX_TAIL))
                usage_error(std::string("--tail takes a number of seconds from 0 to 86400, not \"") +
                            optarg + "\"");
            o.tail = t;
            break;
        }
        case RATE: {
            std::string why;
            if (!parse_rate(optarg, &o.rate, &why)) usage_error(why);
            break;
        }
        case QUIET: o.quiet = true; break;
        case HELP:
            std::fputs(USAGE, stdout);
            std::fputs(settings_usage().c_str(), stdout);
            std::exit(0);
        case VERSION: std::printf("synth-render %s\n", SYNTH_VERSION); std::exit(0);
        default: usage_error(option_complaint(c, argv));
        }
    }
    if (argc - optind != 2) usage_error("give one MIDI file and one WAV file");
    o.input = argv[optind];
    o.output = argv[optind + 1];
    return o;
}

// Opens the output, "-" being standard output. An output that is one of the
// files read, by whatever name, is refused: writing it would lose that file.
bool open_output(const options& o, wav_writer& out, std::string* error) {
    if (o.output.empty()) usage_error("the output needs a name (- for standard output)");
    const bool to_stdout = o.output == "-";
    const std::string name = to_stdout ? "standard output" : o.output;
    struct stat st;
    if (to_stdout ? ::fstat(1, &st) == 0 : ::stat(o.output.c_str(), &st) == 0) {
        const std::pair<const std::string*, const char*> read[] = {
            {&o.input, "the MIDI file"}, {&o.i1, "the instrument file"}, {&o.i2, "the instrument file"}};
        for (auto [file, what] : read) {
            struct stat f;
            if (file->empty() || ::stat(file->c_str(), &f) != 0) continue;
            // Where files have no inode numbers (Windows), the file system says.
            std::error_code ec;
            const bool same = st.st_ino != 0 ? f.st_dev == st.st_dev && f.st_ino == st.st_ino
                                             : !to_stdout && std::filesystem::equivalent(*file, o.output, ec);
            if (same) {
                *error = name + ": is the same file as " + what + " " + *file + "; give another output";
                return false;
            }
        }
    }
    if (!to_stdout) return out.open(o.output, o.rate, error);
    if (::isatty(1)) {
        *error = "standard output is a terminal: redirect it, or give a file name for the output";
        return false;
    }
    return out.open_into(1, name, o.rate, error);
}

// The output being written, removed again on failure.
wav_writer* unfinished = nullptr;

[[noreturn]] void fail(const std::string& message) {
    if (unfinished) unfinished->abort();
    std::fprintf(stderr, "synth-render: %s\n", message.c_str());
    std::exit(1);
}

// An interruption removes the unfinished output before the program ends.
volatile sig_atomic_t interrupted = 0;
void on_signal(int sig) { interrupted = sig; }

// Progress on a terminal, once rendering has taken more than a moment.
struct progress {
    bool shown_ever = false, enabled;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now(), last = start;
    double rate, until_last_event;

    progress(bool on, int64_t last_event, int r) : enabled(on), rate(r), until_last_event(double(last_event) / r) {}
    void update(int64_t rendered) {
        if (!enabled) return;
        auto now = std::chrono::steady_clock::now();
        if (now - start < std::chrono::milliseconds(500) || now - last < std::chrono::milliseconds(200))
            return;
        last = now;
        shown_ever = true;
        double s = double(rendered) / rate;
        if (s < until_last_event)
            std::fprintf(stderr, "\rsynth-render: %.1f of %.1f s (%d%%)   ", s, until_last_event,
                         int(100.0 * s / until_last_event));
        else
            std::fprintf(stderr, "\rsynth-render: %.1f s, sounding out the last notes   ", s);
    }
    void done() {
        if (shown_ever) std::fprintf(stderr, "\r\033[K");
    }
};

} // namespace

int main(int argc, char** argv) {
    const options o = parse(argc, argv);

    std::string error;
    auto events = read_midi_file(o.input, o.rate, &error);
    if (!events) fail(error);
    // Every message goes to the engine, whose routing takes the channel's.
    const std::vector<midi_event>& played = *events;

    synth_engine engine(float(o.rate));
    instrument_files files{{o.i1, o.i2}, {}};
    bool given[KINDS];
    for (int kind = 0; kind < KINDS; ++kind)
        given[kind] = has_option(kind);
    if (!start_engine(engine, files, o.setting, given, &error)) fail(error);

    for (int sig : {SIGINT, SIGTERM, SIGHUP}) std::signal(sig, on_signal);
    wav_writer out;
    if (!open_output(o, out, &error)) fail(error);
    unfinished = &out;

    // The output runs to the last message the engine listens to, then its tail.
    int64_t last_event = 0;
    for (const midi_event& e : played)
        if (engine.on_its_channel(e.message)) last_event = e.sample;
    if (last_event > MAX_SAMPLES) fail(o.input + ": lasts longer than a WAV file can hold");
    const int64_t tail = std::llround(o.tail * o.rate);
    progress shown(!o.quiet && isatty(2), last_event, o.rate);
    static int16_t buf[1024];
    int64_t pos = 0;
    auto stop_if_interrupted = [&] {
        if (!interrupted) return;
        out.abort();
        shown.done();
        std::signal(interrupted, SIG_DFL);
        std::raise(interrupted);
    };

    // Up to the last event, in buffers of 1024 frames with the events that
    // fall inside them; the last events act after the last buffer.
    std::vector<block_event> inside;
    for (size_t next = 0; next < played.size();) {
        const int n = int(std::min<int64_t>(1024, last_event - pos));
        inside.clear();
        for (; next < played.size() && (played[next].sample < pos + n || n == 0); ++next)
            inside.push_back({uint32_t(played[next].sample - pos), played[next].message});
        engine.render(buf, n, inside);
        if (!out.write(buf, size_t(n), &error)) fail(error);
        pos += n;
        shown.update(pos);
        stop_if_interrupted();
    }
    // After the last event: until no voice is active, at most the tail.
    for (int64_t left = std::min(tail, MAX_SAMPLES - pos); left > 0;) {
        const int n = int(std::min<int64_t>(1024, left));
        const int got = render_while_sounding(engine, buf, n);
        if (!out.write(buf, size_t(got), &error)) fail(error);
        pos += got;
        left -= got;
        if (got < n) break;
        shown.update(pos);
        stop_if_interrupted();
    }
    shown.done();
    if (!out.commit(&error)) fail(error);
    unfinished = nullptr;
    return 0;
}
