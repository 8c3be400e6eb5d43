#include "app/entry.h"
#include "platform/sim/names.h"
#include "tools/replay/trace.h"

#include <cstdio>

namespace replay {

std::vector<std::string> replay(const Trace& trace, bool withNotes) {
  sim::reset(trace.setup);
  std::vector<const char*> argv = {"Quorvane"};
  for (const std::string& argument : trace.args)
    argv.push_back(argument.c_str());
  const int status = quorvane::runProgram(static_cast<int>(argv.size()), argv.data());

  std::vector<std::string> lines;
  const auto add = [&](double time, const std::string& text) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%.3f ", time);
    lines.push_back(stamp + text);
  };
  for (const sim::LogLine& line : sim::log())
    if (withNotes || !line.text.starts_with("note ")) add(line.time, line.text);
  if (const std::optional<platform::Signal> signal = sim::killedBy())
    add(sim::now(), "killed " + std::string(sim::signalName(*signal)));
  else
    add(sim::now(), sim::stillRunning() ? "still running" : "exit " + std::to_string(status));
  return lines;
}

} // namespace replay
