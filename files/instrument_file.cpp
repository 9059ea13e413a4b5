#include "files/instrument_file.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

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

std::string describe(const std::string& what, const std::string& path, int err) {
    return what + " " + path + ": " + std::strerror(err);
}

} // namespace

namespace {

constexpr int WORDS = INSTRUMENT_FILE_SIZE / 4;

int word_of(int kind, int k) {
    const param_kind& p = param_kinds[kind];
    return p.scope == param_scope::oscillator ? 4 * k + p.file_word : p.file_word;
}

// Calls f(kind, oscillator) for every parameter an instrument file holds.
template <class F> void each_stored(F&& f) {
    for (int i = 0; i < INSTRUMENT_PARAMS; ++i) f(param_at(i).kind, param_at(i).oscillator);
}

} // namespace

void encode_record(const instrument_record& r, uint8_t out[INSTRUMENT_FILE_SIZE]) {
    int32_t words[WORDS];
    for (int32_t& w : words) w = RESERVED;
    each_stored([&](int kind, int k) { words[word_of(kind, k)] = r.at(kind, k); });
    uint8_t* p = out;
    for (int32_t w : words) put32(p, w);
}

instrument_record decode_record(const uint8_t in[INSTRUMENT_FILE_SIZE]) {
    int32_t words[WORDS];
    const uint8_t* p = in;
    for (int32_t& w : words) w = get32(p);
    instrument_record r{};
    each_stored([&](int kind, int k) { r.at(kind, k) = words[word_of(kind, k)]; });
    return r;
}

instrument_record slider_positions(const instrument_record& r) {
    instrument_record p{};
    each_stored([&](int kind, int k) { p.at(kind, k) = slider_position(kind, r.at(kind, k)); });
    return p;
}

instrument_record record_of_values(const instrument_values& v) {
    instrument_record r{};
    for (int i = 0; i < INSTRUMENT_PARAMS; ++i) {
        const param_ref p = param_at(i);
        r.at(p.kind, p.oscillator) = record_word(p.kind, engine_value(p.kind, v[size_t(i)]));
    }
    return r;
}

instrument_values values_of_record(const instrument_record& r) {
    instrument_values v{};
    for (int i = 0; i < INSTRUMENT_PARAMS; ++i) {
        const param_ref p = param_at(i);
        v[size_t(i)] = table_value(p.kind, record_engine_value(p.kind, r.at(p.kind, p.oscillator)));
    }
    return v;
}

bool save_instrument_file(const std::string& path, const instrument_record& r, std::string* error) {
    uint8_t bytes[INSTRUMENT_FILE_SIZE];
    encode_record(r, bytes);

    replacement_file out;
    int err = 0;
    // A FIFO without a reader fails at once rather than hold up the panel.
    bool ok = out.open(path, 0600, &err, false);
    if (ok) ok = out.write(bytes, sizeof bytes, &err) && out.commit(&err);
    if (!ok && error) *error = describe("Cannot save", path, err);
    return ok;
}

bool save_instrument_values(const std::string& path, const instrument_values& v, std::string* error) {
    return save_instrument_file(path, record_of_values(v), error);
}

std::optional<instrument_values> load_instrument_values(const std::string& path, std::string* error) {
    if (auto r = load_instrument_file(path, error)) return values_of_record(*r);
    return std::nullopt;
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
