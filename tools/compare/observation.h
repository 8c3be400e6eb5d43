#pragma once

// Observation logs: what a listen-only tap at the session level (behind the program's own tap)
// saw during a session, and where the process ended. The simulator predicts one
// (quorvane-replay --observe), a Mac records one (quorvane-mac-replay); compare() tells whether
// they agree.
//
// Lines: "T TYPE key=K flags=0xF user=U", "T exit", "T still running", "T command held", with T
// in seconds (digits with an optional fraction); and of an alert, "T alert WHAT" (its texts and
// buttons, or whether it stood in front) and "T settings [TITLE]" (System Settings came up). CRLF
// line ends and one trailing blank line are tolerated.

#include "platform/vocabulary.h"

#include <cstdint>
#include <istream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace observation {

// Stamped by the program on every event it posts; its first such event is the Command press.
constexpr std::int64_t marker = 0x514F5256;
// The device-independent modifiers (Caps Lock, Shift, Control, Option, Command): macOS adds bits
// of its own (device-dependent, non-coalesced, numeric pad, function), which are not compared.
constexpr platform::EventFlags comparedFlags = 0x001F0000;
constexpr double defaultTolerance = 0.05;

struct Line {
  enum class Kind { event, exit, stillRunning, commandHeld, alert, settings };
  int number = 0;   // 1-based, in its log
  std::string text; // as written, without the line end
  double time = 0;
  Kind kind = Kind::event;
  platform::EventType type = platform::EventType::mouseMoved;
  platform::KeyCode key = 0;
  platform::EventFlags flags = 0;
  std::int64_t user = 0;
  std::string detail; // alert, settings: the words after the kind
};

// A malformed log; line is 1-based.
struct LogError : std::runtime_error {
  LogError(int line, const std::string& what) : std::runtime_error(what), line(line) {}
  int line;
};

std::vector<Line> parseLog(std::istream& input);

// Seconds as logs and --tolerance write them: digits with an optional fraction.
std::optional<double> parseSeconds(std::string_view text);

// The first difference; a line number one past a log's last line means that log had ended.
struct Disagreement {
  int expectedLine;
  int observedLine;
  std::string what;
};

// Both logs are aligned on their first line carrying the marker or, when neither has one, on their
// first alert line; from the line after it, event, alert and exit times must agree within the
// tolerance (with no such line, only the order counts). Alert lines are compared by their whole
// text. `still running` and `command held` mark an end, not a moment: their times are not
// compared. A `command held` in the observed log always disagrees. `settings` lines are counted,
// not placed: System Settings comes up in its own time, even after the app has exited.
std::optional<Disagreement> compare(const std::vector<Line>& expected,
                                    const std::vector<Line>& observed,
                                    double tolerance = defaultTolerance);

// "EXPECTED:L vs OBSERVED:L: what", then each log's line when it has one.
std::string describe(const Disagreement& disagreement, const std::vector<Line>& expected,
                     const std::vector<Line>& observed, std::string_view expectedName,
                     std::string_view observedName);

} // namespace observation
