#include "app/entry.h"
#include "platform/sim/names.h"
#include "tools/replay/trace.h"

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
  std::string end = sim::stillRunning() ? "still running" : "exit " + std::to_string(status);
  if (const std::optional<platform::Signal> signal = sim::killedBy())
    end = "killed " + std::string(sim::signalName(*signal));
  lines.push_back(stamped(sim::now(), end));
  return lines;
}

std::vector<std::string> observe(const Trace& trace) {
  run(trace);
  std::vector<std::string> lines;
  bool commandHeld = false;
  double last = 0;
  const auto see = [&](const sim::Input& event) {
    lines.push_back(stamped(event.time, sim::describe(event)));
    last = event.time;
    if (event.type == platform::EventType::flagsChanged && event.key == platform::key::command)
      commandHeld = (event.flags & platform::commandFlag) != 0;
  };
  for (const sim::Input& event : sim::observed())
    see(event);
  last = sim::now();
  lines.push_back(stamped(last, sim::stillRunning() ? "still running" : "exit"));
  // What came after the process ended met no tap of ours; reopens and signals are no events.
  const std::vector<sim::Input>& inputs = trace.setup.inputs;
  for (std::size_t i = sim::inputsReceived(); i < inputs.size(); ++i)
    if (inputs[i].kind == sim::Input::Kind::event && !isTapDisabledNotification(inputs[i].type))
      see(inputs[i]);
  if (commandHeld) lines.push_back(stamped(last, "command held"));
  return lines;
}

} // namespace replay
