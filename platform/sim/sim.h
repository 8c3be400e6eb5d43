#pragma once

// The simulated platform: a virtual clock and main run loop, an event tap, alerts answered with a
// chosen button, injectable failures, and a log of everything a user could observe. Nothing
// sleeps and nothing reads a real clock. One process at a time: reset() between runs.

#include "platform/platform.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// Something that happens to the running program from outside, at a virtual time.
struct Input {
  enum class Kind { event, reopen, signal, quit }; // quit: the system asks the app to quit
  double time = 0;
  Kind kind = Kind::event;
  platform::Signal signal = platform::Signal::terminate; // for a signal
  platform::EventType type = platform::EventType::mouseMoved;
  platform::KeyCode key = 0;
  platform::EventFlags flags = 0;
  std::int64_t user = 0;
};

struct Failures {
  bool tap = false;
  bool runLoopSource = false;
  bool eventSource = false;
  bool events = false; // every keyboard event creation
};

struct LogLine {
  double time;
  std::string text;
};

// What the program passed when it created a tap, for checks the log does not show.
struct TapRequest {
  platform::TapLocation location;
  platform::TapPlacement placement;
  platform::TapOptions options;
  platform::EventMask mask;
  void* userInfo;
};

// Set before the program runs.
struct Setup {
  bool trusted = true;
  bool secureInput = false; // another application holds secure keyboard input
  int systemVersion = 26;   // the major version macOS reports to the program
  platform::AlertResponse alertButton = platform::alertFirstButton;
  // Each alert is answered this long after it appears; never, when empty.
  std::optional<double> alertAnswer = 0;
  Failures fail;
  std::vector<Input> inputs; // in time order
  double horizon = 3600;     // the run loop gives up here if the program has not ended
};

// An alert as the program showed it.
struct Alert {
  double shown = 0;
  std::string message{}, informative{};
  std::vector<std::string> buttons{};
  std::optional<std::size_t> escapeButton{};
};

// "TYPE key=K flags=0xF user=U": an event as logs and observations spell it.
std::string describe(const Input& event);
// "MESSAGE | INFORMATIVE | BUTTON...": an alert as observations spell it, the button Esc chooses
// marked " (Esc)".
std::string describe(const Alert& alert);
// A time as logs spell it: seconds with three decimals, in full however large.
std::string seconds(double time);
// "T TEXT": a line of a log.
std::string stamped(double time, const std::string& text);

// Forgets everything: clock, queues, taps, log, delegate. Keeps nothing of the last run.
void reset(Setup setup = {});

double now();
const std::vector<LogLine>& log();
// Termination was requested and the process has ended.
bool terminated();
// The run loop reached the horizon with the program still running.
bool stillRunning();
// The program waits on an alert that nothing will ever answer or end.
bool waitsForever();
// A signal nobody watched arrived, and its default action ended the process on the spot.
std::optional<platform::Signal> killedBy();
// The signals the program watches, in the order it asked.
std::vector<platform::Signal> watchedSignals();
const std::vector<TapRequest>& tapRequests();
// Every alert shown, in order, and when System Settings (any URL) was opened.
const std::vector<Alert>& alerts();
const std::vector<double>& urlsOpened();
// What a listen-only tap behind the program's own saw: the input events that passed it (as the
// program handed them back) or met no tap of its, and the events the program posted, in order.
const std::vector<Input>& observed();
// How many of the inputs reached the process before it ended; the rest came after.
std::size_t inputsReceived();
int eventSourcesCreated();

} // namespace sim
