#include "tools/mac-replay/tool.h"

#include "platform/sim/names.h"
#include "tools/compare/observation.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <sstream>
#include <vector>

namespace macreplay {

namespace {

constexpr const char* usage = "usage: quorvane-mac-replay APP TRACE [--check]\n"
                              "       quorvane-mac-replay --dry-run TRACE";

int refuse(std::ostream& err, const std::string& what) {
  err << "quorvane-mac-replay: " << what << '\n';
  return 2;
}

} // namespace

// Later than this, an input would keep a Mac waiting long after the app's session has ended.
constexpr double latestInput = 60;

std::optional<std::string> unplayable(const replay::Trace& trace) {
  const auto refusal = [](int line, const std::string& what, const char* why) {
    return std::to_string(line) + ": cannot follow '" + what + "' on a real Mac: " + why;
  };
  for (const replay::Directive& directive : trace.directives) {
    const std::vector<std::string>& w = directive.words;
    const char* why = w[0] == "args" && w.size() > 1 ? "a user's launcher passes no arguments"
                      : w[0] == "fail"               ? "the system's calls cannot be made to fail"
                      : w[0] == "secure-input" && w[1] == "yes"
                          ? "secure input cannot be turned on from here"
                          : nullptr;
    std::string words;
    for (const std::string& word : w)
      words += (words.empty() ? "" : " ") + word;
    if (why != nullptr) return refusal(directive.line, words, why);
  }
  for (std::size_t i = 0; i < trace.setup.inputs.size(); ++i) {
    const sim::Input& input = trace.setup.inputs[i];
    const bool event = input.kind == sim::Input::Kind::event;
    if (event && platform::isTapDisabledNotification(input.type))
      return refusal(trace.inputLines[i], std::string(sim::eventTypeName(input.type)),
                     "the system disables taps on its own terms");
    // A Mac plays every input in real time, and the app's session is long over by then.
    if (input.time > latestInput)
      return refusal(trace.inputLines[i],
                     sim::seconds(input.time) + ' ' +
                         (event ? std::string(sim::eventTypeName(input.type))
                          : input.kind == sim::Input::Kind::reopen ? "reopen"
                          : input.kind == sim::Input::Kind::quit   ? "quit"
                                                                   : "signal"),
                     "a real Mac plays inputs in real time, and none after the first 60 s");
  }
  return std::nullopt;
}

// --- The dry run ------------------------------------------------------------------------------

DryMac predictedMac(const replay::Trace& trace) {
  DryMac mac;
  mac.macos = trace.setup.systemVersion;
  for (const observation::Line& line : prediction(trace)) {
    if (line.kind == observation::Line::Kind::exit) mac.exit = line.time;
    if (line.kind == observation::Line::Kind::commandHeld) mac.modifiers |= platform::commandFlag;
    if (line.kind == observation::Line::Kind::settings) mac.settings = line.time;
    if (line.kind != observation::Line::Kind::event ||
        !isAppCommand(line.type, line.key, line.user))
      continue;
    if ((line.flags & platform::commandFlag) == 0) {
      if (mac.press && !mac.release) mac.release = line.time;
    } else if (!mac.press) {
      mac.press = line.time;
    }
  }
  // prediction() ran the simulator: the alert it showed is the dry Mac's.
  if (!sim::alerts().empty()) mac.alert = sim::alerts().front();
  return mac;
}

DryMac macOf(const replay::Trace& trace, const std::string& text) {
  const std::size_t at = text.find("# mac:");
  if (at == std::string::npos) return predictedMac(trace);
  const int line = 1 + static_cast<int>(std::count(text.begin(), text.begin() + at, '\n'));
  std::istringstream words(text.substr(at + 6, text.find('\n', at) - at - 6));
  std::string word;
  try {
    // The app is told the running macOS, which the prediction of its alert needs first.
    replay::Trace onThisMac = trace;
    for (std::istringstream first(words.str()); first >> word;)
      if (word.starts_with("macos=")) onThisMac.setup.systemVersion = std::stoi(word.substr(6));
    DryMac mac = predictedMac(onThisMac);
    const auto time = [](const std::string& v) {
      return v == "never" ? std::nullopt : std::optional(std::stod(v));
    };
    const std::map<std::string, std::function<void(const std::string&)>> set = {
        {"press", [&](auto& v) { mac.press = time(v); }},
        {"release", [&](auto& v) { mac.release = time(v); }},
        {"exit", [&](auto& v) { mac.exit = time(v); }},
        {"interrupt", [&](auto& v) { mac.interrupt = time(v); }},
        {"answer", [&](auto& v) { mac.launchAnswer = time(v); }},
        {"kill-takes", [&](auto& v) { mac.killTakes = std::stod(v); }},
        {"modifiers", [&](auto& v) { mac.modifiers = std::stoull(v, nullptr, 16); }},
        {"opens", [&](auto& v) { mac.opens = v == "yes"; }},
        {"hears-probe", [&](auto& v) { mac.hearsProbe = v == "yes"; }},
        {"secure-input", [&](auto& v) { mac.secureInput = v == "yes"; }},
        {"preflight", [&](auto& v) { mac.preflight.listen = mac.preflight.post = v == "yes"; }},
        {"tool-trusted", [&](auto& v) { mac.preflight.trusted = v == "yes"; }},
        {"macos", [](auto&) {}},
        {"probe", [&](auto& v) { mac.probe = v == "none" ? "" : "Accessibility: " + v; }},
        {"alert", [&](auto& v) { mac.alert.value().shown = std::stod(v); }},
        {"in-front", [&](auto& v) { mac.inFront = time(v); }},
        {"settings", [&](auto& v) { mac.settings = time(v); }},
        {"settings-left", [&](auto& v) { mac.settingsLeft = time(v); }}};
    while (words >> word)
      set.at(word.substr(0, word.find('=')))(word.substr(word.find('=') + 1));
    return mac;
  } catch (const std::exception&) { // an unknown word, or a value that is none
    throw replay::TraceError(line, "cannot read '" + word + "' in the # mac: line");
  }
}

namespace {

// What the dry Mac does on its own, at a time.
struct Happening {
  enum class Kind { answer, press, release, exit, interrupt };
  double at;
  Kind kind;
  int pid = 0;         // answer (0: cannot open), exit
  bool reopen = false; // answer
};

class DryRun {
public:
  DryRun(const replay::Trace& trace, const DryMac& mac, std::ostream& out)
      : mac(mac), player(trace, "Quorvane.app", false, said, mac.macos), out(out) {
    if (mac.interrupt) happen({*mac.interrupt, Happening::Kind::interrupt});
  }

  int run() {
    if (player.playsAlert())
      print("ask the app through LaunchServices: " + (mac.probe.empty() ? "(nothing)" : mac.probe));
    player.begin(0, mac.preflight, mac.secureInput, mac.probe);
    for (;;) {
      const Action action = player.next(now);
      if (action.kind == Action::Kind::wait) {
        waitUntil(action.until);
        continue;
      }
      if (action.kind == Action::Kind::end) {
        print("end: " + player.endReason() + ", status " + std::to_string(player.status()));
        // What the tool would print on standard output: the log of what its tap saw.
        std::string line;
        for (std::istringstream log(player.output()); std::getline(log, line);)
          out << "log: " << line << '\n';
        const auto [status, verdict] = player.verdict(true);
        out << "verdict: " << (status == 0 ? "agrees" : "") << verdict << (status == 1 ? "" : "\n");
        return status;
      }
      perform(action);
    }
  }

private:
  // What the tool said since, then what happens.
  void print(const std::string& what) {
    std::string line;
    for (std::istringstream lines(said.str()); std::getline(lines, line);)
      out << sim::stamped(now, "says: " + line) << '\n';
    said.str("");
    out << sim::stamped(now, what) << '\n';
  }
  void happen(Happening happening) {
    pending.insert(std::ranges::upper_bound(pending, happening.at, {}, &Happening::at), happening);
  }

  void perform(const Action& action) {
    switch (action.kind) {
    case Action::Kind::requestListenAccess: print("ask for Input Monitoring"); break;
    case Action::Kind::requestPostAccess: print("ask for Accessibility"); break;
    case Action::Kind::listen: print("start listening"); break;
    case Action::Kind::post: posted(action); break;
    case Action::Kind::launch: launch(action); break;
    case Action::Kind::signal:
      print("signal " + std::string(sim::signalName(action.event.signal)) + " (line " +
            std::to_string(action.traceLine) + ")");
      break; // the prediction has the app answer it
    case Action::Kind::quit:
      print("quit pid " + std::to_string(action.pid) +
            (action.traceLine != 0 ? " (line " + std::to_string(action.traceLine) + ")" : ""));
      break;
    case Action::Kind::showWindow:
      if (mac.settingsLeft) player.settingsLeft(leftPid); // gone only at settingsLeft
      print((mac.settingsLeft ? "quit System Settings (pid 4), " : "") +
            std::string("show a plain window (pid 9)"));
      break;
    case Action::Kind::lookForAlert: lookForAlert(); break;
    case Action::Kind::lookForSettings:
      if (mac.settingsLeft && now < *mac.settingsLeft)
        player.settingsSeen(now, leftPid, "Accessibility");
      if (mac.settings && launchedAt && now >= *launchedAt + *mac.settings) {
        print("read System Settings' front window: Accessibility");
        player.settingsSeen(now, settingsPid, "Accessibility");
      }
      break;
    case Action::Kind::kill:
      print("kill pid " + std::to_string(action.pid));
      std::erase_if(pending, [&](const Happening& happening) {
        return happening.kind != Happening::Kind::interrupt &&
               happening.kind != Happening::Kind::answer;
      });
      happen({now + mac.killTakes, Happening::Kind::exit, action.pid});
      break;
    case Action::Kind::stopListening:
      print("stop listening");
      listening = false;
      break;
    case Action::Kind::readModifiers:
      print("modifiers held: 0x" + (std::ostringstream() << std::hex << mac.modifiers).str());
      player.modifiersHeld(mac.modifiers);
      break;
    default: break;
    }
  }

  // The dry Mac's alert, as predicted: read once it is up, said again once it comes in front.
  void lookForAlert() {
    if (!mac.alert || !running || now < *launchedAt + mac.alert->shown) return;
    const sim::Alert& shown = *mac.alert;
    const bool front = mac.inFront && now >= *launchedAt + shown.shown + *mac.inFront;
    const AlertSight alert{.message = shown.message,
                           .informative = shown.informative,
                           .buttons = shown.buttons,
                           .defaultButton = shown.buttons.empty() ? -1 : 0,
                           .cancelButton =
                               shown.escapeButton ? static_cast<int>(*shown.escapeButton) : -1,
                           .frontmost = front,
                           .focused = front,
                           .plainPid = plainPid,
                           .windowOwners = {front ? 1 : plainPid, front ? plainPid : 1}};
    if (front != readInFront)
      print("read the " + alertLine(alert) +
            (front ? " (front app, key window, above pid 9's window)" : " (behind pid 9's)"));
    readInFront = front;
    player.alertSeen(now, alert);
  }

  void posted(const Action& action) {
    static constexpr const char* purposes[] = {"probe", "post", "cancel", "release", "answer"};
    std::string what =
        std::string(purposes[static_cast<int>(action.purpose)]) + " " + sim::describe(action.event);
    const std::string anchor = player.playsAlert() ? "alert+" : "press+";
    if (action.purpose == Action::Purpose::answer)
      what += std::string(" (") + (action.event.key == returnKey ? "Return" : "Esc") + ", " +
              anchor + sim::seconds(action.afterPress) + ")";
    if (action.purpose == Action::Purpose::input)
      what += " (line " + std::to_string(action.traceLine) + ", " +
              (action.afterPress < 0 ? std::string("at the launch")
                                     : anchor + sim::seconds(action.afterPress)) +
              ")";
    print(what);
    if (action.purpose == Action::Purpose::probe && mac.hearsProbe) player.see(now, action.event);
  }

  // The first launch starts the app; a reopen reaches it if it still runs when LaunchServices
  // answers, else starts another.
  void launch(const Action& action) {
    const bool first = action.traceLine == 0;
    print(first ? "launch" : "reopen (line " + std::to_string(action.traceLine) + ")");
    if (first) launchedAt = now;
    if (mac.launchAnswer)
      happen({now + *mac.launchAnswer, Happening::Kind::answer, mac.opens ? 1 : 0, !first});
    if (!first || !mac.opens) return;
    running = true;
    if (mac.press) happen({now + *mac.press, Happening::Kind::press});
    if (mac.release) happen({now + *mac.release, Happening::Kind::release});
    if (mac.exit) happen({now + *mac.exit, Happening::Kind::exit, 1});
  }

  // What is due before the time goes by; a happening at the very time a wait ends comes after.
  void waitUntil(double until) {
    if (pending.empty() || pending.front().at >= until) {
      now = std::max(now, until);
      return;
    }
    const Happening happening = pending.front();
    pending.erase(pending.begin());
    now = std::max(now, happening.at);
    const auto command = [](platform::EventFlags flags) {
      return sim::Input{.type = platform::EventType::flagsChanged,
                        .key = platform::key::command,
                        .flags = flags,
                        .user = observation::marker};
    };
    switch (happening.kind) {
    case Happening::Kind::answer:
      if (happening.pid == 0) {
        print("app: cannot be opened");
        player.launchFailed(now, "no reason given");
      } else {
        player.launched(now, happening.reopen && !running ? 2 : happening.pid);
      }
      break;
    case Happening::Kind::press:
      print("app: presses Command");
      if (listening) player.see(now, command(platform::commandFlag));
      break;
    case Happening::Kind::release:
      print("app: releases Command");
      if (listening) player.see(now, command(0));
      break;
    case Happening::Kind::exit:
      print("app: exits (pid " + std::to_string(happening.pid) + ")");
      if (happening.pid == 1) running = false;
      player.exited(now, happening.pid);
      break;
    case Happening::Kind::interrupt:
      print("interrupted");
      player.interrupted(now);
      break;
    }
  }

  const DryMac& mac;
  std::ostringstream said;
  Player player;
  std::ostream& out;
  double now = 0;
  std::optional<double> launchedAt;
  // Finder's, System Settings' and that of a System Settings left by an earlier run, on the dry Mac
  static constexpr int plainPid = 9, settingsPid = 3, leftPid = 4;
  bool listening = true;
  bool running = false;
  std::optional<bool> readInFront;
  std::vector<Happening> pending; // by time, then in the order they were foreseen
};

} // namespace

int dryRun(const replay::Trace& trace, const DryMac& mac, std::ostream& out) {
  return DryRun(trace, mac, out).run();
}

// --- The command ------------------------------------------------------------------------------

int runTool(int argc, const char* const argv[], PlayOnMac playOnMac, int macos, std::ostream& out,
            std::ostream& err) {
  bool check = false, dry = false;
  std::vector<std::string> paths;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--check")
      check = true;
    else if (argument == "--dry-run")
      dry = true;
    else if (argument.starts_with("-"))
      return refuse(err, "unknown argument '" + argument + "'\n" + usage);
    else
      paths.push_back(argument);
  }
  if (dry && check)
    return refuse(err, "--dry-run and --check do not go together\n" + std::string(usage));
  if (paths.size() != (dry ? 1u : 2u)) {
    err << usage << '\n';
    return 2;
  }
  const std::string& tracePath = paths.back();
  std::ifstream file(tracePath);
  if (!file) return refuse(err, tracePath + ": cannot open the trace");
  const std::string text{std::istreambuf_iterator<char>(file), {}};
  replay::Trace trace;
  DryMac mac;
  try {
    std::istringstream lines(text);
    trace = replay::parseTrace(lines);
    if (const std::optional<std::string> why = unplayable(trace))
      return refuse(err, tracePath + ":" + *why);
    if (dry) mac = macOf(trace, text);
  } catch (const replay::TraceError& error) {
    return refuse(err, tracePath + ":" + std::to_string(error.line) + ": " + error.what());
  }
  if (dry) return dryRun(trace, mac, out);
  if (playOnMac == nullptr)
    return refuse(err, "playing a trace against the app needs a Mac; --dry-run shows what it "
                       "would do");
  Player player(trace, paths[0], check, err, macos);
  const int status = playOnMac(player, paths[0]);
  out << player.output() << std::flush;
  return status;
}

} // namespace macreplay
