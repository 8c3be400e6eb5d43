#pragma once

// quorvane-mac-replay as a command: its arguments, the traces a real Mac cannot follow, and the
// dry run, which plays a Player against a Mac imagined from the simulator's prediction.

#include "tools/mac-replay/player.h"

#include <optional>
#include <ostream>
#include <string>

namespace macreplay {

// Plays against the real app: the Mac shell, or none where the tool is built without one.
using PlayOnMac = int (*)(Player& player, const std::string& appPath);

// Runs the tool: APP TRACE [--check] plays the trace against the app (with playOnMac, on macOS
// `macos`), and --dry-run TRACE shows what that would do. Returns its exit status.
int runTool(int argc, const char* const argv[], PlayOnMac playOnMac, int macos, std::ostream& out,
            std::ostream& err);

// "LINE: what" for the first trace line that a real Mac cannot be made to follow.
std::optional<std::string> unplayable(const replay::Trace& trace);

// A Mac as a dry run imagines it; times count from the launch.
struct DryMac {
  int macos = 26; // the major version it reports to the tool and the app; the trace's by default
  Rights preflight{.listen = true, .post = true}; // what macOS's preflight answers, and AX's
  bool hearsProbe = true;                         // the tool may listen and post
  bool secureInput = false;
  // How long LaunchServices takes to answer a launch; it may never answer.
  std::optional<double> launchAnswer = 0;
  bool opens = true;                  // whether it can open the app at all
  std::optional<double> press;        // the app presses Command
  std::optional<double> release;      // and releases it
  std::optional<double> exit;         // its process ends on its own
  double killTakes = 0;               // a killed app is gone this much later
  platform::EventFlags modifiers = 0; // what the state tables say at the end
  std::optional<double> interrupt;    // a Ctrl-C
  // An alert trace: what the app's probe says, its alert (and when), how long after that it comes
  // in front, when System Settings comes up, and when one left by an earlier run has quit.
  std::string probe = "Accessibility: not allowed";
  std::optional<sim::Alert> alert;
  std::optional<double> inFront = 0, settings, settingsLeft;
};

// The Mac on which the app does what the simulator predicts for the trace.
DryMac predictedMac(const replay::Trace& trace);
// That Mac as the trace's "# mac:" line changes it, WORD=VALUE each (docs/guide.md); throws
// replay::TraceError on a word it does not know or a value it cannot read.
DryMac macOf(const replay::Trace& trace, const std::string& text);

// Prints, one "T WHAT" line each, what the tool would do on that Mac, what the app does there
// and what the tool would say, then, each line as "log: T WHAT", the log the tool would print of
// what its tap saw there (the app's own Command press and release: the dry Mac shows it nothing
// else) and where the app exited, still ran, or left Command held; last, "verdict: " and what
// --check would conclude. Returns the status --check would leave with.
int dryRun(const replay::Trace& trace, const DryMac& mac, std::ostream& out);

} // namespace macreplay
