#include "factory/factory_table.h"

#include <cstdint>
#include <fstream>
#include <set>
#include <sstream>

#include "engine/params.h"

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

// A value as the file stores it, which must be one the kind's panel slider gives.
int32_t panel_value(int kind, int32_t v, const std::string& what, const std::string& shown) {
    if (!on_slider(kind, v))
        throw bad_line{what + " " + shown + " is not a panel value (" + slider_values(kind) + ")"};
    return v;
}

int wave(const std::string& s) {
    for (int w = 0; w < WAVE_TYPES; ++w)
        if (s == wave_names[w]) return w;
    std::string all;
    for (int w = 0; w < WAVE_TYPES; ++w) all += std::string(w ? ", " : "") + wave_names[w];
    throw bad_line{"wave \"" + s + "\" is none of " + all};
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

// One handler per keyword of an instrument's lines: the words of the line,
// the line itself (for "about"), the instrument being built.
using handler = void (*)(const std::vector<std::string>& w, const std::string& line, building& b);

void on_kind(const std::vector<std::string>& w, const std::string&, building& b) {
    expect_count(w, 2, "kind WORD");
    b.in.kind = w[1];
}

void on_about(const std::vector<std::string>&, const std::string& line, building& b) {
    const size_t from = line.find_first_not_of(" \t", line.find("about") + 5);
    const size_t to = line.find_last_not_of(" \t\r");
    if (from == std::string::npos) throw bad_line{"about needs a line of text"};
    b.in.about = line.substr(from, to + 1 - from);
}

void on_osc(const std::vector<std::string>& w, const std::string&, building& b) {
    expect_count(w, 5, "osc WAVE SEMITONES VOLUME VIBRATO");
    if (b.oscillators == 10) throw bad_line{"more than ten osc lines"};
    instrument_record& r = b.in.record;
    const int k = b.oscillators++;
    r.at(K_WAV, k) = wave(w[1]);
    r.at(K_FRQ, k) = panel_value(K_FRQ, whole(w[2], "semitones"), "semitones", w[2]);
    r.at(K_VOL, k) = panel_value(K_VOL, level(w[3], "volume"), "volume", w[3]);
    r.at(K_VIB, k) = panel_value(K_VIB, level(w[4], "vibrato"), "vibrato", w[4]);
}

// attack and decay: a length and the level reached at its end.
template <bool ATTACK>
void on_stage(const std::vector<std::string>& w, const std::string&, building& b) {
    expect_count(w, 3, ATTACK ? "attack SAMPLES LEVEL" : "decay SAMPLES LEVEL");
    instrument_record& r = b.in.record;
    (ATTACK ? r.at(K_ATTACKLEN) : r.at(K_DECAYLEN)) = panel_value(K_ATTACKLEN, whole(w[1], "length"), "length", w[1]);
    (ATTACK ? r.at(K_ATTACK) : r.at(K_DECAY)) = panel_value(K_ATTACK, level(w[2], "level"), "level", w[2]);
}

void on_release(const std::vector<std::string>& w, const std::string&, building& b) {
    expect_count(w, 2, "release SAMPLES");
    b.in.record.at(K_RELEASELEN) = panel_value(K_RELEASELEN, whole(w[1], "length"), "length", w[1]);
}

void on_fade(const std::vector<std::string>& w, const std::string&, building& b) {
    expect_count(w, 2, "fade none|SAMPLES");
    b.in.record.at(K_FADELEN) = w[1] == "none" ? -1 : panel_value(K_FADELEN, whole(w[1], "fade"), "fade", w[1]);
}

constexpr struct { const char* key; handler run; } handlers[] = {
    {"kind", on_kind},       {"about", on_about},       {"osc", on_osc},  {"attack", on_stage<true>},
    {"decay", on_stage<false>}, {"release", on_release}, {"fade", on_fade},
};

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
                    cur->in.record.at(K_FRQ, k) = cur->in.record.at(K_VOL, k) = cur->in.record.at(K_WAV, k) =
                        cur->in.record.at(K_VIB, k) = 0;
                continue;
            }
            if (!cur) throw bad_line{"\"" + key + "\" before the first instrument line"};
            if (key != "osc" && !cur->seen.insert(key).second)
                throw bad_line{"a second " + key + " line for " + cur->in.name};
            handler run = nullptr;
            for (const auto& h : handlers)
                if (key == h.key) run = h.run;
            if (!run) throw bad_line{"unknown line \"" + key + "\""};
            run(w, line, *cur);
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
