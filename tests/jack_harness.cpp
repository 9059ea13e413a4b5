#include "jack_harness.h"

#include <gtest/gtest.h>

#include <jack/midiport.h>
#include <signal.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

void quiet(const char*) {}

bool server_answers() {
    jack_status_t st;
    jack_client_t* c = jack_client_open("probe", JackNoStartServer, &st);
    if (!c) return false;
    jack_client_close(c);
    return true;
}

// Gives this process (and the servers it starts) a /dev/shm of its own, where
// JACK keeps its server registry, sockets and semaphores. The registry holds
// eight servers per machine, and entries of servers that were killed without
// a chance to clean up stay there for good; a private one keeps such leftovers
// (ours or anybody's) from refusing our server. Needs CAP_SYS_ADMIN; without
// it the machine's /dev/shm is used as it is.
void private_shm() {
    static bool done = false;
    if (done) return;
    done = true;
    if (unshare(CLONE_NEWNS) != 0) return;
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", "/dev/shm", "tmpfs", MS_NOSUID | MS_NODEV, "mode=1777") != 0)
        return;
}

} // namespace

bool jack_server::start(const std::string& name, int period, int rate) {
    // A server starting while others start or stop on this machine now and
    // then fails at once (the servers share one registry): try again.
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (start_once(name, period, rate)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return false;
}

bool jack_server::start_once(const std::string& name, int period, int rate) {
    stop();
    private_shm();
    name_ = name;
    setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
    setenv("JACK_NO_START_SERVER", "1", 1);
    jack_set_error_function(quiet);
    jack_set_info_function(quiet);
    std::string p = std::to_string(period), r = std::to_string(rate);
    std::string log = "/tmp/" + name + ".log";
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(1);
        int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, 1);
        dup2(out, 2);
        execlp("jackd", "jackd", "-n", name.c_str(), "-d", "dummy", "-r", r.c_str(), "-p", p.c_str(),
               (char*)nullptr);
        _exit(127);
    }
    pid_ = pid;
    for (int k = 0; k < 100; ++k) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            std::fprintf(stderr, "jackd %s ended at once:\n", name.c_str());
            std::fflush(stderr);
            if (std::system(("tail -n 5 " + log + " >&2").c_str()) != 0) {} // its log is only shown
            unlink(log.c_str());
            return false;
        }
        if (server_answers()) {
            unlink(log.c_str());
            return true;
        }
    }
    stop();
    unlink(log.c_str());
    return false;
}

void jack_server::stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    for (int k = 0; k < 100; ++k) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

jack_tester::jack_tester(double seconds)
    : events_(MAX_EVENTS), sent_(MAX_EVENTS) {
    jack_status_t st;
    client_ = jack_client_open("tester", JackNoStartServer, &st);
    if (!client_) return;
    size_t frames = size_t(seconds * jack_get_sample_rate(client_));
    rec_[0].assign(frames, 0.0f);
    rec_[1].assign(frames, 0.0f);
    midi_out_ = jack_port_register(client_, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    in_[0] = jack_port_register(client_, "in_1", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    in_[1] = jack_port_register(client_, "in_2", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(client_, process, this);
    jack_set_xrun_callback(client_, xrun, this);
    if (!midi_out_ || !in_[0] || !in_[1] || jack_activate(client_) != 0) {
        jack_client_close(client_);
        client_ = nullptr;
    }
}

jack_tester::~jack_tester() {
    if (client_) jack_client_close(client_);
}

void jack_tester::new_take() {
    base_ = queued_.load(std::memory_order_relaxed);
    xruns_.store(0);
    gaps_.store(0);
}

int report_broken_take(const jack_tester& tester, int take, int takes) {
    std::fprintf(stderr, "take %d of %d broken by the server (%d xruns, %d holes in the recording)%s\n", take,
                 takes, tester.xruns(), tester.gaps(), take < takes ? ": taking it again" : "");
    return tester.xruns() + tester.gaps();
}

void skip_without_clean_take(int takes, int broken) {
    GTEST_SKIP() << "no clean take in " << takes << ": the JACK server lost cycles " << broken
                 << " times while recording";
}

void jack_tester::send(jack_nframes_t frame, std::initializer_list<unsigned char> bytes) {
    int k = queued_.load(std::memory_order_relaxed);
    if (k >= MAX_EVENTS) return;
    event& e = events_[size_t(k)];
    e.frame = frame;
    e.size = int(bytes.size() > 4 ? 4 : bytes.size());
    std::memcpy(e.bytes, bytes.begin(), size_t(e.size));
    queued_.store(k + 1, std::memory_order_release);
}

int jack_tester::process(jack_nframes_t n, void* self) {
    jack_tester& t = *static_cast<jack_tester*>(self);
    jack_nframes_t start = jack_last_frame_time(t.client_);

    void* midi = jack_port_get_buffer(t.midi_out_, n);
    jack_midi_clear_buffer(midi);
    int queued = t.queued_.load(std::memory_order_acquire);
    int k = t.next_.load(std::memory_order_relaxed);
    while (k < queued) {
        const event& e = t.events_[size_t(k)];
        if (jack_nframes_t(e.frame - start) < 0x80000000u && e.frame - start >= n) break; // later
        jack_nframes_t offset = jack_nframes_t(e.frame - start) < n ? e.frame - start : 0;
        if (jack_midi_event_write(midi, offset, e.bytes, size_t(e.size)) != 0) break; // full: next period
        t.sent_[size_t(k)].store(start + offset, std::memory_order_release);
        ++k;
    }
    t.next_.store(k, std::memory_order_release);

    if (!t.started_.load(std::memory_order_relaxed)) {
        t.first_.store(start, std::memory_order_release);
        t.started_.store(true, std::memory_order_release);
    }
    // Samples are kept at their frame's place, so a period the server skipped
    // leaves a hole (of zeros) instead of shifting what follows.
    size_t at = size_t(jack_nframes_t(start - t.first_.load(std::memory_order_relaxed)));
    size_t end = t.recorded_.load(std::memory_order_relaxed);
    if (at != end && end < t.rec_[0].size()) t.gaps_.fetch_add(1);
    if (at < t.rec_[0].size()) {
        size_t take = std::min<size_t>(n, t.rec_[0].size() - at);
        for (int c = 0; c < 2; ++c) {
            const float* in = static_cast<const float*>(jack_port_get_buffer(t.in_[c], n));
            std::memcpy(t.rec_[c].data() + at, in, take * sizeof(float));
        }
        t.recorded_.store(at + take, std::memory_order_release);
    }
    return 0;
}

int jack_tester::xrun(void* self) {
    static_cast<jack_tester*>(self)->xruns_.fetch_add(1);
    return 0;
}

bool jack_tester::record_from(const std::string& client_regex) {
    const char** ports = jack_get_ports(client_, (client_regex + ":").c_str(), JACK_DEFAULT_AUDIO_TYPE,
                                        JackPortIsOutput);
    if (!ports) return false;
    int connected = 0;
    for (int k = 0; ports[k] && connected < 2; ++k)
        if (jack_connect(client_, ports[k], jack_port_name(in_[connected])) == 0) ++connected;
    jack_free(ports);
    return connected == 2;
}

jack_nframes_t jack_tester::end_frame() const {
    if (!started_.load(std::memory_order_acquire)) return 0;
    return first_.load(std::memory_order_acquire) + jack_nframes_t(recorded_.load(std::memory_order_acquire));
}

bool jack_tester::wait_for(jack_nframes_t frame, double seconds) const {
    auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < until) {
        if (started_.load(std::memory_order_acquire) && jack_nframes_t(end_frame() - frame) - 1 < 0x80000000u)
            return true;
        if (recorded_.load() == rec_[0].size()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

float jack_tester::sample(int c, jack_nframes_t frame) const {
    if (!started_.load(std::memory_order_acquire)) return 0.0f;
    size_t i = size_t(jack_nframes_t(frame - first_.load(std::memory_order_acquire)));
    if (i >= recorded_.load(std::memory_order_acquire)) return 0.0f;
    return rec_[c][i];
}
