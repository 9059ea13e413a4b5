// The replacement file on Linux: a temporary file beside the target,
// renamed over it at commit; what goes to a FIFO, a device or standard
// output gathers in a file without a name (O_TMPFILE, else memfd) until then.
#include "files/replacement_file.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The folder part of a path with its last slash ("" for a bare name).
std::string folder_of(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Follows symbolic links until path names something else (or nothing yet).
bool follow_links(std::string& path, int* err) {
    for (int hops = 0;; ++hops) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
        if (hops == 40) {
            *err = ELOOP;
            return false;
        }
        std::vector<char> to(size_t(st.st_size) + 1);
        ssize_t n;
        while ((n = ::readlink(path.c_str(), to.data(), to.size())) >= ssize_t(to.size()))
            to.resize(to.size() * 2); // the link changed meanwhile
        if (n <= 0) {
            *err = n < 0 ? errno : ENOENT;
            return false;
        }
        path = to[0] == '/' ? std::string(to.data(), size_t(n))
                            : folder_of(path) + std::string(to.data(), size_t(n));
    }
}

// A temporary name beside path: path + ".XXXXXX", with the file's own name
// shortened where the whole would be longer than the folder allows.
std::string temporary_name(const std::string& path) {
    const std::string folder = folder_of(path);
    std::string name = path.substr(folder.size());
    long most = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    if (most <= 0) most = NAME_MAX;
    const size_t keep = most > 7 ? size_t(most) - 7 : 0;
    if (name.size() > keep) name.resize(keep);
    return folder + name + ".XXXXXX";
}

// A file without a name, gone once closed: in $TMPDIR or /tmp, else in memory.
int anonymous_file(int* err) {
    const char* const dirs[] = {std::getenv("TMPDIR"), "/tmp"};
    for (const char* dir : dirs) {
        if (!dir || !*dir) continue;
        const int fd = ::open(dir, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (fd >= 0) return fd;
    }
    const int fd = ::memfd_create("synth-output", MFD_CLOEXEC);
    if (fd < 0) *err = errno;
    return fd;
}

bool write_all(int fd, const char* p, size_t n, int* err) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            *err = w < 0 ? errno : EIO;
            return false;
        }
        p += w;
        n -= size_t(w);
    }
    return true;
}

// Writes all of `from` (from its start) to `to`; *copied counts the bytes.
bool copy_all(int from, int to, off_t* copied, int* err) {
    std::vector<char> buf(size_t(1) << 16);
    for (*copied = 0;;) {
        const ssize_t n = ::pread(from, buf.data(), buf.size(), *copied);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            *err = errno;
            return false;
        }
        if (n == 0) return true;
        if (!write_all(to, buf.data(), size_t(n), err)) return false;
        *copied += n;
    }
}

} // namespace

bool replacement_file::open(const std::string& path, mode_t new_mode, int* err,
                            bool wait_for_reader) {
    abort();
    if (path.empty()) {
        *err = ENOENT;
        return false;
    }
    struct stat st;
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        *err = EISDIR;
        return false;
    }
    if (exists && !S_ISREG(st.st_mode)) { // opened by its own name: /dev/stdout works too
        const int into = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY |
                                                  (wait_for_reader ? 0 : O_NONBLOCK));
        if (into < 0) {
            *err = errno;
            return false;
        }
        if (!wait_for_reader) ::fcntl(into, F_SETFL, ::fcntl(into, F_GETFL) & ~O_NONBLOCK);
        return gather(into, true, false, err);
    }
    std::string target = path;
    if (!follow_links(target, err)) return false;
    tmp_ = temporary_name(target);
    fd_ = ::mkstemp(tmp_.data()); // created with mode 0600
    if (fd_ < 0) {
        const int e = errno;
        tmp_.clear();
        if (exists && (e == EACCES || e == EPERM)) {
            const int into = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
            if (into >= 0) return gather(into, true, true, err);
        }
        *err = e;
        return false;
    }
    path_ = target;
    ::fchmod(fd_, exists ? st.st_mode & 07777 : new_mode);
    return true;
}

bool replacement_file::open_into(int fd, int* err) {
    abort();
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        *err = errno;
        return false;
    }
    return gather(fd, false, false, err);
}

bool replacement_file::gather(int into, bool own, bool rewrite, int* err) {
    fd_ = anonymous_file(err);
    if (fd_ < 0) {
        if (own) ::close(into);
        return false;
    }
    into_ = into;
    own_into_ = own;
    rewrite_ = rewrite;
    return true;
}

bool replacement_file::write(const void* p, size_t n, int* err) {
    return write_all(fd_, static_cast<const char*>(p), n, err);
}

bool replacement_file::commit(int* err) {
    if (fd_ < 0) {
        *err = EBADF;
        return false;
    }
    if (into_ >= 0) {
        // A reader that has gone (of a FIFO or pipe) makes the copy fail with
        // EPIPE instead of ending the program: SIGPIPE is held back in this
        // thread meanwhile, and one it raised is then discarded.
        sigset_t pipe_only, before;
        sigemptyset(&pipe_only);
        sigaddset(&pipe_only, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe_only, &before);
        int e = 0;
        off_t size = 0;
        bool ok = copy_all(fd_, into_, &size, &e);
        const timespec no_wait{0, 0};
        while (sigtimedwait(&pipe_only, nullptr, &no_wait) == SIGPIPE) {}
        pthread_sigmask(SIG_SETMASK, &before, nullptr);
        if (ok && rewrite_ && ::ftruncate(into_, size) != 0) {
            ok = false;
            e = errno;
        }
        struct stat st;
        if (ok && ::fstat(into_, &st) == 0 && S_ISREG(st.st_mode) && ::fsync(into_) != 0) {
            ok = false;
            e = errno;
        }
        if (own_into_ && ::close(into_) != 0 && ok) {
            ok = false;
            e = errno;
        }
        own_into_ = false;
        abort();
        if (!ok) *err = e;
        return ok;
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
    if (own_into_) ::close(into_);
    into_ = -1;
    own_into_ = false;
    rewrite_ = false;
}
