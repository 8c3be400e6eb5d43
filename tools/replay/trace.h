#pragma once

// A trace: the directives that set up the simulated machine, and the inputs the program meets.

#include "platform/sim/sim.h"

#include <istream>
#include <stdexcept>
#include <string>
#include <vector>

namespace replay {

// A directive as the trace gave it, for tools that cannot follow every directive.
struct Directive {
  int line;
  std::vector<std::string> words; // the directive's name first
};

struct Trace {
  std::vector<std::string> args; // after the program path
  sim::Setup setup;
  std::vector<Directive> directives;
  std::vector<int> inputLines; // the line of each of setup.inputs
};

// A malformed trace; line is 1-based.
struct TraceError : std::runtime_error {
  TraceError(int line, const std::string& what) : std::runtime_error(what), line(line) {}
  int line;
};

Trace parseTrace(std::istream& input);

// Runs the program on the simulated platform and returns its log, one "T WHAT" line each; with
// notes, the program's notes on its session's course appear among them as "T note TEXT".
std::vector<std::string> replay(const Trace& trace, bool withNotes = false);

// Runs the program on the simulated platform and returns what a listen-only tap behind the
// program's own would see: "T TYPE key=K flags=0xF user=U" for each input event that passed and
// each event the program posted, "T exit" (or "T still running") where the process ended, and a
// last "T command held" when Command was left down.
std::vector<std::string> observe(const Trace& trace);

} // namespace replay
