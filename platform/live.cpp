// The live session: what every system shares. The outputs are tried in the
// order of the system's table (platform/outputs.h), the first that can be
// had plays; the MIDI sources are chosen by one rule; shutdown goes stream,
// MIDI, library.
#include "platform/live.h"

#include <cctype>

#include "platform/midi_sources.h"
#include "platform/outputs.h"

const output_row* output_row_named(const std::string& name) {
    int count;
    const output_row* rows = output_rows(&count);
    for (int k = 0; k < count; ++k)
        if (name == rows[k].name) return &rows[k];
    return nullptr;
}

live_session::~live_session() { shut(); }

// What close_stream, close_midi and close do, in that order.
void live_session::shut() {
    if (!output_) return;
    output_->stop_stream();
    output_->stop_midi();
    row_->close(output_);
    output_ = nullptr;
    row_ = nullptr;
}

bool live_session::open(synth_engine& engine, const live_settings& s, std::string* why) {
    shut();
    failures_.clear();
    sound_error_ = sound_ok;
    const bool automatic = s.audio == "auto";
    int count;
    const output_row* rows = output_rows(&count);
    for (int k = 0; k < count; ++k) {
        const output_row& row = rows[k];
        if (automatic ? !row.open : s.audio != row.name) continue;
        if (!row.open) return true; // none: silent by choice
        std::string reason;
        sound_error_code error = sound_ok;
        output_ = row.open(engine, s, &reason, &error);
        if (output_) {
            row_ = &row;
            return true;
        }
        failures_.push_back(reason);
        if (error != sound_ok) sound_error_ = error;
        if (!automatic) {
            if (why) *why = reason;
            return false;
        }
    }
    if (automatic) return true; // silent, but the panel runs
    if (why) *why = "no sound output \"" + s.audio + "\" here";
    return false;
}

std::string live_session::connections() const {
    return output_ ? output_->connections() : "no audio output; no MIDI input";
}

const char* live_session::host() const { return row_ ? row_->host : ""; }

std::string live_session::failures() const { return joined(failures_, "", "; "); }

std::string joined(const std::vector<std::string>& names, const char* none, const char* between) {
    if (names.empty()) return none;
    std::string s;
    for (const std::string& n : names) s += (s.empty() ? "" : between) + n;
    return s;
}

void live_session::close_stream() {
    if (output_) output_->stop_stream();
}

void live_session::close_midi() {
    if (output_) output_->stop_midi();
}

void live_session::close() {
    if (output_) row_->close(output_);
    output_ = nullptr;
    row_ = nullptr;
}

std::string live_session::devices() {
    std::vector<device_section> sections;
    int count;
    const output_row* rows = output_rows(&count);
    for (int k = 0; k < count; ++k)
        if (rows[k].list)
            for (device_section& d : rows[k].list()) sections.push_back(std::move(d));
    sections.push_back({std::string("MIDI sources (") + midi_library_name() + ")", midi_sources()});
    std::string text;
    for (const device_section& d : sections) {
        text += d.title + ":\n";
        if (d.names.empty()) text += "  (none)\n";
        for (const std::string& n : d.names) text += "  " + n + "\n";
    }
    return text;
}

bool midi_source_usable(const std::string& port, const std::string& own_client) {
    std::string lower(port);
    for (char& c : lower) c = char(std::tolower((unsigned char)c));
    if (lower.find("through") != std::string::npos || lower.find("loopback") != std::string::npos) return false;
    if (own_client.empty() || port.compare(0, own_client.size(), own_client) != 0) return true;
    size_t i = own_client.size();
    if (i < port.size() && port[i] == ':') return false;
    if (i < port.size() && port[i] == '-') {
        size_t j = i + 1;
        while (j < port.size() && std::isdigit((unsigned char)port[j])) ++j;
        if (j > i + 1 && j < port.size() && port[j] == ':') return false;
    }
    return true;
}

bool midi_source_wanted(const live_settings& s, const std::string& name, bool physical, int taken) {
    switch (s.midi) {
    case midi_choice::first: return taken == 0;
    case midi_choice::all: return physical;
    case midi_choice::named: return name.find(s.midi_name) != std::string::npos;
    case midi_choice::none: break;
    }
    return false;
}
