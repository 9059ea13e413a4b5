// Command-line options for the settings both instruments share (--mode,
// --split, --fade1, --fade2, --transpose, --channel), derived from the
// parameter table, for every program that takes them.
#pragma once

#include <string>

#include "engine/params.h"

// The kinds that have an option, in the table's order.
constexpr bool has_option(int kind) { return kind < KINDS && param_kinds[kind].option != nullptr; }

// The kind whose option is `name` (without the dashes), or -1.
int setting_option(const std::string& name);

// Reads an option's value: a whole number in the kind's range, one of its
// value names (an enumeration's command-line names, or the name of 0).
// On failure returns false and `why` says what the option takes.
bool parse_setting(int kind, const char* text, int* value, std::string* why);

// The usage lines of all these options, one per option.
std::string settings_usage();
