// The instrument file: 192 bytes of little-endian signed 32-bit integers.
//
// Per oscillator (16 bytes each): frq, vol in thousandths, wav, vib in
// thousandths; then attacklen, attack in thousandths, a reserved word (9),
// decaylen, decay in thousandths, a reserved word (9), releaselen, fadelen.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/params.h"
#include "engine/record.h"

constexpr std::size_t INSTRUMENT_FILE_SIZE = 192;

void encode_record(const instrument_record& r, uint8_t out[INSTRUMENT_FILE_SIZE]);
instrument_record decode_record(const uint8_t in[INSTRUMENT_FILE_SIZE]);

// The slider position each stored value gives (the inverse of the slider
// conversions). Positions are not limited to a slider's range.
instrument_record slider_positions(const instrument_record& r);

// Writes the record to path through a temporary file in the same folder,
// renamed over the target only once all 192 bytes are written (see
// replacement_file: a symbolic link is followed, and a writable file in a
// folder without write permission is written in place). A new file gets the
// permission bits 0600, a replaced one keeps its own. On failure the target
// is untouched and error says what went wrong.
bool save_instrument_file(const std::string& path, const instrument_record& r, std::string* error);

// Reads a file that must be exactly 192 bytes long. On failure nothing is
// returned and error says why.
std::optional<instrument_record> load_instrument_file(const std::string& path, std::string* error);

// An instrument's parameters in the order of their numbers (parameter
// param_id(n, 0) + i of instrument n), in the units of their kinds (a fade
// length of 0 is off), as a plugin's host holds them.
using instrument_values = std::array<double, INSTRUMENT_PARAMS>;
// The record a file stores for them, and back (levels to thousandths,
// truncated as every save does).
instrument_record record_of_values(const instrument_values& v);
instrument_values values_of_record(const instrument_record& r);
// save_instrument_file and load_instrument_file for these values.
bool save_instrument_values(const std::string& path, const instrument_values& v, std::string* error);
std::optional<instrument_values> load_instrument_values(const std::string& path, std::string* error);
