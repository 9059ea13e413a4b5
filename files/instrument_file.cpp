#include "files/instrument_file.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "engine/engine.h"
#include "files/replacement_file.h"

namespace {

void put32(uint8_t*& p, int32_t v) {
    uint32_t u = uint32_t(v);
    for (int i = 0; i < 4; ++i) *p++ = uint8_t(u >> (8 * i));
}

int32_t get32(const uint8_t*& p) {
    uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= uint32_t(*p++) << (8 * i);
    return int32_t(u);
}

constexpr int32_t RESERVED = 9;

int32_t saturate(int64_t v) {
    return int32_t(v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : v);
}

std::string describe(const std::string& what, const std::string& path, int err) {
    return what + " " + path + ": " + std::strerror(err);
}

bool write_all(int fd, const uint8_t* p, size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += w;
        n -= size_t(w);
    }
    return true;
}

} // namespace

int32_t thousandths(double level) {
    double v = level * 1000.0;
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return INT32_MAX;
    if (v <= -2147483648.0) return INT32_MIN;
    return int32_t(v);
}

instrument_record record_of(const instrument& in) {
    instrument_record r{};
    for (int k = 0; k < 10; ++k) {
        r.frq[k] = in.frq[k];
        r.vol[k] = thousandths(in.vol[k]);
        r.wav[k] = in.wav[k];
        r.vib[k] = thousandths(in.vib[k]);
    }
    r.attacklen = in.attacklen;
    r.attack = thousandths(in.attack);
    r.decaylen = in.decaylen;
    r.decay = thousandths(in.decay);
    r.releaselen = in.releaselen;
    r.fadelen = in.fadelen;
    return r;
}

void encode_record(const instrument_record& r, uint8_t out[INSTRUMENT_FILE_SIZE]) {
    uint8_t* p = out;
    for (int k = 0; k < 10; ++k) {
        put32(p, r.frq[k]);
        put32(p, r.vol[k]);
        put32(p, r.wav[k]);
        put32(p, r.vib[k]);
    }
    put32(p, r.attacklen);
    put32(p, r.attack);
    put32(p, RESERVED);
    put32(p, r.decaylen);
    put32(p, r.decay);
    put32(p, RESERVED);
    put32(p, r.releaselen);
    put32(p, r.fadelen);
}

instrument_record decode_record(const uint8_t in[INSTRUMENT_FILE_SIZE]) {
    instrument_record r{};
    const uint8_t* p = in;
    for (int k = 0; k < 10; ++k) {
        r.frq[k] = get32(p);
        r.vol[k] = get32(p);
        r.wav[k] = get32(p);
        r.vib[k] = get32(p);
    }
    r.attacklen = get32(p);
    r.attack = get32(p);
    get32(p);
    r.decaylen = get32(p);
    r.decay = get32(p);
    get32(p);
    r.releaselen = get32(p);
    r.fadelen = get32(p);
    return r;
}

void apply_record(const instrument_record& r, instrument& in) {
    for (int k = 0; k < 10; ++k) {
        in.frq[k] = r.frq[k];
        in.vol[k] = r.vol[k] / 1000.0;
        in.wav[k] = r.wav[k];
        in.vib[k] = r.vib[k] / 1000.0;
    }
    in.attacklen = r.attacklen;
    in.attack = r.attack / 1000.0;
    in.decaylen = r.decaylen;
    in.decay = r.decay / 1000.0;
    in.releaselen = r.releaselen;
    in.fadelen = r.fadelen;
    compute_oscsteps(in);
}

instrument_record slider_positions(const instrument_record& r) {
    auto length = [](int32_t v) { return saturate((int64_t(v) - 1) / 200); };
    instrument_record p{};
    for (int k = 0; k < 10; ++k) {
        p.frq[k] = saturate(int64_t(r.frq[k]) + 50);
        p.vol[k] = r.vol[k] / 10;
        p.wav[k] = r.wav[k];
        p.vib[k] = r.vib[k] / 20;
    }
    p.attacklen = length(r.attacklen);
    p.attack = r.attack / 20;
    p.decaylen = length(r.decaylen);
    p.decay = r.decay / 20;
    p.releaselen = length(r.releaselen);
    p.fadelen = r.fadelen == -1 ? 0 : r.fadelen / 2000;
    return p;
}

bool save_instrument_file(const std::string& path, const instrument& in, std::string* error) {
    uint8_t bytes[INSTRUMENT_FILE_SIZE];
    encode_record(record_of(in), bytes);

    replacement_file out;
    int err = 0;
    // A FIFO without a reader fails at once rather than hold up the panel.
    bool ok = out.open(path, 0600, &err, false);
    if (ok && !write_all(out.fd(), bytes, sizeof bytes)) {
        ok = false;
        err = errno;
    }
    if (ok) ok = out.commit(&err);
    if (!ok && error) *error = describe("Cannot save", path, err);
    return ok;
}

std::optional<instrument_record> load_instrument_file(const std::string& path, std::string* error) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (error) *error = describe("Cannot load", path, errno);
        return std::nullopt;
    }
    uint8_t bytes[INSTRUMENT_FILE_SIZE + 1];
    size_t got = 0;
    bool failed = false;
    int err = 0;
    while (got < sizeof bytes) {
        ssize_t n = ::read(fd, bytes + got, sizeof bytes - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            failed = true;
            err = errno;
            break;
        }
        if (n == 0) break;
        got += size_t(n);
    }
    ::close(fd);
    if (failed) {
        if (error) *error = describe("Cannot load", path, err);
        return std::nullopt;
    }
    if (got != INSTRUMENT_FILE_SIZE) {
        if (error)
            *error = "Cannot load " + path + ": not an instrument file (" +
                     (got > INSTRUMENT_FILE_SIZE ? std::string("more than 192")
                                                 : std::to_string(got)) +
                     " bytes, expected 192)";
        return std::nullopt;
    }
    return decode_record(bytes);
}
