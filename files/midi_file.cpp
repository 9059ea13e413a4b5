#include "files/midi_file.h"

#include <smf.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// libsmf reports through GLib's log; the messages of one load are kept here.
struct log_capture {
    std::string first; // the first complaint that makes the file unusable
    guint handler;
    static void keep(const gchar*, GLogLevelFlags, const gchar* message, gpointer self) {
        auto* c = static_cast<log_capture*>(self);
        std::string m = message ? message : "";
        // Unknown chunks are to be skipped, and are.
        if (m.rfind("SMF warning: Expected MTrk signature", 0) == 0) return;
        if (c->first.empty()) c->first = m;
    }
    log_capture() {
        handler = g_log_set_handler("libsmf", GLogLevelFlags(G_LOG_LEVEL_MASK | G_LOG_FLAG_FATAL |
                                                             G_LOG_FLAG_RECURSION),
                                    keep, this);
    }
    ~log_capture() { g_log_remove_handler("libsmf", handler); }
};

// libsmf's complaint in words of our own where it has a usual one.
std::string plain(std::string m) {
    if (m.find("format #2") != std::string::npos) return "MIDI file type 2; only types 0 and 1 are played";
    if (m.find("FPS timing") != std::string::npos)
        return "the file counts time in frames, not in beats";
    if (m.find("MThd signature not found") != std::string::npos ||
        m.find("too short") != std::string::npos)
        return "not a MIDI file";
    if (m.find("truncated") != std::string::npos || m.find("truncating") != std::string::npos)
        return "the file is cut short or damaged";
    const std::string open = "Cannot open input file: ";
    if (m.rfind(open, 0) == 0) return m.substr(open.size());
    for (const char* prefix : {"SMF error: ", "SMF warning: "})
        if (m.rfind(prefix, 0) == 0) m.erase(0, std::strlen(prefix));
    while (!m.empty() && (m.back() == '.' || m.back() == '\n')) m.pop_back();
    return m;
}

struct timed {
    int pulses;
    int track;
    int order;
    uint32_t message; // channel message, or 0 for a tempo change
    int tempo;        // microseconds per quarter note, for a tempo change
};

} // namespace

int64_t sample_at(unsigned __int128 us_pulses, int ppqn, int rate) {
    return int64_t(us_pulses * unsigned(rate) / (unsigned __int128)(unsigned(ppqn) * 1000000ull));
}

std::optional<std::vector<midi_event>> read_midi_file(const std::string& path, int rate,
                                                      std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = path + ": " + why;
        return std::nullopt;
    };
    {
        // What libsmf would report poorly: a missing, unreadable or odd file.
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return fail(std::strerror(errno));
        struct stat st;
        bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
        ::close(fd);
        if (!regular) return fail("not a regular file");
    }
    smf_t* smf;
    std::string complaint;
    {
        log_capture log;
        smf = smf_load(path.c_str());
        complaint = log.first;
    }
    if (!smf) return fail(complaint.empty() ? "not a readable MIDI file" : plain(complaint));
    struct closer {
        smf_t* s;
        ~closer() { smf_delete(s); }
    } close_at_end{smf};
    if (!complaint.empty()) return fail(plain(complaint));
    if (smf->format != 0 && smf->format != 1)
        return fail("MIDI file type " + std::to_string(smf->format) + "; only types 0 and 1 are played");
    if (smf->ppqn <= 0 || smf->frames_per_second != 0)
        return fail("the file counts time in frames, not in beats");

    std::vector<timed> all;
    for (int t = 1; t <= smf->number_of_tracks; ++t) {
        smf_track_t* track = smf_get_track_by_number(smf, t);
        if (!track) continue;
        for (int i = 1; i <= track->number_of_events; ++i) {
            smf_event_t* e = smf_track_get_event_by_number(track, i);
            if (!e || e->midi_buffer_length < 1) continue;
            if (e->time_pulses < 0) return fail("an event lies beyond the longest time a file can give");
            const unsigned char* b = e->midi_buffer;
            const int n = e->midi_buffer_length;
            if (b[0] >= 0x80 && b[0] < 0xF0) {
                const int need = (b[0] & 0xE0) == 0xC0 ? 2 : 3;
                if (n < need) return fail("a channel message is cut short");
                uint32_t m = b[0] | uint32_t(b[1]) << 8 | (need == 3 ? uint32_t(b[2]) << 16 : 0);
                all.push_back({e->time_pulses, t, i, m, 0});
            } else if (b[0] == 0xFF && n >= 2 && b[1] == 0x51) {
                if (n != 6 || b[2] != 3) return fail("a tempo change is not three bytes long");
                all.push_back({e->time_pulses, t, i, 0, b[3] << 16 | b[4] << 8 | b[5]});
            }
        }
    }
    std::stable_sort(all.begin(), all.end(), [](const timed& a, const timed& b) {
        if (a.pulses != b.pulses) return a.pulses < b.pulses;
        if (a.track != b.track) return a.track < b.track;
        return a.order < b.order;
    });

    // Time in pulses times microseconds per quarter note, summed over the
    // tempo map; the default tempo is 120 beats per minute.
    std::vector<midi_event> events;
    unsigned __int128 at_change = 0;
    int change_pulses = 0, tempo = 500000;
    for (const timed& e : all) {
        unsigned __int128 now = at_change + (unsigned __int128)(e.pulses - change_pulses) * unsigned(tempo);
        if (e.message == 0) {
            at_change = now;
            change_pulses = e.pulses;
            tempo = e.tempo;
        } else {
            events.push_back({sample_at(now, smf->ppqn, rate), e.message});
        }
    }
    return events;
}

std::vector<midi_event> on_channel(const std::vector<midi_event>& events, int channel) {
    std::vector<midi_event> out;
    for (const midi_event& e : events) {
        if (channel != 0 && int(e.message & 0x0F) != channel - 1) continue;
        out.push_back({e.sample, e.message & ~uint32_t(0x0F)});
    }
    return out;
}
