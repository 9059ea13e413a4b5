// Listens to what the synthesizer plays into JACK and describes it.
//
// Connects an input port to every port that feeds system:playback_1, records
// for the given number of seconds and prints one line:
//   frames N rms R crossings_per_second C xruns X
// where R is the root mean square in 16-bit sample units, C counts upward
// zero crossings (the pitch of a plain tone) and X counts the cycles the
// server lost while recording (xruns reported, or periods missing from the
// recording): a recording with X > 0 is broken and is to be taken again.
//
// Usage: jack_tap SECONDS   (the server is JACK_DEFAULT_SERVER)
#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

jack_client_t* client;
jack_port_t* in_port;
std::vector<float> recorded;
std::atomic<size_t> filled{0};
std::atomic<int> lost{0};
jack_nframes_t next_start;
bool started = false;

int process(jack_nframes_t n, void*) {
    const jack_nframes_t start = jack_last_frame_time(client);
    if (started && start != next_start) lost.fetch_add(1);
    started = true;
    next_start = start + n;
    const float* in = static_cast<const float*>(jack_port_get_buffer(in_port, n));
    size_t at = filled.load(std::memory_order_relaxed);
    for (jack_nframes_t i = 0; i < n && at < recorded.size(); ++i) recorded[at++] = in[i];
    filled.store(at, std::memory_order_release);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 1.0;
    client = jack_client_open("pan_tap", JackNoStartServer, nullptr);
    if (!client) {
        std::fprintf(stderr, "jack_tap: no JACK server\n");
        return 1;
    }
    const jack_nframes_t rate = jack_get_sample_rate(client);
    recorded.assign(size_t(seconds * rate), 0.0f);
    in_port = jack_port_register(client, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(client, process, nullptr);
    jack_set_xrun_callback(client, [](void*) { lost.fetch_add(1); return 0; }, nullptr);
    if (jack_activate(client) != 0) return 1;

    jack_port_t* speaker = jack_port_by_name(client, "system:playback_1");
    const char** sources = speaker ? jack_port_get_all_connections(client, speaker) : nullptr;
    int connected = 0;
    for (int i = 0; sources && sources[i]; ++i)
        if (jack_connect(client, sources[i], jack_port_name(in_port)) == 0) ++connected;
    if (sources) jack_free(sources);
    if (connected == 0) {
        std::fprintf(stderr, "jack_tap: nothing plays into system:playback_1\n");
        jack_client_close(client);
        return 1;
    }
    // Wait for the recording to fill (the dummy back-end runs in real time).
    for (int waited = 0; filled.load(std::memory_order_acquire) < recorded.size(); ++waited) {
        if (waited > int(seconds * 1000) + 5000) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    jack_client_close(client);

    const size_t n = filled.load();
    double sum = 0.0;
    long crossings = 0;
    for (size_t i = 0; i < n; ++i) {
        const double s = recorded[i] * 32768.0;
        sum += s * s;
        if (i > 0 && recorded[i - 1] < 0.0f && recorded[i] >= 0.0f) ++crossings;
    }
    std::printf("frames %zu rms %.1f crossings_per_second %.1f xruns %d\n", n, n ? std::sqrt(sum / n) : 0.0,
                n ? crossings * double(rate) / n : 0.0, lost.load());
    return 0;
}
