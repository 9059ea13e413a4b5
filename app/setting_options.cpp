#include "app/setting_options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// The names an enumeration takes on a command line (the panel's captions of
// the layering modes have spaces and dots).
const char* const* option_names(int kind) {
    return kind == K_MODE ? layering_options : param_kinds[kind].labels;
}

int lowest_number(const param_kind& k) { return int(k.lo) + (k.zero_name ? 1 : 0); }

} // namespace

int setting_option(const std::string& name) {
    for (int kind = 0; kind < KINDS; ++kind)
        if (has_option(kind) && name == param_kinds[kind].option) return kind;
    return -1;
}

bool parse_setting(int kind, const char* text, int* value, std::string* why) {
    const param_kind& k = param_kinds[kind];
    if (const char* const* names = option_names(kind))
        for (int v = int(k.lo); v <= int(k.hi); ++v)
            if (std::strcmp(text, names[v - int(k.lo)]) == 0) {
                *value = v;
                return true;
            }
    if (k.zero_name && std::strcmp(text, k.zero_name) == 0) {
        *value = 0;
        return true;
    }
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    const int lo = lowest_number(k), hi = int(k.hi);
    if (*text != '\0' && *end == '\0' && errno == 0 && v >= lo && v <= hi) {
        *value = int(v);
        return true;
    }
    if (why) {
        std::string names;
        if (const char* const* n = option_names(kind))
            for (int v = int(k.lo); v <= int(k.hi); ++v) names += std::string(v == int(k.lo) ? " or " : ", ") + n[v - int(k.lo)];
        *why = std::string("--") + k.option + " takes a whole number from " + std::to_string(lo) +
               " to " + std::to_string(hi) + (k.zero_name ? std::string(" or ") + k.zero_name : "") + names +
               ", not \"" + text + "\"";
    }
    return false;
}

std::string settings_usage() {
    std::string u;
    for (int kind = 0; kind < KINDS; ++kind) {
        if (!has_option(kind)) continue;
        const param_kind& k = param_kinds[kind];
        std::string line = std::string("  --") + k.option + " V";
        line.resize(19, ' ');
        line += k.label;
        line += ": " + std::to_string(lowest_number(k)) + " to " + std::to_string(int(k.hi));
        if (const char* const* names = option_names(kind)) {
            line += ", or";
            for (int v = int(k.lo); v <= int(k.hi); ++v) line += std::string(" ") + names[v - int(k.lo)];
        }
        if (k.zero_name) line += std::string(", or ") + k.zero_name;
        const char* const* names = option_names(kind);
        line += " (default " + (names ? std::string(names[int(k.start[0] - k.lo)]) : std::to_string(int(k.start[0]))) +
                ")\n";
        u += line;
    }
    return u;
}

void start_settings(int setting[KINDS]) {
    for (int kind = 0; kind < KINDS; ++kind) setting[kind] = int(param_kinds[kind].start[0]);
}

void add_setting_options(std::vector<option>& longs, int first) {
    for (int kind = 0; kind < KINDS; ++kind)
        if (has_option(kind)) longs.push_back({param_kinds[kind].option, required_argument, nullptr, first + kind});
    longs.push_back({nullptr, 0, nullptr, 0});
}

std::string option_complaint(int c, char** argv) {
    const std::string opt = argv[optind - 1];
    if (c == ':') return "option " + opt + " needs a value";
    // optopt: the letter of an unknown short option, the code of a long one
    // given a value it does not take, 0 for an unknown long one.
    if (optopt > 0 && optopt < 256) return std::string("unknown option -") + char(optopt);
    if (optopt) return "option " + opt.substr(0, opt.find('=')) + " takes no value";
    return "unknown option " + opt;
}

bool parse_rate(const char* text, int* rate, std::string* why) {
    char* end = nullptr;
    errno = 0;
    const long r = std::strtol(text, &end, 10);
    if (*text == '\0' || *end != '\0' || errno != 0 || r < MIN_RATE || r > MAX_RATE) {
        *why = "--rate takes samples per second from " + std::to_string(MIN_RATE) + " to " +
               std::to_string(MAX_RATE) + ", not \"" + text + "\"";
        return false;
    }
    *rate = int(r);
    return true;
}
