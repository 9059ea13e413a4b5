// The factory instruments as written in factory/instruments.txt: one readable
// table from which the build writes the instrument files (and anything else
// that must agree with them, such as presets of another format).
//
// The table is a list of blocks, one per instrument:
//
//     instrument  church-organ            the file name, without .zpk
//     kind        organ                   a group for listings
//     about       Principal chorus ...    one line: how it sounds, what it is for
//     osc         sine  12  0.30  0.00    wave, semitones, volume, vibrato depth
//     attack      401  1.00               samples, level at the end of the attack
//     decay       401  0.80               samples, the level held while the key is down
//     release     4001                    samples
//     fade        none                    or samples from note start to silence
//
// Up to ten osc lines, in oscillator order; the others stay silent (sine, 0,
// 0, 0). Waves are named as the engine names them (sine, square, sawtooth, noise). '#' starts a comment. Every
// value must be one the panel's sliders can show (engine/params.h), so that a
// factory sound loads into the panel exactly: semitones -50..50, volume 0..1
// in steps of 0.01, vibrato 0..1 in steps of 0.02, lengths 1..20001 in steps
// of 200, levels 0..2 in steps of 0.02, fade none or 2000..400000 in steps of
// 2000.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "files/instrument_file.h"

struct factory_instrument {
    std::string name;  // also the file name: name + ".zpk"
    std::string kind;  // organ, strings, bell, ...
    std::string about; // one line for the README and preset listings
    instrument_record record;
};

// Parses a table. On a mistake nothing is returned and error reads
// "<origin>:<line>: <what is wrong>".
std::optional<std::vector<factory_instrument>> parse_factory_table(const std::string& text,
                                                                   const std::string& origin,
                                                                   std::string* error);
std::optional<std::vector<factory_instrument>> read_factory_table(const std::string& path,
                                                                  std::string* error);

