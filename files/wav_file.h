// 16-bit mono WAV files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "files/replacement_file.h"

// Writes a 16-bit PCM mono WAV file through a replacement_file: the target
// (a regular file, a FIFO or device written into, or an open descriptor such
// as standard output) receives the whole file, its header complete, only when
// commit() succeeds. Destroyed without a successful commit, it removes its
// temporary file and leaves the target as it was.
class wav_writer {
public:
    wav_writer() = default;
    wav_writer(const wav_writer&) = delete;
    wav_writer& operator=(const wav_writer&) = delete;
    ~wav_writer() { abort(); }

    bool open(const std::string& path, int rate, std::string* error);
    // Writes into fd at commit; `name` stands for it in messages.
    bool open_into(int fd, const std::string& name, int rate, std::string* error);
    bool write(const int16_t* samples, size_t n, std::string* error);
    bool commit(std::string* error);
    void abort();

private:
    bool start(int rate, std::string* error);

    std::string path_;
    replacement_file file_;
    void* sf_ = nullptr;
};

struct wav_contents {
    int rate = 0, channels = 0;
    bool pcm16 = false;
    std::vector<int16_t> samples;
};

// Reads a WAV file; nothing on failure, with error set.
std::optional<wav_contents> read_wav_file(const std::string& path, std::string* error);
