// Captures what a test's code writes to stdout, stderr and std::cerr.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

// Everything written to stdout, stderr and std::cerr while it lives.
class captured_output {
public:
    captured_output() {
        std::fflush(nullptr);
        std::snprintf(path_, sizeof path_, "/tmp/dev-out-XXXXXX");
        int fd = mkstemp(path_);
        saved_[0] = dup(1);
        saved_[1] = dup(2);
        dup2(fd, 1);
        dup2(fd, 2);
        close(fd);
    }
    ~captured_output() {
        restore();
        unlink(path_);
    }
    std::string text() {
        restore();
        std::ifstream in(path_);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

private:
    void restore() {
        if (saved_[0] < 0) return;
        std::cout.flush();
        std::cerr.flush();
        std::fflush(nullptr);
        dup2(saved_[0], 1);
        dup2(saved_[1], 2);
        close(saved_[0]);
        close(saved_[1]);
        saved_[0] = -1;
    }
    char path_[32];
    int saved_[2] = {-1, -1};
};
