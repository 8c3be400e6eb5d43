#pragma once

// A trace: the directives that set up the simulated machine, and the inputs the program meets.

#include "platform/sim/sim.h"

#include <istream>
#include <stdexcept>
#include <string>
#include <vector>

namespace replay {

struct Trace {
  std::vector<std::string> args; // after the program path
  sim::Setup setup;
};

// A malformed trace; line is 1-based.
struct TraceError : std::runtime_error {
  TraceError(int line, const std::string& what) : std::runtime_error(what), line(line) {}
  int line;
};

Trace parseTrace(std::istream& input);

// Runs the program on the simulated platform and returns its log, one "T WHAT" line each.
std::vector<std::string> replay(const Trace& trace);

} // namespace replay
