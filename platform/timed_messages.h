// MIDI messages on their way from a MIDI library's thread to the audio
// callback, and the frame each one takes in the buffer being filled.
//
// A device whose messages carry no frame (the ALSA sequencer) stamps each one
// with the time it arrived. The audio callback plays everything that arrived
// during the previous buffer's time at the same place in the current buffer:
// every message is late by one buffer, never more, never less, so notes keep
// the spacing they were played with.
#pragma once

#include <atomic>
#include <cstdint>

#include "engine/engine.h"

struct timed_message {
    int64_t ns;            // arrival, on the monotonic clock
    unsigned long message; // packed (engine/midi_message.h)
};

// Nanoseconds on the monotonic clock; a vDSO read, no system call.
int64_t monotonic_ns() noexcept;

// One producer thread, one consumer thread; fixed storage, no lock. A full
// queue drops the new message (the consumer is more than CAPACITY behind).
class message_queue {
public:
    static constexpr uint32_t CAPACITY = 1024; // a power of two

    bool push(const timed_message& m) noexcept {
        const uint32_t t = tail_.load(std::memory_order_relaxed);
        if (t - head_.load(std::memory_order_acquire) == CAPACITY) return false;
        slots_[t % CAPACITY] = m;
        tail_.store(t + 1, std::memory_order_release);
        return true;
    }
    // The oldest message, without taking it; null when empty.
    const timed_message* front() noexcept {
        const uint32_t h = head_.load(std::memory_order_relaxed);
        if (h == tail_.load(std::memory_order_acquire)) return nullptr;
        return &slots_[h % CAPACITY];
    }
    void pop() noexcept { head_.store(head_.load(std::memory_order_relaxed) + 1, std::memory_order_release); }

private:
    timed_message slots_[CAPACITY];
    alignas(64) std::atomic<uint32_t> head_{0};
    alignas(64) std::atomic<uint32_t> tail_{0};
};

// Maps arrival times to frames of the buffer being filled. The callback's
// own start time wobbles with scheduling; the buffer clock follows it
// slowly (a tenth of the difference per buffer) and starts over after a gap
// of more than a buffer (an xrun, or the first buffer).
class arrival_placer {
public:
    // Called once at the start of each callback with the time now.
    void start_buffer(int64_t now_ns, int frames, double rate) noexcept {
        const int64_t length = int64_t(double(frames) * 1e9 / rate);
        const int64_t expected = end_ + length;
        const int64_t off = now_ns - expected;
        if (!started_ || off > length || off < -length)
            end_ = now_ns;
        else
            end_ = expected + off / 10;
        started_ = true;
        length_ = length;
        frames_ = frames;
        rate_ = rate;
    }
    // The frame of this buffer for a message that arrived at `ns`: what
    // arrived before the previous buffer's time goes first (0); -1 for a
    // message that arrived after this buffer's time began (it waits for the
    // next buffer).
    int frame(int64_t ns) const noexcept {
        if (ns >= end_) return -1;
        const int64_t since = ns - (end_ - length_);
        if (since <= 0) return 0;
        const int f = int(double(since) * rate_ / 1e9);
        return f < frames_ ? f : frames_ - 1;
    }

private:
    bool started_ = false;
    int64_t end_ = 0; // the end of the previous buffer's time = this callback's start
    int64_t length_ = 0;
    int frames_ = 0;
    double rate_ = 44100.0;
};

// Plays one buffer of `frames` samples: the messages waiting in the sources'
// queues, oldest first, each at the frame its arrival gives it, through the
// engine's door; what arrived during this buffer's time waits for the next.
inline void play_arrivals(synth_engine& engine, int16_t* out, int frames, arrival_placer& placer,
                          message_queue* queues, int sources) {
    placer.start_buffer(monotonic_ns(), frames, double(engine.rate()));
    block_writer<int16_t> block(engine, out);
    for (;;) {
        message_queue* oldest = nullptr;
        for (int q = 0; q < sources; ++q) {
            const timed_message* m = queues[q].front();
            if (m && (!oldest || m->ns < oldest->front()->ns)) oldest = &queues[q];
        }
        if (!oldest) break;
        const int at = placer.frame(oldest->front()->ns);
        if (at < 0) break;
        block.add(uint32_t(at), oldest->front()->message);
        oldest->pop();
    }
    block.flush(uint32_t(frames));
}
