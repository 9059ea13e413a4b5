#include "files/replacement_file.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

bool replacement_file::open(const std::string& path, mode_t new_mode, int* err) {
    abort();
    tmp_ = path + ".XXXXXX";
    fd_ = ::mkstemp(tmp_.data()); // created with mode 0600
    if (fd_ < 0) {
        *err = errno;
        tmp_.clear();
        return false;
    }
    path_ = path;
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        ::fchmod(fd_, st.st_mode & 07777);
    else
        ::fchmod(fd_, new_mode);
    return true;
}

bool replacement_file::commit(int* err) {
    if (fd_ < 0) {
        *err = EBADF;
        return false;
    }
    bool ok = ::fsync(fd_) == 0;
    int e = errno;
    if (::close(fd_) != 0 && ok) {
        ok = false;
        e = errno;
    }
    fd_ = -1;
    if (ok && ::rename(tmp_.c_str(), path_.c_str()) != 0) {
        ok = false;
        e = errno;
    }
    if (!ok) {
        *err = e;
        abort();
        return false;
    }
    tmp_.clear();
    return true;
}

void replacement_file::abort() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!tmp_.empty()) ::unlink(tmp_.c_str());
    tmp_.clear();
}
