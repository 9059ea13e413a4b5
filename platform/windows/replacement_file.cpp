// The replacement file on Windows: the contents go to a temporary file
// beside the target, moved over it at commit (MoveFileEx, written through).
// There are no FIFOs or symbolic links to follow; standard output and other
// descriptors are written into at commit from a temporary file of their own.
#include "files/replacement_file.h"

#include <windows.h>
#include <io.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

// A new file that no one else has, named after `base`, open for reading and
// writing; -1 with errno set when none can be made.
int fresh_file(const std::string& base, std::string* name, bool temporary) {
    for (unsigned k = 0; k < 1000; ++k) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%lu-%u.tmp", GetCurrentProcessId(), k);
        *name = base + suffix;
        const int fd = ::_open(name->c_str(), _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY |
                                                  (temporary ? _O_TEMPORARY : 0),
                               _S_IREAD | _S_IWRITE);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

bool write_all(int fd, const void* p, size_t n, int* err) {
    const char* c = static_cast<const char*>(p);
    while (n > 0) {
        const int w = ::_write(fd, c, unsigned(n > (1u << 30) ? (1u << 30) : n));
        if (w < 0) {
            *err = errno;
            return false;
        }
        c += w;
        n -= size_t(w);
    }
    return true;
}

} // namespace

bool replacement_file::open(const std::string& path, mode_t, int* err, bool) {
    abort();
    path_ = path;
    fd_ = fresh_file(path, &tmp_, false);
    if (fd_ < 0) {
        *err = errno;
        tmp_.clear();
        return false;
    }
    return true;
}

bool replacement_file::open_into(int fd, int* err) {
    abort();
    std::string name;
    char dir[MAX_PATH + 1];
    const DWORD n = GetTempPathA(sizeof dir, dir);
    fd_ = fresh_file(std::string(n > 0 && n < sizeof dir ? dir : ".\\") + "synth", &name, true);
    if (fd_ < 0) {
        *err = errno;
        return false;
    }
    into_ = fd;
    ::_setmode(fd, _O_BINARY);
    return true;
}

bool replacement_file::gather(int, bool, bool, int*) { return false; }

bool replacement_file::write(const void* p, size_t n, int* err) { return write_all(fd_, p, n, err); }

bool replacement_file::commit(int* err) {
    if (fd_ < 0) {
        *err = EBADF;
        return false;
    }
    bool ok = true;
    if (into_ >= 0) { // copy the gathered contents out, then drop them
        char buf[65536];
        ok = ::_lseek(fd_, 0, SEEK_SET) == 0;
        if (!ok) *err = errno;
        while (ok) {
            const int r = ::_read(fd_, buf, sizeof buf);
            if (r < 0) {
                *err = errno;
                ok = false;
            }
            if (r <= 0) break;
            ok = write_all(into_, buf, size_t(r), err);
        }
        ::_close(fd_); // a temporary file: gone once closed
        fd_ = -1;
        into_ = -1;
        return ok;
    }
    if (::_commit(fd_) != 0) {
        *err = errno;
        ok = false;
    }
    ::_close(fd_);
    fd_ = -1;
    if (ok && !MoveFileExA(tmp_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        *err = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
        ok = false;
    }
    if (!ok) ::_unlink(tmp_.c_str());
    tmp_.clear();
    return ok;
}

void replacement_file::abort() {
    if (fd_ >= 0) ::_close(fd_);
    if (!tmp_.empty()) ::_unlink(tmp_.c_str());
    fd_ = -1;
    into_ = -1;
    tmp_.clear();
}
