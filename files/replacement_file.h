// A file written beside its target and renamed over it only once every byte
// is on disk, so that a failed or interrupted write never harms the target.
#pragma once

#include <string>
#include <sys/types.h>

class replacement_file {
public:
    replacement_file() = default;
    replacement_file(const replacement_file&) = delete;
    replacement_file& operator=(const replacement_file&) = delete;
    ~replacement_file() { abort(); }

    // Creates the temporary file in the target's folder. It takes the mode of
    // the regular file it will replace, or new_mode when there is none.
    // False with *err set (an errno value) on failure.
    bool open(const std::string& path, mode_t new_mode, int* err);

    // The temporary file's descriptor while open, else -1.
    int fd() const { return fd_; }

    // Syncs and closes the temporary file and renames it over the target.
    // On failure the temporary file is removed, the target left as it was,
    // and *err set.
    bool commit(int* err);

    // Removes the temporary file, if any; the target stays as it was.
    void abort();

private:
    std::string path_, tmp_;
    int fd_ = -1;
};
