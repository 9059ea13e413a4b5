// Hands the samples of fixed-size blocks out to output buffers of any size.
//
// The stream callback always fills one whole block of `samples` mono samples;
// the audio host may ask for any number of frames of one or more channels.
// The feed keeps the unplayed rest of the last block and asks for the next
// one only when that rest runs out, so every sample is played once, in order,
// on every channel. No allocation: the block is storage owned by the caller.
#pragma once

#include <cstdint>

class block_feed {
public:
    block_feed(int16_t* block, int samples) noexcept : block_(block), n_(samples), pos_(samples) {}

    // Writes `frames` frames of `channels` interleaved samples to out. fill()
    // refills the whole block and answers whether the stream goes on; after a
    // false answer the block it filled is still played, then only silence.
    // Returns false once nothing but silence is left.
    template <class Fill>
    bool write(int16_t* out, unsigned long frames, int channels, Fill&& fill) noexcept {
        for (unsigned long f = 0; f < frames; ++f) {
            if (pos_ == n_ && !ended_) {
                if (last_) {
                    ended_ = true;
                } else {
                    last_ = !fill();
                    pos_ = 0;
                }
            }
            int16_t v = ended_ ? int16_t(0) : block_[pos_++];
            for (int c = 0; c < channels; ++c) out[f * unsigned(channels) + unsigned(c)] = v;
        }
        if (pos_ == n_ && last_) ended_ = true;
        return !ended_;
    }

    bool ended() const noexcept { return ended_; }

private:
    int16_t* block_;
    int n_;
    int pos_;
    bool last_ = false;  // the callback has asked to stop after this block
    bool ended_ = false; // the last block has been played
};
