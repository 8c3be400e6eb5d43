#include "tests/session_rules.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <sstream>
#include <string_view>

namespace rules {

namespace {

const std::string markerValue = "1364152918";
const std::string marked = "user=" + markerValue;
const std::string commandPress = "post flagsChanged key=55 flags=0x100000 " + marked;
const std::string commandRelease = "post flagsChanged key=55 flags=0x0 " + marked;
const std::string escapeDown = "post keyDown key=53 flags=0x100000 " + marked;
const std::string escapeUp = "post keyUp key=53 flags=0x100000 " + marked;
const std::string tabDown = "post keyDown key=48 flags=0x100000 " + marked;
const std::string tabUp = "post keyUp key=48 flags=0x100000 " + marked;
// An alert that was up when the process ended.
const std::string endedWithTheProcess = " -> none: the process ended";

// The click that ended a session, and the mouse-up it leaves to be swallowed.
std::optional<std::string> mouseUpFor(const std::string& type) {
  if (type == "leftMouseDown") return "leftMouseUp";
  if (type == "rightMouseDown") return "rightMouseUp";
  if (type == "otherMouseDown") return "otherMouseUp";
  return std::nullopt;
}

// An "event" line: TYPE key=K flags=F user=U -> pass flags=G | swallow, or for a tap-disabled
// notification only TYPE -> pass | swallow.
struct Arrival {
  std::string type, flags, user, verdict, flagsOut;
  bool notification = false;
};

std::optional<Arrival> readEvent(const std::string& text) {
  std::istringstream stream(text);
  const std::vector<std::string> w(std::istream_iterator<std::string>(stream), {});
  const auto field = [&](std::size_t i, std::string_view name) {
    return w[i].starts_with(name) ? std::optional(w[i].substr(name.size())) : std::nullopt;
  };
  Arrival arrival;
  if (w.size() == 4 && w[0] == "event" && w[2] == "->") {
    arrival.type = w[1];
    arrival.verdict = w[3];
    arrival.notification = true;
    return arrival;
  }
  if (w.size() < 7 || w.size() > 8 || w[0] != "event" || !field(2, "key=") || w[5] != "->")
    return std::nullopt;
  arrival.type = w[1];
  arrival.flags = field(3, "flags=").value_or("?");
  arrival.user = field(4, "user=").value_or("?");
  arrival.verdict = w[6];
  if (w.size() == 8) arrival.flagsOut = field(7, "flags=").value_or("?");
  if ((arrival.verdict == "pass") != (w.size() == 8)) return std::nullopt;
  return arrival;
}

struct Phase {
  bool holding = false;
  bool finishing = false;
};

// The latest click comes just before the session timeout (0.35 + 20.0 s) and waits 2.0 s for its
// mouse-up; a mouse-up just before that wait ends moves the exit 0.05 s on.
constexpr double latestExit = 0.35 + 20.0 + 2.0 + 0.05;

// Lines that change nothing the checks follow.
const std::string_view harmless[] = {"policy ", "stdout ", "tap create ", "runloop-source create ",
                                     "tap disable"};

// The longest a request to end (a second launch, a signal, a quit) may keep the process waiting.
constexpr double exitAfterRequest = 0.15;

} // namespace

std::string broken(const std::vector<std::string>& log) {
  Phase now;
  // The phase before the posts just read: the event that closes them was judged in it.
  Phase beforePosts;
  bool commandHeld = false;
  int escapeDowns = 0, escapeUps = 0, swallowedWhileFinishing = 0;
  bool escapeInPosts = false;
  std::optional<std::string> awaitedMouseUp;
  std::optional<double> terminatedAt;
  // An alert is up from its activation to its line; an alert shown may keep the process long.
  bool alertUp = false, alertShown = false;
  std::optional<double> requestedWhileAlertUp;
  bool requested = false;
  double last = 0;
  for (std::size_t i = 0; i < log.size(); ++i) {
    const std::string& line = log[i];
    const double time = std::strtod(line.c_str(), nullptr);
    const std::string text = line.substr(line.find(' ') + 1);
    const std::string where = " (line " + std::to_string(i + 1) + ": " + line + ")";
    if (time < last) return "time went backwards" + where;
    last = time;
    const bool ends = text.starts_with("exit ") || text.starts_with("killed ") ||
                      text == "still running" || text.starts_with("waits forever");
    if (text.starts_with("after terminate: "))
      return "the program asked the platform for something after terminate" + where;
    const bool lastWords = text == commandRelease || text.ends_with(endedWithTheProcess);
    if (terminatedAt && !ends && (time != *terminatedAt || !lastWords))
      return "something ran after terminate" + where;

    if (text.starts_with("post ")) {
      if (text == commandPress) {
        if (commandHeld) return "Command pressed twice" + where;
        commandHeld = true;
      } else if (text == commandRelease) {
        if (!commandHeld) return "Command released without a press" + where;
        commandHeld = false;
        now = {false, true};
      } else if (text == escapeDown || text == escapeUp) {
        if (!commandHeld) return "Escape posted while Command was not held" + where;
        int& count = text == escapeDown ? escapeDowns : escapeUps;
        if (++count > 1 || escapeUps > escapeDowns) return "more than one Escape tap" + where;
        escapeInPosts = true;
      } else if (text != tabDown && text != tabUp) {
        return "unexpected post" + where;
      }
      continue;
    }

    const Phase at = beforePosts;
    const bool escapeBefore = escapeInPosts;
    escapeInPosts = false;
    if (text == "tap enable") {
      if (!now.finishing) now.holding = true;
    } else if (text.starts_with("event ")) {
      const std::optional<Arrival> event = readEvent(text);
      if (!event) return "unreadable line" + where;
      const std::string& type = event->type;
      const bool swallowed = event->verdict == "swallow";
      if (event->user == markerValue) {
        if (swallowed) return "an event carrying the marker was swallowed" + where;
        if (event->flags != event->flagsOut)
          return "an event carrying the marker was changed" + where;
      } else if (event->notification) { // a tap-disabled notification
        if (swallowed) return "a tap-disabled notification was swallowed" + where;
        if (at.holding) now = {false, true};
      } else if (swallowed && at.holding) { // the event that ended the session
        if (type == "leftMouseDown" && escapeBefore) return "Escape posted on a commit" + where;
        now = {false, true};
        awaitedMouseUp = mouseUpFor(type);
      } else if (swallowed && at.finishing) {
        if (++swallowedWhileFinishing > 1 || awaitedMouseUp != type)
          return "swallowed while finishing, and not the awaited mouse-up" + where;
        awaitedMouseUp.reset();
      } else if (swallowed) {
        return "swallowed while neither holding nor finishing" + where;
      }
    } else if (text.starts_with("reopen ") || text.starts_with("signal ") || text == "quit") {
      now = {false, true};
      requested = true;
      if (alertUp && !requestedWhileAlertUp) requestedWhileAlertUp = time;
      if (text == "quit") terminatedAt = time;
    } else if (text == "activate ignoring other apps") {
      alertUp = alertShown = true;
    } else if (text.starts_with("alert ")) {
      if (!alertUp) return "an alert without its activation" + where;
      alertUp = false;
      if (requestedWhileAlertUp && !text.ends_with(" -> -1001") &&
          !text.ends_with(endedWithTheProcess))
        return "an alert outlived a request to end" + where;
    } else if (text.starts_with("open ")) {
      if (requestedWhileAlertUp) return "opened a link after a request to end" + where;
    } else if (text == "terminate") {
      terminatedAt = time;
    } else if (text.starts_with("waits forever")) {
      if (requested) return "waits forever after a request to end" + where;
      if (!alertUp || commandHeld) return "waits forever, and not on an alert" + where;
      return "";
    } else if (text.starts_with("exit ")) {
      if (i + 1 != log.size()) return "the log goes on after the exit" + where;
      if (!alertShown && time > latestExit + 1e-9)
        return "exited later than 22.4 s after launch" + where;
      if (requestedWhileAlertUp && time > *requestedWhileAlertUp + exitAfterRequest + 1e-9)
        return "exited later than 0.15 s after a request to end during an alert" + where;
      if (commandHeld) return "exited with Command held" + where;
      return "";
    } else if (text == "still running" || text.starts_with("killed ")) {
      return "the process did not exit" + where;
    } else if (!std::ranges::any_of(harmless, [&](auto h) { return text.starts_with(h); })) {
      return "unreadable line" + where;
    }
    beforePosts = now;
  }
  return "the log ends without an exit";
}

} // namespace rules
