#include "app/data_files.h"

#include <unistd.h>

#include <climits>

// Set by the build: the installed data folder, and the same folder as seen
// from the installed programs' folder.
#ifndef SYNTH_INSTALLED_DATA
#define SYNTH_INSTALLED_DATA "/usr/local/share/synth"
#endif
#ifndef SYNTH_DATA_FROM_PROGRAMS
#define SYNTH_DATA_FROM_PROGRAMS "../share/synth"
#endif

namespace {

bool readable(const std::string& path) { return access(path.c_str(), R_OK) == 0; }

std::string own_path() {
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, size_t(n)) : std::string();
}

} // namespace

std::string data_file(const std::string& name, const std::string& program) {
    if (readable(name)) return name;
    const std::string self = program.empty() ? own_path() : program;
    const size_t slash = self.rfind('/');
    if (slash != std::string::npos) {
        const std::string beside = self.substr(0, slash + 1) + SYNTH_DATA_FROM_PROGRAMS + "/" + name;
        if (readable(beside)) return beside;
    }
    const std::string installed = std::string(SYNTH_INSTALLED_DATA) + "/" + name;
    if (readable(installed)) return installed;
    return name;
}
