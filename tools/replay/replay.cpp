#include "app/entry.h"
#include "platform/sim/names.h"
#include "tools/replay/trace.h"

#include <algorithm>

namespace replay {

using sim::stamped;

namespace {

// Runs the program's real entry point, with the trace's arguments, on the simulated platform.
int run(const Trace& trace) {
  sim::reset(trace.setup);
  std::vector<const char*> argv = {"Quorvane"};
  for (const std::string& argument : trace.args)
    argv.push_back(argument.c_str());
  return quorvane::runProgram(static_cast<int>(argv.size()), argv.data());
}

} // namespace

std::vector<std::string> replay(const Trace& trace, bool withNotes) {
  const int status = run(trace);
  std::vector<std::string> lines;
  for (const sim::LogLine& line : sim::log())
    if (withNotes || !line.text.starts_with("note "))
      lines.push_back(stamped(line.time, line.text));
  std::string end = sim::stillRunning()   ? "still running"
                    : sim::waitsForever() ? "waits forever on an alert nobody answers"
                                          : "exit " + std::to_string(status);
  if (const std::optional<platform::Signal> signal = sim::killedBy())
    end = "killed " + std::string(sim::signalName(*signal));
  lines.push_back(stamped(sim::now(), end));
  return lines;
}

namespace {

// What an observer sees of an alert when it appears: its texts and buttons, the one Esc chooses
// marked, and that it stands in front, where the user can answer it.
void sightings(std::vector<std::pair<double, std::string>>& seen) {
  for (const sim::Alert& alert : sim::alerts()) {
    seen.emplace_back(alert.shown, "alert " + sim::describe(alert));
    seen.emplace_back(alert.shown, "alert in front");
  }
  for (double opened : sim::urlsOpened())
    seen.emplace_back(opened, "settings");
}

} // namespace

std::vector<std::string> observe(const Trace& trace) {
  run(trace);
  bool commandHeld = false;
  const auto event = [&](const sim::Input& input) {
    if (input.type == platform::EventType::flagsChanged && input.key == platform::key::command)
      commandHeld = (input.flags & platform::commandFlag) != 0;
    return std::pair(input.time, sim::describe(input));
  };
  // Alerts and System Settings come before the events of the same moment.
  std::vector<std::pair<double, std::string>> seen;
  sightings(seen);
  for (const sim::Input& input : sim::observed())
    seen.push_back(event(input));
  std::stable_sort(seen.begin(), seen.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  seen.emplace_back(sim::now(),
                    sim::stillRunning() || sim::waitsForever() ? "still running" : "exit");
  // What came after the process ended met no tap of ours; reopens, signals and quits are no events.
  const std::vector<sim::Input>& inputs = trace.setup.inputs;
  for (std::size_t i = sim::inputsReceived(); i < inputs.size(); ++i)
    if (inputs[i].kind == sim::Input::Kind::event && !isTapDisabledNotification(inputs[i].type))
      seen.push_back(event(inputs[i]));
  if (commandHeld) seen.emplace_back(seen.back().first, "command held");
  std::vector<std::string> lines;
  for (const auto& [time, text] : seen)
    lines.push_back(stamped(time, text));
  return lines;
}

} // namespace replay
