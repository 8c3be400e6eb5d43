// What the tap callback costs per event, path by path, next to the least that any pass-through tap
// must do: read the source user-data field and hand the event back. Every callback is called
// through a function pointer, as the system calls it, on the simulated backend.
//
// Run with no arguments it repeats every benchmark, interleaved, and ends with a table of medians:
// ns per event (CPU time) and the ratio to the baseline, all from the same run.

#include "platform/sim/sim.h"
#include "session/switcher.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace platform;
using quorvane::Switcher;

Event* passThrough(EventType, Event* event, void*) {
  benchmark::DoNotOptimize(integerField(*event, EventField::sourceUserData));
  return event;
}

enum class Session { idle, holding, finishing };

struct Path {
  const char* name;  // the benchmark's name
  const char* label; // its row in the table
  TapCallback callback;
  Session session;
  EventType type;
  KeyCode key = 0;
  bool marked = false;
};

// None of these events changes the session's state, so every iteration takes the same path.
const Path paths[] = {
    {"baseline", "baseline: read field 42, hand the event back", &passThrough, Session::holding,
     EventType::mouseMoved},
    {"marker", "marker event (our own Tab)", &Switcher::tapCallback, Session::holding,
     EventType::keyDown, key::tab, true},
    {"move/holding", "pointer movement while holding (Command added)", &Switcher::tapCallback,
     Session::holding, EventType::mouseMoved},
    {"tab/holding", "Tab key-down while holding (Command added)", &Switcher::tapCallback,
     Session::holding, EventType::keyDown, key::tab},
    {"mouse-up/holding", "unmatched mouse-up while holding", &Switcher::tapCallback,
     Session::holding, EventType::leftMouseUp},
    {"idle", "any event while not holding", &Switcher::tapCallback, Session::idle,
     EventType::scrollWheel},
    {"finishing", "event while finishing (mouse-up awaited)", &Switcher::tapCallback,
     Session::finishing, EventType::mouseMoved},
};

Owned<Event> makeEvent(EventType type, KeyCode key, std::int64_t user) {
  Owned<Event> event = createKeyboardEvent(nullptr, key, true);
  setType(*event, type);
  setIntegerField(*event, EventField::sourceUserData, user);
  return event;
}

bool inState(const Switcher& switcher, Session session) {
  switch (session) {
  case Session::idle: return !switcher.isHolding() && !switcher.isFinishing();
  case Session::holding: return switcher.isHolding() && !switcher.isFinishing();
  case Session::finishing: return !switcher.isHolding() && switcher.isFinishing();
  }
  return false;
}

// Paths whose benchmark found the session in the wrong state: they get no row in the table.
std::set<std::string> failed;

void fail(benchmark::State& state, const Path& path, const char* reason) {
  failed.insert(path.name);
  state.SkipWithError(reason);
}

void measure(benchmark::State& state, const Path& path) {
  sim::reset();
  Switcher switcher;
  if (path.session != Session::idle) switcher.start();
  // A left click ends the session and leaves its mouse-up awaited: the usual way to finish.
  const Owned<Event> click = makeEvent(EventType::leftMouseDown, 0, 0);
  const Owned<Event> release = makeEvent(EventType::leftMouseUp, 0, 0);
  if (path.session == Session::finishing)
    Switcher::tapCallback(EventType::leftMouseDown, click.get(), &switcher);

  const Owned<Event> event = makeEvent(path.type, path.key, path.marked ? switcher.marker : 0);
  TapCallback callback = path.callback;
  void* userInfo = &switcher;
  if (callback(path.type, event.get(), userInfo) != event.get() || !inState(switcher, path.session))
    return fail(state, path, "the event did not take the path it should");

  for (auto _ : state) {
    // Opaque, so that no callback is inlined into the loop: the system calls through a pointer.
    benchmark::DoNotOptimize(callback);
    Event* verdict = callback(path.type, event.get(), userInfo);
    benchmark::DoNotOptimize(verdict);
    benchmark::ClobberMemory();
  }

  const bool stillAwaiting =
      path.session != Session::finishing ||
      Switcher::tapCallback(EventType::leftMouseUp, release.get(), &switcher) == nullptr;
  if (!inState(switcher, path.session) || !stillAwaiting)
    fail(state, path, "the session changed state during the run");
}

// The usual console output, then the medians side by side.
class Table : public benchmark::ConsoleReporter {
public:
  // Plain text: the output goes to logs and pipes as often as to a terminal.
  Table() : ConsoleReporter(OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
      if (median || single) nanoseconds[run.run_name.function_name] = run.GetAdjustedCPUTime();
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    const auto baseline = nanoseconds.find(paths[0].name);
    if (baseline == nanoseconds.end() || failed.contains(paths[0].name)) return;
    std::string out = "\n| path | ns per event | ratio to baseline |\n|---|---:|---:|\n";
    std::vector<std::string> missed;
    char row[160];
    for (const Path& path : paths) {
      const auto found = nanoseconds.find(path.name);
      if (found == nanoseconds.end() || failed.contains(path.name)) continue;
      const double ratio = found->second / baseline->second;
      std::snprintf(row, sizeof row, "| %s | %.1f | %.2f |\n", path.label, found->second, ratio);
      out += row;
      if (found->second >= 25 || ratio > 3) missed.push_back(path.name);
    }
    out +=
        "\nMedian CPU time per event. Goal (every path under 25 ns and within 3x the baseline): ";
    out += missed.empty() ? "met." : "missed by";
    for (const std::string& name : missed)
      out += " " + name;
    GetOutputStream() << out << '\n';
  }

private:
  std::map<std::string, double> nanoseconds;
};

} // namespace

int main(int argc, char** argv) {
  // Defaults first, so that the same flags given on the command line win.
  std::vector<char*> arguments{argv[0]};
  char repetitions[] = "--benchmark_repetitions=12";
  char interleaving[] = "--benchmark_enable_random_interleaving=true";
  char aggregates[] = "--benchmark_display_aggregates_only=true";
  arguments.insert(arguments.end(), {repetitions, interleaving, aggregates});
  arguments.insert(arguments.end(), argv + 1, argv + argc);
  int count = static_cast<int>(arguments.size());
  benchmark::Initialize(&count, arguments.data());
  if (benchmark::ReportUnrecognizedArguments(count, arguments.data())) return 1;

  for (const Path& path : paths)
    benchmark::RegisterBenchmark(path.name, &measure, path)->Unit(benchmark::kNanosecond);
  Table table;
  benchmark::RunSpecifiedBenchmarks(&table);
  benchmark::Shutdown();
  return 0;
}
