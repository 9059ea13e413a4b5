// A file written so that a failed or interrupted write never harms what was
// there before.
//
// Usually the contents go to a temporary file beside the target, renamed over
// it only once every byte is on disk. A symbolic link is followed to the file
// it names: that file is replaced and the link stays a link. Two kinds of
// target are written into instead, at commit, from an anonymous temporary
// file that gathers the contents until then:
//   - one that is not a regular file: a FIFO, a device, standard output;
//   - a regular file in a folder where no temporary file can be made beside
//     it (no write permission there) while the file itself is writable.
//
// Each system writes it its own way: platform/linux/replacement_file.cpp,
// platform/windows/replacement_file.cpp.
#pragma once

#include <string>
#include <sys/types.h>

class replacement_file {
public:
    replacement_file() = default;
    replacement_file(const replacement_file&) = delete;
    replacement_file& operator=(const replacement_file&) = delete;
    ~replacement_file() { abort(); }

    // Prepares to write path. A replaced regular file passes its permission
    // bits on; a new file gets new_mode. A FIFO is opened for writing, which
    // waits for a reader unless wait_for_reader is false (then a FIFO without
    // one fails with ENXIO). False with *err set (an errno value) on failure.
    bool open(const std::string& path, mode_t new_mode, int* err, bool wait_for_reader = true);

    // Prepares to write into an open descriptor (standard output, say), from
    // its current position, at commit. The descriptor is not closed.
    bool open_into(int fd, int* err);

    // Where the contents go until commit, while open (else -1): a regular
    // file, open for reading and writing, that may be seeked.
    int fd() const { return fd_; }

    // Writes all n bytes at the current position of fd(). False with *err
    // set on failure.
    bool write(const void* p, size_t n, int* err);

    // Puts the contents in place: renames the temporary file over the target,
    // or writes the gathered contents into the target (a regular file is cut
    // to their length). On failure *err is set and the temporary file removed;
    // a target that was to be renamed over is left as it was.
    bool commit(int* err);

    // Drops the contents; the target stays as it was.
    void abort();

private:
    // Gathers the contents in an anonymous file, to be written into `into`.
    bool gather(int into, bool own, bool rewrite, int* err);

    std::string path_, tmp_; // the target and the temporary file beside it
    int fd_ = -1;
    int into_ = -1;          // the target written into at commit, or -1
    bool own_into_ = false;  // into_ is closed here
    bool rewrite_ = false;   // into_ is a regular file written from its start
};
