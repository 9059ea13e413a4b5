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

constexpr size_t MAX_FILE = size_t(1) << 30;

uint32_t be32(const unsigned char* p) { return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

// A variable-length quantity of at most four bytes within [at, end).
bool read_vlq(const std::vector<unsigned char>& d, size_t& at, size_t end, uint32_t* value) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        if (at >= end) return false;
        const unsigned char c = d[at++];
        v = v << 7 | (c & 0x7F);
        if (!(c & 0x80)) {
            *value = v;
            return true;
        }
    }
    return false;
}

void put_vlq(std::vector<unsigned char>& out, uint32_t v) {
    unsigned char b[5];
    int n = 0;
    do {
        b[n++] = v & 0x7F;
        v >>= 7;
    } while (v);
    while (n > 1) out.push_back(b[--n] | 0x80);
    out.push_back(b[0]);
}

// Copies the events of one track to out in the plainest form: every status
// byte written out, escaped messages (0xF7, which libsmf cannot read and which
// are never played) left out with their time carried on, and exactly one
// end-of-track event, last. Returns what is wrong with the track, empty when
// nothing is: every length within the chunk, data bytes below 0x80, running
// status only after a channel message.
std::string copy_track(const std::vector<unsigned char>& d, size_t at, size_t end,
                       std::vector<unsigned char>& out) {
    const std::string damaged = "the file is cut short or damaged";
    int running = 0;
    uint64_t carried = 0;
    auto delta = [&](uint32_t dt) -> bool {
        carried += dt;
        if (carried > 0x0FFFFFFF) return false;
        put_vlq(out, uint32_t(carried));
        carried = 0;
        return true;
    };
    while (at < end) {
        uint32_t dt, n;
        if (!read_vlq(d, at, end, &dt) || at >= end) return damaged;
        int status = d[at];
        if (status < 0x80) {
            if (!running) return "an event has no status byte";
            status = running;
        } else {
            ++at;
        }
        if (status < 0xF0) {
            running = status;
            const size_t need = (status & 0xE0) == 0xC0 ? 1 : 2;
            if (end - at < need) return damaged;
            for (size_t i = 0; i < need; ++i)
                if (d[at + i] >= 0x80) return "a channel message has a status byte for data";
            if (!delta(dt)) return "an event lies beyond the longest time a file can give";
            out.push_back(uint8_t(status));
            out.insert(out.end(), d.begin() + long(at), d.begin() + long(at + need));
            at += need;
            continue;
        }
        running = 0; // system-exclusive and meta events end running status
        const size_t start = at - 1;
        int type = -1;
        if (status == 0xFF) {
            if (at >= end || d[at] >= 0x80) return damaged;
            type = d[at++];
        } else if (status != 0xF0 && status != 0xF7) {
            return "a track holds a message that has no place in a file";
        }
        if (!read_vlq(d, at, end, &n) || n > end - at) return damaged;
        at += n;
        if (status == 0xF7) {
            carried += dt;
            continue;
        }
        if (!delta(dt)) return "an event lies beyond the longest time a file can give";
        out.insert(out.end(), d.begin() + long(start), d.begin() + long(at));
        if (type == 0x2F) return ""; // end of track: whatever follows is not part of it
    }
    if (!delta(0)) return "an event lies beyond the longest time a file can give";
    out.insert(out.end(), {0xFF, 0x2F, 0x00});
    return "";
}

// Rewrites a MIDI file for libsmf, which reads past the end of a header or
// chunk that is cut short and stops the program on some events. The header
// first (six bytes), then the tracks as copy_track gives them; other chunks
// are left out. Returns what is wrong with the file, empty when nothing is.
std::string plain_copy(const std::vector<unsigned char>& d, std::vector<unsigned char>& out) {
    if (d.size() < 14 || std::memcmp(d.data(), "MThd", 4) != 0) return "not a MIDI file";
    if (be32(&d[4]) != 6) return "not a MIDI file (its header is not six bytes long)";
    const int format = d[8] << 8 | d[9], declared = d[10] << 8 | d[11];
    if (format > 2) return "not a MIDI file (unknown type " + std::to_string(format) + ")";
    if (format == 2) return "MIDI file type 2; only types 0 and 1 are played";
    const int division = d[12] << 8 | d[13];
    if (division & 0x8000) return "the file counts time in frames, not in beats";
    if (division == 0) return "the file gives no length of a beat";
    out.assign(d.begin(), d.begin() + 14);
    size_t at = 14;
    int tracks = 0;
    while (at < d.size()) {
        if (d.size() - at < 8) return "the file is cut short or damaged";
        const uint32_t len = be32(&d[at + 4]);
        if (len > d.size() - at - 8) return "the file is cut short or damaged";
        if (std::memcmp(&d[at], "MTrk", 4) == 0) {
            ++tracks;
            const size_t head = out.size();
            out.insert(out.end(), {'M', 'T', 'r', 'k', 0, 0, 0, 0});
            if (std::string why = copy_track(d, at + 8, at + 8 + len, out); !why.empty()) return why;
            const uint32_t n = uint32_t(out.size() - head - 8);
            for (int i = 0; i < 4; ++i) out[head + 4 + size_t(i)] = uint8_t(n >> (24 - 8 * i));
        }
        at += 8 + size_t(len);
    }
    if (tracks == 0) return "the file holds no track";
    if (format == 0 && tracks != 1) return "a type 0 file with more than one track";
    if (tracks != declared)
        return "the header names " + std::to_string(declared) + " tracks, the file holds " +
               std::to_string(tracks);
    return "";
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
    // The file is read here and checked (and rewritten plainly, see
    // plain_copy) before libsmf sees it.
    std::vector<unsigned char> data;
    {
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return fail(std::strerror(errno));
        struct stat st;
        bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
        int err = 0;
        if (regular) {
            unsigned char buf[65536];
            for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) != 0;) {
                if (n < 0) {
                    if (errno == EINTR) continue;
                    err = errno;
                    break;
                }
                data.insert(data.end(), buf, buf + n);
                if (data.size() > MAX_FILE) break;
            }
        }
        ::close(fd);
        if (!regular) return fail("not a regular file");
        if (err) return fail(std::strerror(err));
        if (data.size() > MAX_FILE) return fail("too large for a MIDI file");
    }
    std::vector<unsigned char> plain_file;
    if (std::string why = plain_copy(data, plain_file); !why.empty()) return fail(why);
    if (plain_file.size() > size_t(INT32_MAX)) return fail("too large for a MIDI file");

    smf_t* smf;
    std::string complaint;
    {
        log_capture log;
        smf = smf_load_from_memory(plain_file.data(), int(plain_file.size()));
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
