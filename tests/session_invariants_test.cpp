// Random sessions through the real program on the simulated platform, each checked against the
// rules every session keeps (session_rules.h).
//
// QUORVANE_SESSIONS (default 20000) sets how many sessions run, QUORVANE_SEED (default 1) the first
// seed. A broken session is printed as a trace that quorvane-replay replays.

#include "tests/session_rules.h"
#include "tools/replay/trace.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <sstream>

namespace {

const std::string marked = "user=1364152918";

// A random session as a trace: directives of every kind, then events, reopens and signals at
// times that often fall on the program's own deadlines. Times are whole milliseconds, so that the
// printed trace replays exactly.
class SessionGenerator {
public:
  explicit SessionGenerator(std::uint64_t seed) : random(seed) {}

  std::string trace() {
    std::ostringstream out;
    if (chance(3))
      out << "args --check-permissions\n";
    else if (chance(5))
      out << "args " << pick({"-check-permissions", "--check-permissions=1", "--Check-Permissions"})
          << "\n";
    if (chance(5)) out << "trusted no\n";
    if (chance(50)) out << "alert-button second\n";
    // An alert nobody answers waits forever, unless something asks the process to end.
    const bool unanswered = chance(20);
    if (unanswered)
      out << "alert-answer never\n";
    else if (chance(30))
      out << "alert-answer " << pick({"0.5", "3", "15"}) << "\n";
    for (const char* failure : {"tap", "runloop-source", "event-source", "events"})
      if (chance(3)) out << "fail " << failure << "\n";
    // Some sessions start late, so that clicks come just before the session timeout.
    long ms = chance(10) ? 19000 + static_cast<long>(below(1400)) : 0;
    const std::uint64_t events = chance(25) ? below(5) : below(40);
    for (std::uint64_t i = 0; i < events; ++i) {
      ms = nextTime(ms);
      char time[32];
      std::snprintf(time, sizeof time, "%ld.%03ld ", ms / 1000, ms % 1000);
      out << time;
      event(out);
      out << '\n';
    }
    return out.str();
  }

private:
  std::uint64_t below(std::uint64_t bound) { return random() % bound; }
  bool chance(std::uint64_t percent) { return below(100) < percent; }
  template <class T> T pick(std::initializer_list<T> choices) {
    return choices.begin()[below(choices.size())];
  }

  long nextTime(long ms) {
    switch (below(20)) {
    case 0:
    case 1:
    case 2: return ms;
    case 3: return ms + pick<long>({50, 150, 2000}); // the exit delays
    case 4:
      return std::max<long>(
          ms, pick<long>({350, 500, 20300, 20349, 20350, 20500, 22348, 22349, 22350}));
    case 5:
    case 6: return ms + 1500 + static_cast<long>(below(4500));
    default:
      return ms + (chance(50) ? 1 + static_cast<long>(below(100))
                              : 100 + static_cast<long>(below(1400)));
    }
  }

  void event(std::ostream& out) {
    // Weighted: the commonest inputs appear more than once.
    static const std::vector<std::string> kinds = [] {
      std::istringstream names(
          "leftMouseDown leftMouseDown leftMouseUp leftMouseUp rightMouseDown rightMouseUp "
          "otherMouseDown otherMouseUp mouseMoved mouseMoved leftMouseDragged rightMouseDragged "
          "otherMouseDragged keyDown keyDown keyUp flagsChanged scrollWheel tapDisabledByTimeout "
          "tapDisabledByUserInput reopen signal quit");
      return std::vector<std::string>(std::istream_iterator<std::string>(names), {});
    }();
    const std::string& kind = kinds[below(kinds.size())];
    out << kind;
    if (kind == "reopen" || kind == "quit") return;
    if (kind == "signal") {
      out << ' ' << pick({"TERM", "INT", "HUP"});
      return;
    }
    if (kind.starts_with("key") || chance(10))
      out << " key="
          << (chance(60)   ? pick<unsigned>({48, 123, 124})
              : chance(50) ? pick<unsigned>({53, 55, 125, 126})
                           : static_cast<unsigned>(below(0x10000)));
    if (chance(50))
      out << " flags=0x" << std::hex
          << (chance(80) ? pick<std::uint64_t>({0, 0x100000, 0x20000, 0x120000}) : random())
          << std::dec;
    if (chance(10))
      out << ' ' << marked;
    else if (chance(3))
      out << " user=" << static_cast<std::int64_t>(random());
  }

  std::mt19937_64 random;
};

std::uint64_t setting(const char* name, std::uint64_t fallback) {
  const char* value = std::getenv(name);
  return value ? std::strtoull(value, nullptr, 0) : fallback;
}

std::vector<std::string> replayText(const std::string& text) {
  std::istringstream input(text);
  return replay::replay(replay::parseTrace(input));
}

TEST(SessionInvariants, HoldForRandomSessions) {
  const std::uint64_t first = setting("QUORVANE_SEED", 1);
  const std::uint64_t count = setting("QUORVANE_SESSIONS", 20000);
  for (std::uint64_t seed = first; seed < first + count; ++seed) {
    const std::string trace = SessionGenerator(seed).trace();
    const std::vector<std::string> log = replayText(trace);
    if (const std::string broken = rules::broken(log); !broken.empty()) {
      std::string printed;
      for (const std::string& line : log)
        printed += "# " + line + "\n";
      FAIL() << "# seed " << seed << ": " << broken << "\n" << trace << "# its log:\n" << printed;
    }
  }
}

} // namespace
