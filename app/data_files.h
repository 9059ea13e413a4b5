// Where the programs find the files they read at start (the panel's picture):
// in the current folder first, as in the build folder; then in the data
// folder of the installation they were started from, found beside the
// program (<bin>/../share/synth, whatever the prefix it was installed or
// packaged under); then in the data folder it was built for.
#pragma once

#include <string>

// The first of those places that holds a readable file of that name, or the
// bare name when none does. program is the program's own path; empty means
// /proc/self/exe.
std::string data_file(const std::string& name, const std::string& program = "");
