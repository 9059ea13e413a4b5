#include "files/midi_file.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr size_t MAX_FILE = size_t(1) << 30;

// The longest a track may last, in pulses. A file of MAX_FILE bytes cannot
// come near it (each delta is below 2^28); below it, pulses times
// microseconds per quarter note times any sample rate fits 128 bits.
constexpr uint64_t MAX_PULSES = uint64_t(1) << 60;

const char* const DAMAGED = "the file is cut short or damaged";
const char* const TOO_LATE = "an event lies beyond the longest time a file can give";

uint32_t be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

// A variable-length quantity of at most four bytes within [at, end).
bool read_vlq(const uint8_t* d, size_t& at, size_t end, uint32_t* value) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        if (at >= end) return false;
        const uint8_t c = d[at++];
        v = v << 7 | (c & 0x7F);
        if (!(c & 0x80)) {
            *value = v;
            return true;
        }
    }
    return false;
}

// An event that matters for playing: a channel message, or a tempo change
// (TEMPO | microseconds per quarter note), at its time in pulses.
struct timed {
    uint64_t pulses;
    uint32_t what;
};
constexpr uint32_t TEMPO = 0x80000000;

// Appends the channel messages and tempo changes of one track, [at, end) of
// d, to out. Returns what is wrong with the track, empty when nothing is:
// every length within the chunk, data bytes below 0x80, running status only
// after a channel message, tempo changes three bytes long. An end-of-track
// event ends the track (whatever follows is not part of it); one may be
// missing.
std::string read_track(const uint8_t* d, size_t at, size_t end, std::vector<timed>& out) {
    uint64_t now = 0;
    int running = 0;
    while (at < end) {
        uint32_t dt, n;
        if (!read_vlq(d, at, end, &dt) || at >= end) return DAMAGED;
        now += dt;
        if (now > MAX_PULSES) return TOO_LATE;
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
            if (end - at < need) return DAMAGED;
            uint32_t message = uint32_t(status);
            for (size_t i = 0; i < need; ++i) {
                if (d[at + i] >= 0x80) return "a channel message has a status byte for data";
                message |= uint32_t(d[at + i]) << (8 + 8 * i);
            }
            at += need;
            out.push_back({now, message});
            continue;
        }
        running = 0; // system-exclusive and meta events end running status
        int type = -1;
        if (status == 0xFF) {
            if (at >= end || d[at] >= 0x80) return DAMAGED;
            type = d[at++];
        } else if (status != 0xF0 && status != 0xF7) {
            return "a track holds a message that has no place in a file";
        }
        if (!read_vlq(d, at, end, &n) || n > end - at) return DAMAGED;
        if (type == 0x51) {
            if (n != 3) return "a tempo change is not three bytes long";
            out.push_back({now, TEMPO | uint32_t(d[at]) << 16 | uint32_t(d[at + 1]) << 8 | d[at + 2]});
        }
        at += n;
        if (type == 0x2F) break;
    }
    return "";
}

// Merges the tracks, each in time order and lying one after the other in
// events (track t from starts[t] to starts[t + 1]), into time order, ties by
// lower track first: adjacent tracks pairwise, so log2(tracks) passes.
void merge_tracks(std::vector<timed>& events, std::vector<size_t> starts) {
    if (starts.size() <= 2) return;
    auto earlier = [](const timed& a, const timed& b) { return a.pulses < b.pulses; };
    std::vector<timed> into(events.size());
    while (starts.size() > 2) {
        std::vector<size_t> merged;
        size_t r = 0;
        for (; r + 2 < starts.size(); r += 2) {
            merged.push_back(starts[r]);
            std::merge(events.begin() + long(starts[r]), events.begin() + long(starts[r + 1]),
                       events.begin() + long(starts[r + 1]), events.begin() + long(starts[r + 2]),
                       into.begin() + long(starts[r]), earlier);
        }
        if (r + 1 < starts.size()) { // an odd track out
            merged.push_back(starts[r]);
            std::copy(events.begin() + long(starts[r]), events.begin() + long(starts[r + 1]),
                      into.begin() + long(starts[r]));
        }
        merged.push_back(events.size());
        events.swap(into);
        starts.swap(merged);
    }
}

// Reads the file's bytes into events. Returns what is wrong with the file,
// empty when nothing is.
std::string read_data(const uint8_t* d, size_t size, int rate, std::vector<midi_event>& events) {
    if (size < 14 || std::memcmp(d, "MThd", 4) != 0) return "not a MIDI file";
    const uint32_t header = be32(d + 4);
    if (header < 6) return "not a MIDI file (its header is shorter than six bytes)";
    if (header > size - 8) return DAMAGED;
    const int format = d[8] << 8 | d[9], declared = d[10] << 8 | d[11];
    if (format > 2) return "not a MIDI file (unknown type " + std::to_string(format) + ")";
    if (format == 2) return "MIDI file type 2; only types 0 and 1 are played";
    const int division = d[12] << 8 | d[13];
    if (division & 0x8000) return "the file counts time in frames, not in beats";
    if (division == 0) return "the file gives no length of a beat";
    if (rate <= 0) return "no sample rate to play it at";
    const int ppqn = division;

    std::vector<timed> all;
    std::vector<size_t> starts;
    size_t at = 8 + size_t(header);
    while (at < size) {
        if (size - at < 8) return DAMAGED;
        const uint32_t len = be32(d + at + 4);
        if (len > size - at - 8) return DAMAGED;
        if (std::memcmp(d + at, "MTrk", 4) == 0) {
            starts.push_back(all.size());
            if (std::string why = read_track(d, at + 8, at + 8 + len, all); !why.empty()) return why;
        }
        at += 8 + size_t(len);
    }
    const size_t tracks = starts.size();
    if (tracks == 0) return "the file holds no track";
    if (format == 0 && tracks != 1) return "a type 0 file with more than one track";
    if (tracks != size_t(declared))
        return "the header names " + std::to_string(declared) + " tracks, the file holds " +
               std::to_string(tracks);
    starts.push_back(all.size());
    // Tracks without events take no part in the merge.
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    merge_tracks(all, std::move(starts));

    // Time in pulses times microseconds per quarter note, summed over the
    // tempo map; the default tempo is 120 beats per minute.
    const auto per_sample = (unsigned __int128)(unsigned(ppqn) * 1000000ull);
    unsigned __int128 at_change = 0;
    uint64_t change_pulses = 0;
    uint32_t tempo = 500000;
    size_t messages = 0;
    for (const timed& e : all) messages += !(e.what & TEMPO);
    events.reserve(messages);
    for (const timed& e : all) {
        const unsigned __int128 now = at_change + (unsigned __int128)(e.pulses - change_pulses) * tempo;
        if (e.what & TEMPO) {
            at_change = now;
            change_pulses = e.pulses;
            tempo = e.what & 0xFFFFFF;
            continue;
        }
        const unsigned __int128 sample = now * unsigned(rate) / per_sample;
        if (sample > (unsigned __int128)INT64_MAX) return TOO_LATE;
        events.push_back({int64_t(sample), e.what});
    }
    return "";
}

// The whole of a file: a regular file as it is, a FIFO or pipe until its
// writer closes it. Returns what went wrong, empty when nothing did.
std::string read_whole(const std::string& path, std::vector<uint8_t>& data) {
    // Opened without waiting, so that a FIFO with no writer yet does not hold
    // open() before its kind is known; poll() then waits for its data or for
    // its writer to come and go.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::strerror(errno);
    struct closer {
        int fd;
        ~closer() { ::close(fd); }
    } close_at_end{fd};
    struct stat st;
    if (::fstat(fd, &st) != 0) return std::strerror(errno);
    const bool regular = S_ISREG(st.st_mode);
    if (S_ISDIR(st.st_mode)) return "a folder, not a MIDI file";
    if (!regular && !S_ISFIFO(st.st_mode)) return "not a regular file or a pipe";
    if (regular) data.reserve(size_t(std::min<off_t>(st.st_size, off_t(MAX_FILE) + 1)));
    uint8_t buf[65536];
    for (;;) {
        if (!regular) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, -1) < 0) {
                if (errno == EINTR) continue;
                return std::strerror(errno);
            }
        }
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n == 0) return "";
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return std::strerror(errno);
        }
        data.insert(data.end(), buf, buf + n);
        if (data.size() > MAX_FILE) return "too large for a MIDI file";
    }
}

} // namespace

int64_t sample_at(unsigned __int128 us_pulses, int ppqn, int rate) {
    return int64_t(us_pulses * unsigned(rate) / (unsigned __int128)(unsigned(ppqn) * 1000000ull));
}

std::optional<std::vector<midi_event>> read_midi_data(const uint8_t* data, size_t size, int rate,
                                                      std::string* error) {
    std::vector<midi_event> events;
    if (std::string why = read_data(data, size, rate, events); !why.empty()) {
        if (error) *error = why;
        return std::nullopt;
    }
    return events;
}

std::optional<std::vector<midi_event>> read_midi_file(const std::string& path, int rate,
                                                      std::string* error) {
    std::vector<uint8_t> data;
    std::string why = read_whole(path, data);
    std::vector<midi_event> events;
    if (why.empty()) why = read_data(data.data(), data.size(), rate, events);
    if (!why.empty()) {
        if (error) *error = path + ": " + why;
        return std::nullopt;
    }
    return events;
}

