// libFuzzer target: arbitrary bytes as a trace. A trace that parses is replayed through the whole
// program, and its log must keep the rules of every session; a broken rule aborts, like a crash.
// A trace a Mac can follow is also played by quorvane-mac-replay's dry run, which must end and
// leave nothing held down.

#include "tests/session_rules.h"
#include "tools/mac-replay/tool.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>

namespace {

// What a dry run leaves down: a key or button whose last post pressed it, a modifier the last
// flags change of the tool left set, or the app's Command press that nothing released after.
std::string leftDown(const std::string& dryRun) {
  std::map<std::string, bool> down;
  std::istringstream lines(dryRun);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::string time, what, type, key, flags;
    words >> time >> what >> type >> key >> flags;
    if (what == "app:" && (type == "presses" || type == "releases"))
      down["app's Command"] = type == "presses";
    if (what != "post" && what != "release" && what != "cancel") continue;
    const bool press = type.ends_with("Down");
    if (type.starts_with("key") || type.ends_with("MouseDown") || type.ends_with("MouseUp"))
      down[type.starts_with("key") ? key : type.substr(0, type.find("Mouse"))] = press;
    if (type != "flagsChanged") continue;
    const unsigned long long set = std::stoull(flags.substr(8), nullptr, 16);
    down["modifiers"] = (set & 0x0E0000) != 0;
    if (key == "key=55" && (set & 0x100000) == 0) down["app's Command"] = false;
  }
  for (const auto& [what, pressed] : down)
    if (pressed) return what;
  return "";
}

} // namespace

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
  if (macreplay::unplayable(trace)) return 0;
  std::ostringstream dryRun;
  macreplay::dryRun(trace, macreplay::predictedMac(trace), dryRun);
  if (const std::string held = leftDown(dryRun.str()); !held.empty()) {
    std::fprintf(stderr, "the dry run left %s down:\n%s", held.c_str(), dryRun.str().c_str());
    std::abort();
  }
  return 0;
}
