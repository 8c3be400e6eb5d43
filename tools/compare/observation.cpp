#include "tools/compare/observation.h"

#include "platform/sim/names.h"
#include "platform/sim/sim.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace observation {

using platform::EventType;

namespace {

std::vector<std::string> words(const std::string& line) {
  std::istringstream stream(line);
  std::vector<std::string> result;
  for (std::string word; stream >> word;)
    result.push_back(word);
  return result;
}

// NAME=VALUE with VALUE a whole number in base (16 after a required 0x); nullopt when malformed.
template <class Number>
std::optional<Number> field(std::string_view word, std::string_view name, int base) {
  if (!word.starts_with(name) || word.substr(name.size(), 1) != "=") return std::nullopt;
  std::string_view value = word.substr(name.size() + 1);
  if (base == 16) {
    if (!value.starts_with("0x")) return std::nullopt;
    value.remove_prefix(2);
  }
  Number number{};
  const auto [end, error] =
      std::from_chars(value.data(), value.data() + value.size(), number, base);
  if (value.empty() || error != std::errc{} || end != value.data() + value.size())
    return std::nullopt;
  return number;
}

Line parseLine(int number, const std::string& text) {
  const auto fail = [&](const std::string& what) -> Line { throw LogError(number, what); };
  const std::vector<std::string> w = words(text);
  Line line;
  line.number = number;
  line.text = text;
  const std::optional<double> time = parseSeconds(w[0]);
  if (!time) return fail("bad time '" + w[0] + "'");
  line.time = *time;
  if (w.size() == 1) return fail("nothing after the time");
  if (w.size() == 2 && w[1] == "exit") {
    line.kind = Line::Kind::exit;
  } else if (w.size() == 3 && w[1] == "still" && w[2] == "running") {
    line.kind = Line::Kind::stillRunning;
  } else if (w.size() == 3 && w[1] == "command" && w[2] == "held") {
    line.kind = Line::Kind::commandHeld;
  } else if (w[1] == "alert" || w[1] == "settings") {
    line.kind = w[1] == "alert" ? Line::Kind::alert : Line::Kind::settings;
    if (w.size() > 2) line.detail = text.substr(text.find(w[2], text.find(w[1]) + w[1].size()));
    if (line.kind == Line::Kind::alert && line.detail.empty()) return fail("nothing after alert");
  } else {
    const std::optional<EventType> type = sim::eventTypeNamed(w[1]);
    if (!type || platform::isTapDisabledNotification(*type))
      return fail("'" + w[1] + "' is no event type, alert, settings, exit, still running or " +
                  "command held");
    line.type = *type;
    if (w.size() != 5) return fail("expected 'key=K flags=0xF user=U' after " + w[1]);
    const auto key = field<platform::KeyCode>(w[2], "key", 10);
    const auto flags = field<platform::EventFlags>(w[3], "flags", 16);
    const auto user = field<std::int64_t>(w[4], "user", 10);
    if (!key) return fail("bad key field '" + w[2] + "'");
    if (!flags) return fail("bad flags field '" + w[3] + "'");
    if (!user) return fail("bad user field '" + w[4] + "'");
    line.key = *key;
    line.flags = *flags;
    line.user = *user;
  }
  return line;
}

bool isEnd(const Line& line) {
  return line.kind == Line::Kind::exit || line.kind == Line::Kind::stillRunning;
}

// The same line apart from its time.
bool same(const Line& a, const Line& b) {
  if (a.kind != b.kind) return false;
  if (a.kind == Line::Kind::alert) return a.detail == b.detail;
  return a.kind != Line::Kind::event || (a.type == b.type && a.key == b.key && a.user == b.user &&
                                         (a.flags & comparedFlags) == (b.flags & comparedFlags));
}

std::string hex(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
  return text;
}

std::string seconds(double value) {
  return sim::seconds(value) + " s";
}

std::string kindName(const Line& line) {
  switch (line.kind) {
  case Line::Kind::event: return "an event";
  case Line::Kind::exit: return "exit";
  case Line::Kind::stillRunning: return "still running";
  case Line::Kind::commandHeld: return "command held";
  case Line::Kind::alert: return "an alert";
  case Line::Kind::settings: return "System Settings";
  }
  return "";
}

std::string differences(const Line& e, const Line& o) {
  if (e.kind != o.kind) return kindName(e) + " vs " + kindName(o);
  if (e.kind == Line::Kind::alert) return "the alert differs";
  std::string what;
  const auto add = [&](const std::string& difference) {
    what += (what.empty() ? "" : ", ") + difference;
  };
  if (e.type != o.type)
    add("type " + std::string(sim::eventTypeName(e.type)) + " vs " +
        std::string(sim::eventTypeName(o.type)));
  if (e.key != o.key) add("key " + std::to_string(e.key) + " vs " + std::to_string(o.key));
  if ((e.flags & comparedFlags) != (o.flags & comparedFlags))
    add("flags " + hex(e.flags & comparedFlags) + " vs " + hex(o.flags & comparedFlags));
  if (e.user != o.user) add("user " + std::to_string(e.user) + " vs " + std::to_string(o.user));
  return what;
}

// How far on from index `from` a line the same as `line` comes; 0 when none does.
std::size_t distanceTo(const Line& line, const std::vector<Line>& lines, std::size_t from) {
  for (std::size_t i = from + 1; i < lines.size(); ++i)
    if (same(line, lines[i])) return i - from;
  return 0;
}

std::optional<std::size_t> first(const std::vector<Line>& lines, bool marked) {
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (marked ? lines[i].kind == Line::Kind::event && lines[i].user == marker
               : lines[i].kind == Line::Kind::alert)
      return i;
  return std::nullopt;
}

int lineAt(const std::vector<Line>& lines, std::size_t index) {
  if (index < lines.size()) return lines[index].number;
  return lines.empty() ? 1 : lines.back().number + 1;
}

} // namespace

std::optional<double> parseSeconds(std::string_view text) {
  const auto digits = [&](std::size_t from) {
    std::size_t i = from;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9')
      ++i;
    return i;
  };
  std::size_t end = digits(0);
  if (end == 0) return std::nullopt;
  if (end < text.size() && text[end] == '.') {
    const std::size_t fraction = end + 1;
    end = digits(fraction);
    if (end == fraction) return std::nullopt;
  }
  if (end != text.size()) return std::nullopt;
  const double value = std::strtod(std::string(text).c_str(), nullptr);
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

std::vector<Line> parseLog(std::istream& input) {
  std::vector<Line> lines;
  int number = 0, blank = 0;
  std::optional<Line> end; // exit or still running
  for (std::string text; std::getline(input, text);) {
    ++number;
    if (text.ends_with('\r')) text.pop_back();
    if (blank != 0) throw LogError(blank, "blank line");
    if (text.find_first_not_of(" \t") == std::string::npos) {
      blank = number;
      continue;
    }
    if (!lines.empty() && lines.back().kind == Line::Kind::commandHeld)
      throw LogError(number, "line after 'command held'");
    Line line = parseLine(number, text);
    if (end && (isEnd(line) || end->kind == Line::Kind::stillRunning) &&
        line.kind != Line::Kind::commandHeld && line.kind != Line::Kind::settings)
      throw LogError(number, "line after the process ended on line " + std::to_string(end->number) +
                                 " (" + kindName(*end) + ")");
    lines.push_back(std::move(line));
    if (isEnd(lines.back())) end = lines.back();
  }
  return lines;
}

std::optional<Disagreement> compare(const std::vector<Line>& expectedLog,
                                    const std::vector<Line>& observedLog, double tolerance) {
  std::vector<Line> expected, observed, settings[2];
  for (const Line& line : expectedLog)
    (line.kind == Line::Kind::settings ? settings[0] : expected).push_back(line);
  for (const Line& line : observedLog)
    (line.kind == Line::Kind::settings ? settings[1] : observed).push_back(line);
  const bool marked = first(expected, true) || first(observed, true);
  const std::optional<std::size_t> expectedMarker = first(expected, marked);
  const std::optional<std::size_t> observedMarker = first(observed, marked);
  const auto at = [&](std::size_t i, const std::string& what) {
    return Disagreement{lineAt(expected, i), lineAt(observed, i), what};
  };
  for (std::size_t i = 0; i < std::max(expected.size(), observed.size()); ++i) {
    if (i < observed.size() && observed[i].kind == Line::Kind::commandHeld)
      return at(i, "Command was left held");
    if (i >= observed.size()) return at(i, "missing from observed (observed has ended)");
    if (i >= expected.size()) return at(i, "extra line in observed (expected has ended)");
    const Line& e = expected[i];
    const Line& o = observed[i];
    if (!same(e, o)) {
      // A line too many or too few is named as such, not as a difference in every line after it.
      const std::size_t extra = distanceTo(e, observed, i);
      const std::size_t missing = distanceTo(o, expected, i);
      if (extra != 0 && (missing == 0 || extra < missing)) return at(i, "extra line in observed");
      if (missing != 0 && (extra == 0 || missing < extra)) return at(i, "missing from observed");
      return at(i, differences(e, o));
    }
    const bool timed =
        e.kind == Line::Kind::event || e.kind == Line::Kind::exit || e.kind == Line::Kind::alert;
    if (timed && expectedMarker && observedMarker && i > *expectedMarker && i > *observedMarker) {
      const double off =
          (o.time - observed[*observedMarker].time) - (e.time - expected[*expectedMarker].time);
      // Both times are written to the millisecond: allow for their rounding.
      if (std::abs(off) > tolerance + 1e-9)
        return at(i, "time " + seconds(std::abs(off)) + (off > 0 ? " late" : " early") +
                         " (tolerance " + seconds(tolerance) + ")");
    }
  }
  const std::size_t predicted = settings[0].size(), seen = settings[1].size();
  if (predicted > seen)
    return Disagreement{settings[0][seen].number, lineAt(observedLog, observedLog.size()),
                        "System Settings did not come up"};
  if (seen > predicted)
    return Disagreement{lineAt(expectedLog, expectedLog.size()), settings[1][predicted].number,
                        "System Settings came up unpredicted"};
  return std::nullopt;
}

std::string describe(const Disagreement& disagreement, const std::vector<Line>& expected,
                     const std::vector<Line>& observed, std::string_view expectedName,
                     std::string_view observedName) {
  std::string text = std::string(expectedName) + ":" + std::to_string(disagreement.expectedLine) +
                     " vs " + std::string(observedName) + ":" +
                     std::to_string(disagreement.observedLine) + ": " + disagreement.what + "\n";
  const auto show = [&](const char* label, const std::vector<Line>& lines, int number) {
    for (const Line& line : lines)
      if (line.number == number) text += std::string("  ") + label + line.text + "\n";
  };
  show("expected: ", expected, disagreement.expectedLine);
  show("observed: ", observed, disagreement.observedLine);
  return text;
}

} // namespace observation
