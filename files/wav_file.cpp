#include "files/wav_file.h"

#include <sndfile.h>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

std::string describe(const std::string& path, int err) { return path + ": " + std::strerror(err); }

mode_t current_umask() {
    mode_t m = ::umask(0);
    ::umask(m);
    return m;
}

} // namespace

bool wav_writer::open(const std::string& path, int rate, std::string* error) {
    abort();
    path_ = path;
    int err = 0;
    // A new file gets the mode any new file of the user's gets.
    if (!file_.open(path, 0666 & ~current_umask(), &err)) {
        if (error) *error = describe(path, err);
        return false;
    }
    return start(rate, error);
}

bool wav_writer::open_into(int fd, const std::string& name, int rate, std::string* error) {
    abort();
    path_ = name;
    int err = 0;
    if (!file_.open_into(fd, &err)) {
        if (error) *error = describe(name, err);
        return false;
    }
    return start(rate, error);
}

bool wav_writer::start(int rate, std::string* error) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* sf = sf_open_fd(file_.fd(), SFM_WRITE, &info, SF_FALSE);
    if (!sf) {
        if (error) *error = path_ + ": " + sf_strerror(nullptr);
        abort();
        return false;
    }
    sf_ = sf;
    return true;
}

bool wav_writer::write(const int16_t* samples, size_t n, std::string* error) {
    if (!sf_) return false;
    if (sf_write_short(static_cast<SNDFILE*>(sf_), samples, sf_count_t(n)) != sf_count_t(n)) {
        if (error) *error = path_ + ": " + sf_strerror(static_cast<SNDFILE*>(sf_));
        return false;
    }
    return true;
}

bool wav_writer::commit(std::string* error) {
    if (!sf_) return false;
    // Closing the sound file writes the header's sizes; the descriptor stays open.
    int sf_err = sf_close(static_cast<SNDFILE*>(sf_));
    sf_ = nullptr;
    if (sf_err != 0) {
        if (error) *error = path_ + ": " + sf_error_number(sf_err);
        abort();
        return false;
    }
    int err = 0;
    if (!file_.commit(&err)) {
        if (error) *error = describe(path_, err);
        return false;
    }
    return true;
}

void wav_writer::abort() {
    if (sf_) sf_close(static_cast<SNDFILE*>(sf_));
    sf_ = nullptr;
    file_.abort();
}

std::optional<wav_contents> read_wav_file(const std::string& path, std::string* error) {
    SF_INFO info{};
    SNDFILE* sf = sf_open(path.c_str(), SFM_READ, &info);
    if (!sf) {
        if (error) *error = path + ": " + sf_strerror(nullptr);
        return std::nullopt;
    }
    wav_contents w;
    w.rate = info.samplerate;
    w.channels = info.channels;
    w.pcm16 = (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAV &&
              (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16;
    w.samples.resize(size_t(info.frames) * size_t(info.channels));
    sf_count_t got = sf_read_short(sf, w.samples.data(), sf_count_t(w.samples.size()));
    sf_close(sf);
    w.samples.resize(size_t(got));
    return w;
}
