// Standard MIDI files in, timed short messages out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct midi_event {
    int64_t sample;   // handed over just before this output sample is rendered
    uint32_t message; // status | first data byte << 8 | second data byte << 16
};

// Reads a standard MIDI file of type 0 or 1 with metrical time. Returns every
// channel message of every track (meta and system-exclusive events left out)
// in time order, ties by lower track first, then file order. An event t
// microseconds from the start (exactly, from the tempo map) is due at sample
// floor(t * rate / 1000000). On failure nothing is returned and error says
// what is wrong with the file.
//
// A regular file is read as it is; a FIFO or pipe is read until its writer
// closes it. Time and memory grow linearly with the file.
std::optional<std::vector<midi_event>> read_midi_file(const std::string& path, int rate,
                                                      std::string* error);

// The same for a file's bytes in memory; error then names no file.
std::optional<std::vector<midi_event>> read_midi_data(const uint8_t* data, size_t size, int rate,
                                                      std::string* error);

// The sample of a time given as a sum of pulses times microseconds per quarter
// note, in a file of ppqn pulses per quarter note: floor(us_pulses * rate /
// (ppqn * 1000000)), exact for every value a file can give.
int64_t sample_at(unsigned __int128 us_pulses, int ppqn, int rate);
