// Command-line options for the settings both instruments share: one for every
// row of the parameter table that names an option (--mode, --transpose,
// --bend-range, ...), for every program that takes them.
#pragma once

#include <getopt.h>

#include <string>
#include <vector>

#include "engine/params.h"

// The kinds that have an option, in the table's order.
constexpr bool has_option(int kind) { return kind < KINDS && param_kinds[kind].option != nullptr; }

// The kind whose option is `name` (without the dashes), or -1.
int setting_option(const std::string& name);

// Reads an option's value: a whole number in the kind's range, one of its
// value names (an enumeration's command-line names, or the name of 0).
// On failure returns false and `why` says what the option takes.
bool parse_setting(int kind, const char* text, int* value, std::string* why);

// --rate: samples per second, a whole number from 8000 to 192000. On failure
// returns false and `why` says what the option takes.
constexpr int MIN_RATE = 8000, MAX_RATE = 192000;
bool parse_rate(const char* text, int* rate, std::string* why);

// The usage lines of all these options, one per option.
std::string settings_usage();

// The start-up value of every setting, by kind.
void start_settings(int setting[KINDS]);

// Appends one long option per setting that has one; getopt_long returns
// `first + kind` for it. Closes the list with getopt's empty entry.
void add_setting_options(std::vector<option>& longs, int first);

// The complaint for what getopt_long answered with ':' (a missing value,
// when the option string starts with ':') or '?': "option --i1 needs a value",
// "unknown option -x", "option --quiet takes no value", "unknown option --volume".
std::string option_complaint(int c, char** argv);
