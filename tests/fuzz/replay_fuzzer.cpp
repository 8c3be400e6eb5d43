// libFuzzer target: arbitrary bytes as a trace. A trace that parses is replayed through the whole
// program, and its log must keep the rules of every session; a broken rule aborts, like a crash.

#include "tests/session_rules.h"
#include "tools/replay/trace.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream input(std::string(reinterpret_cast<const char*>(data), size));
  replay::Trace trace;
  try {
    trace = replay::parseTrace(input);
  } catch (const replay::TraceError&) {
    return 0;
  }
  const std::vector<std::string> log = replay::replay(trace);
  if (const std::string broken = rules::broken(log); !broken.empty()) {
    std::fprintf(stderr, "broken session rule: %s\n", broken.c_str());
    std::abort();
  }
  return 0;
}
