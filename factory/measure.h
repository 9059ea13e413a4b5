// How an instrument sounds, by measurement: it is played through the engine
// (instrument 1, start-up settings otherwise) and the output samples are
// examined. Used by the factory tests and by factory_measure, which prints
// the figures for every factory instrument.
#pragma once

#include <cstdint>
#include <vector>

#include "files/instrument_file.h"

// Decibels relative to full scale (32768); silence is -inf.
double dbfs(double magnitude);

struct sound_figures {
    double chord_peak;   // dBFS: the loudest sample of four-note chords at velocity 127
    double note_peak;    // dBFS: the loudest sample of one note at velocity 127
    double note_rms;     // dBFS: one note's loudest 100 ms, its mean taken off
    double rise_ms;      // note-on to the first 10 ms at 90 % of the note's loudest
    double held_db;      // the level 1.5 s after note-on, against the loudest (dB)
    double ring_ms;      // key up to the last sound above -60 dB of the loudest
};

// The note the single-note figures play, and the chords.
constexpr int MEASURED_NOTE = 48;
constexpr int MEASURED_CHORDS[3][4] = {{36, 40, 43, 48}, {48, 52, 55, 60}, {60, 64, 67, 72}};
// How long keys are held before they are let go.
constexpr int HELD_SAMPLES = 88200;

// Plays notes (all at once, held HELD_SAMPLES, then let go) until silent or
// for at most max_samples.
std::vector<int16_t> play(const instrument_record& r, const std::vector<int>& notes, int velocity,
                          int max_samples);

sound_figures measure(const instrument_record& r);
