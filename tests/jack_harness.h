// Test helpers around a real JACK server: a server of our own with the dummy
// back-end, and a client that plays MIDI events at exact frames and records
// what arrives on two audio inputs as the exact float samples.
#pragma once

#include <jack/jack.h>
#include <sys/types.h>

#include <atomic>
#include <string>
#include <vector>

// jackd -n NAME -d dummy -r 44100 -p 1024, started by start() and stopped by
// process id in stop() or the destructor. The child gets SIGTERM if this
// process dies first.
class jack_server {
public:
    ~jack_server() { stop(); }
    // Starts the server and waits (up to 5 s) until a client can connect.
    // Sets JACK_DEFAULT_SERVER so every client of this process finds it.
    bool start(const std::string& name, int period = 1024, int rate = 44100);
    void stop();
    const std::string& name() const { return name_; }

private:
    bool start_once(const std::string& name, int period, int rate);
    pid_t pid_ = -1;
    std::string name_;
};

// The test's own JACK client "tester": MIDI output "midi_out", audio inputs
// "in_1" and "in_2". Recording runs from activation on, into storage sized
// beforehand; the process callback neither allocates nor locks.
//
// The dummy back-end runs without real-time scheduling, so now and then the
// server loses a cycle and a recording across it is broken. A test records in
// takes (see clean_take below): new_take() starts one, clean() tells whether
// the server kept every cycle since.
class jack_tester {
public:
    static constexpr int MAX_EVENTS = 1 << 16;

    struct event {
        jack_nframes_t frame; // absolute frame at which the event is to leave
        unsigned char bytes[4];
        int size;
    };

    explicit jack_tester(double seconds_to_record);
    ~jack_tester();
    bool ok() const { return client_ != nullptr; }
    jack_client_t* client() const { return client_; }

    // Starts a take: xruns and holes are counted afresh, and events queued
    // from now on are numbered from 0 in sent_frame() and events_sent().
    void new_take();
    // No xrun reported and no hole in the recording since the take began.
    bool clean() const { return xruns() == 0 && gaps() == 0; }

    // Frames of the server's clock now.
    jack_nframes_t now() const { return jack_frame_time(client_); }
    // Queues an event; events must come in order of frame. A frame already
    // past leaves at the start of the next period.
    void send(jack_nframes_t frame, std::initializer_list<unsigned char> bytes);
    // The frame at which queued event k actually left (its period's start plus
    // its offset), or 0 while it has not.
    jack_nframes_t sent_frame(int k) const { return sent_[size_t(base_ + k)].load(std::memory_order_acquire); }
    int events_sent() const { return next_.load(std::memory_order_acquire) - base_; }

    // Connects the output ports of the client whose name matches `client_regex`
    // to in_1, in_2; true when two were connected.
    bool record_from(const std::string& client_regex);
    // Waits until the recording covers `frame` (absolute), up to the given
    // number of seconds of wall time. True when it does.
    bool wait_for(jack_nframes_t frame, double seconds = 30.0) const;

    // The recorded sample of channel c (0 or 1) at an absolute frame; 0 when
    // not recorded.
    float sample(int c, jack_nframes_t frame) const;
    jack_nframes_t first_frame() const { return first_.load(std::memory_order_acquire); }
    jack_nframes_t end_frame() const; // first frame not yet recorded

    int xruns() const { return xruns_.load(); }
    // Periods whose start frame did not follow the previous period's end (a
    // client stalled for longer than a period).
    int gaps() const { return gaps_.load(); }
    int rate() const { return int(jack_get_sample_rate(client_)); }

private:
    static int process(jack_nframes_t n, void* self);
    static int xrun(void* self);

    jack_client_t* client_ = nullptr;
    jack_port_t* midi_out_ = nullptr;
    jack_port_t* in_[2] = {};
    std::vector<float> rec_[2];
    std::atomic<jack_nframes_t> first_{0};
    std::atomic<bool> started_{false};
    std::atomic<size_t> recorded_{0};
    std::vector<event> events_;
    std::vector<std::atomic<jack_nframes_t>> sent_;
    std::atomic<int> queued_{0};
    std::atomic<int> next_{0};
    std::atomic<int> xruns_{0};
    std::atomic<int> gaps_{0};
    int base_ = 0; // the take's first event
};

// Records up to five takes until one is clean: `take` starts after
// tester.new_take(), sends what it sends and waits until the recording covers
// it; it returns false when it failed outright (an assertion of its own).
// Returns true after a clean take, whose recording the caller then checks. A
// broken take is reported and taken again; when none of the five is clean the
// test is skipped, naming the xruns, and false is returned: the test neither
// passes nor fails on a broken recording.
template <class Take>
bool clean_take(jack_tester& tester, Take take, int takes = 5);
// The same, but a take the server broke still counts when `exact()` finds
// its recording exactly as expected: a lost cycle can only spoil a recording,
// never make a wrong one right, and at the shortest periods the dummy
// back-end reports an xrun for a cycle that merely started a few
// microseconds late (every client still ran it), often in every take.
template <class Take, class Exact>
bool exact_take(jack_tester& tester, Take take, Exact exact, int takes = 5);

int report_broken_take(const jack_tester& tester, int take, int takes); // xruns + holes seen
void skip_without_clean_take(int takes, int broken);

template <class Take, class Exact>
bool exact_take(jack_tester& tester, Take take, Exact exact, int takes) {
    int broken = 0;
    for (int k = 1; k <= takes; ++k) {
        tester.new_take();
        if (!take()) return false;
        if (tester.clean() || exact()) return true;
        broken += report_broken_take(tester, k, takes);
    }
    skip_without_clean_take(takes, broken);
    return false;
}

template <class Take>
bool clean_take(jack_tester& tester, Take take, int takes) {
    return exact_take(tester, take, [] { return false; }, takes);
}
