#include "factory/factory_table.h"

#include <cstdint>
#include <fstream>
#include <set>
#include <sstream>

const char* const WAVE_NAMES[4] = {"sine", "square", "saw", "noise"};

namespace {

struct bad_line {
    std::string what;
};

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string s; in >> s;) w.push_back(s);
    return w;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// A whole number, optionally signed.
int whole(const std::string& s, const char* what) {
    size_t i = (s.size() > 1 && (s[0] == '-' || s[0] == '+')) ? 1 : 0;
    if (i == s.size() || s.size() > 8) throw bad_line{std::string(what) + " \"" + s + "\" is not a whole number"};
    for (size_t k = i; k < s.size(); ++k)
        if (!is_digit(s[k])) throw bad_line{std::string(what) + " \"" + s + "\" is not a whole number"};
    return std::stoi(s);
}

// A level written as a decimal (0.3, 1.00, .02), in thousandths, exactly.
int32_t level(const std::string& s, const char* what) {
    const size_t dot = s.find('.');
    const std::string ip = s.substr(0, dot), fp = dot == std::string::npos ? "" : s.substr(dot + 1);
    bool ok = !(ip.empty() && fp.empty()) && ip.size() <= 4 && fp.size() <= 3;
    for (char c : ip + fp) ok = ok && is_digit(c);
    if (!ok) throw bad_line{std::string(what) + " \"" + s + "\" is not a level such as 0.25"};
    int32_t v = ip.empty() ? 0 : std::stoi(ip) * 1000;
    int scale = 100;
    for (char c : fp) {
        v += (c - '0') * scale;
        scale /= 10;
    }
    return v;
}

void in_steps(int32_t v, int32_t lo, int32_t hi, int32_t step, const std::string& what,
              const std::string& shown, const std::string& range) {
    if (v < lo || v > hi || (v - lo) % step != 0)
        throw bad_line{what + " " + shown + " is not a panel value (" + range + ")"};
}

int32_t panel_level(const std::string& s, const char* what, int32_t hi, int32_t step,
                    const char* range) {
    const int32_t v = level(s, what);
    in_steps(v, 0, hi, step, what, s, range);
    return v;
}

int32_t panel_length(const std::string& s, const char* what) {
    const int v = whole(s, what);
    in_steps(v, 1, 20001, 200, what, s, "1 to 20001 samples in steps of 200");
    return v;
}

int wave(const std::string& s) {
    for (int w = 0; w < 4; ++w)
        if (s == WAVE_NAMES[w]) return w;
    throw bad_line{"wave \"" + s + "\" is none of sine, square, saw, noise"};
}

void expect_count(const std::vector<std::string>& w, size_t n, const char* form) {
    if (w.size() != n) throw bad_line{std::string("expected \"") + form + "\""};
}

struct building {
    factory_instrument in{};
    int line = 0, oscillators = 0;
    std::set<std::string> seen;
};

void finish(building& b) {
    for (const char* key : {"kind", "about", "attack", "decay", "release", "fade"})
        if (!b.seen.count(key))
            throw bad_line{"instrument " + b.in.name + " has no " + key + " line"};
    if (b.oscillators == 0) throw bad_line{"instrument " + b.in.name + " has no osc line"};
}

} // namespace

std::optional<std::vector<factory_instrument>> parse_factory_table(const std::string& text,
                                                                   const std::string& origin,
                                                                   std::string* error) {
    std::vector<factory_instrument> out;
    std::set<std::string> names;
    std::optional<building> cur;
    std::istringstream in(text);
    int number = 0;
    auto close = [&] {
        if (!cur) return;
        try {
            finish(*cur);
        } catch (const bad_line& e) {
            number = cur->line;
            throw;
        }
        out.push_back(cur->in);
        cur.reset();
    };
    try {
        for (std::string raw; std::getline(in, raw);) {
            ++number;
            const std::string line = raw.substr(0, raw.find('#'));
            const std::vector<std::string> w = words(line);
            if (w.empty()) continue;
            const std::string& key = w[0];
            if (key == "instrument") {
                close();
                expect_count(w, 2, "instrument NAME");
                for (char c : w[1])
                    if (!(is_digit(c) || (c >= 'a' && c <= 'z') || c == '-'))
                        throw bad_line{"name \"" + w[1] + "\": only a-z, 0-9 and -"};
                if (!names.insert(w[1]).second) throw bad_line{"a second instrument " + w[1]};
                cur.emplace();
                cur->in.name = w[1];
                cur->line = number;
                for (int k = 0; k < 10; ++k)
                    cur->in.record.frq[k] = cur->in.record.vol[k] = cur->in.record.wav[k] =
                        cur->in.record.vib[k] = 0;
                continue;
            }
            if (!cur) throw bad_line{"\"" + key + "\" before the first instrument line"};
            building& b = *cur;
            instrument_record& r = b.in.record;
            if (key != "osc" && !b.seen.insert(key).second)
                throw bad_line{"a second " + key + " line for " + b.in.name};
            if (key == "kind") {
                expect_count(w, 2, "kind WORD");
                b.in.kind = w[1];
            } else if (key == "about") {
                const size_t from = line.find_first_not_of(" \t", line.find("about") + 5);
                const size_t to = line.find_last_not_of(" \t\r");
                if (from == std::string::npos) throw bad_line{"about needs a line of text"};
                b.in.about = line.substr(from, to + 1 - from);
            } else if (key == "osc") {
                expect_count(w, 5, "osc WAVE SEMITONES VOLUME VIBRATO");
                if (b.oscillators == 10) throw bad_line{"more than ten osc lines"};
                const int k = b.oscillators++;
                r.wav[k] = wave(w[1]);
                r.frq[k] = whole(w[2], "semitones");
                in_steps(r.frq[k], -50, 50, 1, "semitones", w[2], "-50 to 50");
                r.vol[k] = panel_level(w[3], "volume", 1000, 10, "0 to 1 in steps of 0.01");
                r.vib[k] = panel_level(w[4], "vibrato", 1000, 20, "0 to 1 in steps of 0.02");
            } else if (key == "attack" || key == "decay") {
                expect_count(w, 3, key == "attack" ? "attack SAMPLES LEVEL" : "decay SAMPLES LEVEL");
                const int32_t len = panel_length(w[1], "length");
                const int32_t lv = panel_level(w[2], "level", 2000, 20, "0 to 2 in steps of 0.02");
                (key == "attack" ? r.attacklen : r.decaylen) = len;
                (key == "attack" ? r.attack : r.decay) = lv;
            } else if (key == "release") {
                expect_count(w, 2, "release SAMPLES");
                r.releaselen = panel_length(w[1], "length");
            } else if (key == "fade") {
                expect_count(w, 2, "fade none|SAMPLES");
                if (w[1] == "none") {
                    r.fadelen = -1;
                } else {
                    r.fadelen = whole(w[1], "fade");
                    in_steps(r.fadelen, 2000, 400000, 2000, "fade", w[1],
                             "none, or 2000 to 400000 samples in steps of 2000");
                }
            } else {
                throw bad_line{"unknown line \"" + key + "\""};
            }
        }
        close();
    } catch (const bad_line& e) {
        if (error) *error = origin + ":" + std::to_string(number) + ": " + e.what;
        return std::nullopt;
    }
    if (out.empty()) {
        if (error) *error = origin + ": no instrument";
        return std::nullopt;
    }
    return out;
}

std::optional<std::vector<factory_instrument>> read_factory_table(const std::string& path,
                                                                  std::string* error) {
    std::ifstream f(path);
    if (!f) {
        if (error) *error = "cannot read " + path;
        return std::nullopt;
    }
    std::stringstream text;
    text << f.rdbuf();
    return parse_factory_table(text.str(), path, error);
}
