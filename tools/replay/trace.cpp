#include "tools/replay/trace.h"

#include "platform/sim/names.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>
#include <sstream>
#include <string_view>

namespace replay {

using platform::EventType;

namespace {

std::vector<std::string> words(std::string line) {
  if (const auto comment = line.find('#'); comment != std::string::npos) line.erase(comment);
  std::istringstream stream(line);
  std::vector<std::string> result;
  for (std::string word; stream >> word;)
    result.push_back(word);
  return result;
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Digits with an optional fraction.
std::optional<double> parseTime(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && isDigit(text[i]))
    ++i;
  if (i == 0) return std::nullopt;
  if (i < text.size() && text[i] == '.') {
    const std::size_t fraction = ++i;
    while (i < text.size() && isDigit(text[i]))
      ++i;
    if (i == fraction) return std::nullopt;
  }
  if (i != text.size()) return std::nullopt;
  const double seconds = std::strtod(std::string(text).c_str(), nullptr);
  if (!std::isfinite(seconds)) return std::nullopt;
  return seconds;
}

class Parser {
public:
  explicit Parser(std::istream& input) : input(input) {}

  Trace parse() {
    for (std::string line; std::getline(input, line);) {
      ++lineNumber;
      const std::vector<std::string> line_words = words(line);
      if (line_words.empty()) continue;
      if (isDirective(line_words[0]))
        directive(line_words);
      else
        event(line_words);
    }
    return std::move(trace);
  }

private:
  [[noreturn]] void fail(const std::string& what) const { throw TraceError(lineNumber, what); }

  static bool isDirective(std::string_view word) {
    return word == "args" || word == "trusted" || word == "alert-button" ||
           word == "alert-answer" || word == "fail" || word == "secure-input" || word == "macos";
  }

  void directive(const std::vector<std::string>& w) {
    if (!trace.setup.inputs.empty()) fail("directive '" + w[0] + "' after the first event");
    trace.directives.push_back({lineNumber, w});
    if (w[0] == "args") {
      trace.args.assign(w.begin() + 1, w.end());
      return;
    }
    if (w.size() != 2) fail("'" + w[0] + "' takes exactly one word");
    const std::string& value = w[1];
    if (w[0] == "trusted" || w[0] == "secure-input") {
      if (value != "yes" && value != "no") fail(w[0] + " must be yes or no, not '" + value + "'");
      (w[0] == "trusted" ? trace.setup.trusted : trace.setup.secureInput) = value == "yes";
    } else if (w[0] == "macos") {
      trace.setup.systemVersion = systemVersion(value);
    } else if (w[0] == "alert-answer") {
      const std::optional<double> seconds = parseTime(value);
      if (!seconds && value != "never")
        fail("alert-answer must be seconds or never, not '" + value + "'");
      trace.setup.alertAnswer = seconds;
    } else if (w[0] == "alert-button") {
      if (value != "first" && value != "second")
        fail("alert-button must be first or second, not '" + value + "'");
      trace.setup.alertButton =
          value == "first" ? platform::alertFirstButton : platform::alertSecondButton;
    } else {
      sim::Failures& failures = trace.setup.fail;
      if (value == "tap")
        failures.tap = true;
      else if (value == "runloop-source")
        failures.runLoopSource = true;
      else if (value == "event-source")
        failures.eventSource = true;
      else if (value == "events")
        failures.events = true;
      else
        fail("cannot fail '" + value + "': tap, runloop-source, event-source or events");
    }
  }

  void event(const std::vector<std::string>& w) {
    const std::optional<double> time = parseTime(w[0]);
    if (!time) {
      if (!isDigit(w[0][0]) && w[0][0] != '.' && w[0][0] != '-')
        fail("unknown directive '" + w[0] + "'");
      fail("bad time '" + w[0] + "'");
    }
    if (*time < lastTime) fail("time goes backwards: " + w[0]);
    lastTime = *time;
    if (w.size() < 2) fail("missing event name after " + w[0]);

    sim::Input input;
    input.time = *time;
    if (w[1] == "reopen" || w[1] == "quit") {
      if (w.size() > 2) fail("unexpected '" + w[2] + "' after " + w[1]);
      input.kind = w[1] == "quit" ? sim::Input::Kind::quit : sim::Input::Kind::reopen;
    } else if (w[1] == "signal") {
      if (w.size() < 3) fail("missing signal name: TERM, INT or HUP");
      const std::optional<platform::Signal> signal = sim::signalNamed(w[2]);
      if (!signal) fail("unknown signal '" + w[2] + "': TERM, INT or HUP");
      if (w.size() > 3) fail("unexpected '" + w[3] + "' after signal " + w[2]);
      input.kind = sim::Input::Kind::signal;
      input.signal = *signal;
    } else {
      const std::optional<EventType> type = sim::eventTypeNamed(w[1]);
      if (!type) fail("unknown event '" + w[1] + "'");
      input.type = *type;
      fields(w, input);
    }
    trace.setup.inputs.push_back(input);
    trace.inputLines.push_back(lineNumber);
  }

  void fields(const std::vector<std::string>& w, sim::Input& input) {
    bool seenKey = false, seenFlags = false, seenUser = false;
    for (std::size_t i = 2; i < w.size(); ++i) {
      const std::string& word = w[i];
      const auto equals = word.find('=');
      const std::string name = word.substr(0, equals);
      const std::string_view value = equals == std::string::npos
                                         ? std::string_view{}
                                         : std::string_view(word).substr(equals + 1);
      bool* seen = name == "key"     ? &seenKey
                   : name == "flags" ? &seenFlags
                   : name == "user"  ? &seenUser
                                     : nullptr;
      if (seen == nullptr || equals == std::string::npos)
        fail("unexpected '" + word + "' after the event");
      if (*seen) fail("'" + name + "' given twice");
      *seen = true;
      if (name == "key")
        input.key = static_cast<platform::KeyCode>(number(value, 0xFFFF, word));
      else if (name == "flags")
        input.flags = number(value, std::numeric_limits<std::uint64_t>::max(), word);
      else
        input.user = signedNumber(value, word);
    }
  }

  // The major version macOS reports to the program: plain decimal digits, 13 to 99.
  int systemVersion(const std::string& value) const {
    int version = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), version);
    if (!isDigit(value[0]) || end != value.data() + value.size() || error != std::errc{} ||
        version < 13 || version > 99)
      fail("macos must be a major version from 13 to 99, not '" + value + "'");
    return version;
  }

  // Decimal or 0x hexadecimal; a leading zero is still decimal.
  std::uint64_t number(std::string_view text, std::uint64_t max, const std::string& word) const {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
      base = 16;
      text.remove_prefix(2);
    }
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || end != text.data() + text.size() ||
        (error != std::errc{} && error != std::errc::result_out_of_range))
      fail("bad number in '" + word + "'");
    if (error == std::errc::result_out_of_range || value > max)
      fail("'" + word + "' is out of range");
    return value;
  }

  std::int64_t signedNumber(std::string_view text, const std::string& word) const {
    const bool negative = !text.empty() && text[0] == '-';
    if (negative) text.remove_prefix(1);
    constexpr std::uint64_t limit = std::uint64_t{1} << 63;
    const std::uint64_t magnitude = number(text, negative ? limit : limit - 1, word);
    return negative ? static_cast<std::int64_t>(0 - magnitude)
                    : static_cast<std::int64_t>(magnitude);
  }

  std::istream& input;
  Trace trace;
  int lineNumber = 0;
  double lastTime = 0;
};

} // namespace

Trace parseTrace(std::istream& input) {
  return Parser(input).parse();
}

} // namespace replay
