#include "tools/mac-replay/player.h"

#include "tools/compare/observation.h"

#include <algorithm>
#include <sstream>

namespace macreplay {

using platform::EventFlags;
using platform::EventType;

namespace {

constexpr std::int64_t marker = observation::marker;

// The modifiers the tool may have to let go of, in the order it does, each by its left-hand key.
struct Modifier {
  platform::KeyCode key;
  EventFlags flag;
};
constexpr Modifier modifierKeys[] = {{platform::key::command, platform::commandFlag},
                                     {56, 0x20000},  // Shift
                                     {59, 0x40000},  // Control
                                     {58, 0x80000}}; // Option
constexpr EventFlags modifierFlags = 0x1E0000;

sim::Input keyEvent(EventType type, platform::KeyCode key, EventFlags flags, std::int64_t user) {
  return {.type = type, .key = key, .flags = flags, .user = user};
}

Action just(Action::Kind kind) {
  return {.kind = kind};
}
Action waitUntil(double until) {
  return {.kind = Action::Kind::wait, .until = until};
}

template <class T> void remember(std::vector<T>& held, T item) {
  if (std::find(held.begin(), held.end(), item) == held.end()) held.push_back(item);
}

} // namespace

int buttonOf(EventType type) {
  switch (type) {
  case EventType::rightMouseDown:
  case EventType::rightMouseUp:
  case EventType::rightMouseDragged: return 1;
  case EventType::otherMouseDown:
  case EventType::otherMouseUp:
  case EventType::otherMouseDragged: return 2;
  default: return 0;
  }
}

bool isKeyboard(EventType type) {
  return type == EventType::keyDown || type == EventType::keyUp || type == EventType::flagsChanged;
}

bool isAppCommand(EventType type, platform::KeyCode key, std::int64_t user) {
  return type == EventType::flagsChanged && key == platform::key::command && user == marker;
}

std::vector<observation::Line> prediction(const replay::Trace& trace) {
  std::string text;
  for (const std::string& line : replay::observe(trace))
    text += line + '\n';
  std::istringstream lines(text);
  return observation::parseLog(lines);
}

bool setsKeyField(const sim::Input& event) {
  return event.key != 0 && !isKeyboard(event.type);
}

Player::Player(replay::Trace trace, std::string appPath, bool check, std::ostream& messages,
               int macos)
    : trace(std::move(trace)), appPath(std::move(appPath)), check(check), messages(messages) {
  // Built with the running Mac's SDK, the tool is told the truth, as the app built beside it is.
  const auto& given = this->trace.directives;
  if (macos != 0 && std::ranges::none_of(given, [](auto& d) { return d.words[0] == "macos"; }))
    this->trace.setup.systemVersion = macos;
  predicted = prediction(this->trace);
  // Filled from the tap's callback: no allocation there unless a session sees thousands of events.
  seen.reserve(1 << 14);
  for (const observation::Line& line : predicted)
    if (line.kind == observation::Line::Kind::alert && !alertPredicted) alertPredicted = line.time;
}

void Player::begin(double now, Rights rights, bool secureInput, const std::string& appProbe) {
  const auto answer = [](bool allowed) { return allowed ? "allowed" : "not allowed"; };
  say(std::string("macOS's preflight: listening to input events ") + answer(rights.listen) +
      ", posting them " + answer(rights.post) + " (a hint only: a test key decides)");
  const auto refuse = [&](const std::string& why, const std::string& what) {
    say(what);
    endRun(now, "refused: " + why, 2);
  };
  if (secureInput)
    return refuse("secure input", "secure keyboard input is on (a password field has the focus, "
                                  "or a terminal's Secure Keyboard Entry), so keys would reach no "
                                  "tap: turn it off and try again");
  if (playsAlert() && !rights.trusted)
    return refuse("the tool is not trusted for Accessibility",
                  "this tool is not trusted for Accessibility (AXIsProcessTrusted), so it reads "
                  "no alert: " +
                      remedy());
  const std::string probeSaid = appProbe.substr(0, appProbe.find('\n'));
  if (playsAlert() && probeSaid != "Accessibility: not allowed")
    return probeSaid.empty()
               ? refuse("the app's probe printed nothing",
                        "the app's --check-permissions printed nothing through LaunchServices, so "
                        "whether it would show the alert is unknown: check that open -a " +
                            appPath + " --args --check-permissions starts it, and try again")
               : refuse("no permission alert to play",
                        "the app is allowed Accessibility on this Mac (it says '" + probeSaid +
                            "'), so it shows no permission alert: remove it in System Settings → "
                            "Privacy & Security → Accessibility, or run tccutil reset "
                            "Accessibility com.quorvane.Quorvane, and try again");
  // Asking is what lists the program that started us in System Settings, to be switched on.
  if (!rights.listen) queued.push_back(just(Action::Kind::requestListenAccess));
  if (!rights.post) queued.push_back(just(Action::Kind::requestPostAccess));
  asked = !rights.listen || !rights.post;
  queued.push_back(just(Action::Kind::listen));
  queuePost(keyEvent(EventType::keyUp, probeKey, 0, marker), Action::Purpose::probe);
}

Action Player::next(double now) {
  if (!queued.empty()) {
    const Action action = queued.front();
    queued.pop_front();
    if (action.purpose == Action::Purpose::probe) probeDeadline = now + probePatience;
    return action;
  }
  switch (stage) {
  case Stage::probing:
    if (probeSeen && playsAlert()) {
      stage = Stage::staging;
      windowShownAt = now;
      return just(Action::Kind::showWindow);
    }
    if (probeSeen) return launchApp(now);
    if (now < probeDeadline) return waitUntil(probeDeadline);
    say("this tool's tap did not see the test key it posted, so it may not listen to input events "
        "(or not post them): " +
        remedy());
    endRun(now, "refused: not allowed to listen", 2);
    return next(now);
  case Stage::staging:
    if (now < windowShownAt + windowSettle) return waitUntil(windowShownAt + windowSettle);
    return launchApp(now);
  case Stage::playing: return play(now);
  default: return finish(now);
  }
}

// --- Playing --------------------------------------------------------------------------------

Action Player::launchApp(double now) {
  stage = Stage::playing;
  launchedAt = now;
  ++launchesPending;
  return just(Action::Kind::launch);
}

// Inputs before the start go out as soon as the app is launched, the others at their time after
// the app's own Command press (in an alert trace, after its alert appeared); none before that.
std::optional<double> Player::dueTime(const sim::Input& input) const {
  const double from = anchorPredicted();
  if (input.time < from) return launchedAt;
  if (!anchorSeen()) return std::nullopt;
  return *anchorSeen() + (input.time - from);
}

double Player::deadline() const {
  if (!anchorSeen()) return *launchedAt + patience;
  const double from = anchorPredicted();
  double last = from + (playsAlert() ? trace.setup.alertAnswer.value_or(0) : 0);
  for (const sim::Input& input : trace.setup.inputs)
    last = std::max(last, input.time);
  return *anchorSeen() + (last - from) + patience;
}

Action Player::play(double now) {
  if (now >= deadline()) {
    endRun(now, appPid == 0    ? "LaunchServices did not answer"
                : anchorSeen() ? "the app still ran long after the last input"
                : playsAlert() ? "the app showed no alert"
                               : "the app never pressed Command");
    return finish(now);
  }
  if (appPid == 0) return waitUntil(deadline());
  // An alert is looked for until it appears and stands in front, or is answered as the trace says
  // (Return for its first button, Esc for the second); then System Settings, until it has a title.
  double wake = deadline();
  if (answerDue && *answerDue <= now) {
    judgeFront(now);
    const bool first = trace.setup.alertButton == platform::alertFirstButton;
    viaLaunchServices |= first; // which opens System Settings
    for (EventType type : {EventType::keyDown, EventType::keyUp})
      queued.push_back(
          {.kind = Action::Kind::post,
           .event = keyEvent(type, first ? returnKey : platform::key::escape, 0, toolMarker),
           .purpose = Action::Purpose::answer,
           .afterPress = *answerDue - *alertAt});
    answerDue.reset();
    return next(now);
  }
  if (answerDue) wake = std::min(wake, *answerDue);
  if (playsAlert() && (frontJudged ? !settingsTitled : !exitedAt)) {
    if (now >= nextLook) {
      nextLook = now + (frontJudged ? settingsLookEvery : alertLookEvery);
      return {.kind = frontJudged ? Action::Kind::lookForSettings : Action::Kind::lookForAlert,
              .pid = appPid};
    }
    wake = std::min(wake, nextLook);
  }
  // Inputs still go out after the app has ended, if its session began: they meet no tap of its.
  const std::vector<sim::Input>& inputs = trace.setup.inputs;
  while ((!exitedAt || anchorSeen()) && nextInput < inputs.size()) {
    const sim::Input& input = inputs[nextInput];
    const std::optional<double> due = dueTime(input);
    if (!due || *due > now) return waitUntil(std::min(due.value_or(wake), wake));
    const int line = trace.inputLines[nextInput++];
    // Once the app has ended, a launch would start a new session, and its pid may be another's.
    if (exitedAt && input.kind != sim::Input::Kind::event) continue;
    if (input.kind != sim::Input::Kind::event) judgeFront(now); // a request the alert answers to
    switch (input.kind) {
    case sim::Input::Kind::reopen:
      ++launchesPending;
      reopenAskedAt = now;
      viaLaunchServices = true;
      return {.kind = Action::Kind::launch, .traceLine = line};
    case sim::Input::Kind::quit:
      return {.kind = Action::Kind::quit, .traceLine = line, .pid = appPid};
    case sim::Input::Kind::signal:
      return {.kind = Action::Kind::signal, .event = input, .traceLine = line, .pid = appPid};
    case sim::Input::Kind::event:
      track(input);
      lastPostAt = now;
      return {.kind = Action::Kind::post,
              .event = input,
              .traceLine = line,
              .afterPress = *due == *launchedAt ? -1 : *due - *anchorSeen()};
    }
  }
  if (!exitedAt) return waitUntil(wake);
  const double settled = std::max(*exitedAt, lastPostAt) +
                         (playsAlert() && alertAt && !settingsTitled ? settingsPatience : settle);
  if (now < settled) return waitUntil(std::min(settled, wake));
  endRun(now, "the app exited");
  return finish(now);
}

// Keeps count of what the trace holds down.
void Player::track(const sim::Input& input) {
  switch (input.type) {
  case EventType::keyDown: remember(keysDown, input.key); break;
  case EventType::keyUp: std::erase(keysDown, input.key); break;
  case EventType::leftMouseDown: remember(mouseUpsOwed, EventType::leftMouseUp); break;
  case EventType::rightMouseDown: remember(mouseUpsOwed, EventType::rightMouseUp); break;
  case EventType::otherMouseDown: remember(mouseUpsOwed, EventType::otherMouseUp); break;
  case EventType::leftMouseUp:
  case EventType::rightMouseUp:
  case EventType::otherMouseUp: std::erase(mouseUpsOwed, input.type); break;
  case EventType::flagsChanged: modifiersDown = input.flags & modifierFlags; break;
  default: break;
  }
}

// --- What the shell reports -------------------------------------------------------------------

bool Player::see(double now, const sim::Input& event) {
  if (stage == Stage::probing) {
    if (probeSeen || event.type != EventType::keyUp || event.key != probeKey ||
        event.user != marker)
      return false;
    probeSeen = true;
    return true;
  }
  if (stage != Stage::playing || event.user == toolMarker) return false;
  seen.push_back({.time = now - *launchedAt, .event = event});
  if (!isAppCommand(event.type, event.key, event.user)) return false;
  appHolds = (event.flags & platform::commandFlag) != 0;
  if (!appHolds || pressedAt) return false;
  pressedAt = now;
  return true;
}

Player::Process* Player::find(int pid) {
  for (Process& process : processes)
    if (process.pid == pid) return &process;
  return nullptr;
}

bool Player::appAlive() {
  const Process* app = find(appPid);
  return app != nullptr && app->alive;
}

void Player::launched(double now, int pid) {
  if (launchesPending > 0) --launchesPending;
  if (reopenAskedAt) measure("LaunchServices answered the reopen in", now - *reopenAskedAt);
  reopenAskedAt.reset();
  if (find(pid) != nullptr) return; // a reopen reached the running app
  processes.push_back({.pid = pid});
  if (appPid == 0) {
    appPid = pid;
    // LaunchServices answered after the run had ended: the session must not outlive us.
    if (stage != Stage::playing) stopApp(now);
    return;
  }
  // A reopen met an app that had just quit, and started another.
  queueKill(processes.back(), now);
}

void Player::launchFailed(double now, const std::string& why) {
  if (launchesPending > 0) --launchesPending;
  failed(now, std::string(appPid == 0 ? "cannot open " : "cannot reopen ") + appPath + ": " + why);
}

void Player::exited(double now, int pid) {
  Process* process = find(pid);
  if (process == nullptr || !process->alive) return;
  process->alive = false;
  if (pid == appPid && stage == Stage::playing) {
    judgeFront(now);
    exitedAt = now;
    mark(now, "exit");
  }
}

// Added first, the default button is named first, as the simulator predicts it.
std::string alertLine(const AlertSight& seen) {
  sim::Alert alert{.message = seen.message, .informative = seen.informative};
  const auto add = [&](int i) {
    if (i == seen.cancelButton) alert.escapeButton = alert.buttons.size();
    alert.buttons.push_back(seen.buttons.at(i));
  };
  if (seen.defaultButton >= 0) add(seen.defaultButton);
  for (int i = 0; i < static_cast<int>(seen.buttons.size()); ++i)
    if (i != seen.defaultButton) add(i);
  return "alert " + sim::describe(alert);
}

// In front: Quorvane the front app, its alert the key window, above the plain window. Activation
// is asynchronous: looked at until it holds, judged when the trace first acts or the app exits.
void Player::alertSeen(double now, const AlertSight& alert) {
  if (stage != Stage::playing || frontJudged) return;
  if (!alertAt) {
    alertAt = now;
    measure("alert read in", now - (nextLook - alertLookEvery)); // since the look began
    if (trace.setup.alertAnswer) answerDue = now + *trace.setup.alertAnswer;
    seen.push_back({.time = now - *launchedAt, .sight = alertLine(alert)});
    frontLine = seen.size();
    seen.push_back({.time = now - *launchedAt}); // told once judged
  }
  const auto place = [&](int pid) {
    const auto& owners = alert.windowOwners;
    return std::find(owners.begin(), owners.end(), pid) - owners.begin();
  };
  wrong.clear();
  const auto add = [&](const std::string& what) { wrong += (wrong.empty() ? "" : ", ") + what; };
  if (!alert.frontmost) add("Quorvane was not the front app");
  if (!alert.focused) add("the alert was not the key window");
  if (alert.plainPid != 0 && place(alert.plainPid) < place(appPid))
    add("behind the window of pid " + std::to_string(alert.plainPid));
  if (wrong.empty()) judgeFront(now);
}

void Player::judgeFront(double now) {
  if (!alertAt || frontJudged) return;
  frontJudged = true;
  seen[frontLine].sight = wrong.empty() ? "alert in front" : "alert not in front: " + wrong;
  if (wrong.empty()) measure("in front after", now - *alertAt);
}

void Player::measure(const std::string& what, double seconds) {
  measured += (measured.empty() ? "" : ", ") + what + " " + sim::seconds(seconds) + " s";
}

// Logged when it comes up, with its front window's title once it has one.
void Player::settingsSeen(double now, int pid, const std::string& title) {
  if (stage != Stage::playing || settingsTitled || std::ranges::count(leftSettings, pid) != 0)
    return;
  if (settingsPid == 0) {
    settingsPid = pid;
    settingsLine = seen.size();
    seen.push_back({.time = now - *launchedAt, .sight = "settings"});
  }
  if (title.empty()) return;
  seen[settingsLine].sight += " " + title;
  settingsTitled = true;
}

std::string Player::remedy() const {
  return std::string("in System Settings → Privacy & Security, allow Input Monitoring and "
                     "Accessibility (on macOS 27: Device Control and Data Access) for the program "
                     "that started this tool (your terminal, or on a hosted runner its agent: "
                     "/opt/hca/hosted-compute-agent), quit and reopen that program, and try "
                     "again") +
         (asked ? " (macOS was just asked to list it there)" : "");
}

void Player::cannotPost(double now, const Action& post) {
  failed(now, post.purpose == Action::Purpose::input
                  ? "cannot create the event of trace line " + std::to_string(post.traceLine)
                  : "cannot create " + sim::describe(post.event));
}

void Player::failed(double now, const std::string& what) {
  say(what);
  endRun(now, what, 2);
}

// --- Ending -----------------------------------------------------------------------------------

void Player::mark(double now, const char* end) {
  seen.push_back({.time = launchedAt ? now - *launchedAt : 0, .end = end});
}

void Player::endRun(double now, const std::string& why, int status) {
  judgeFront(now);
  if (exitStatus == 0) exitStatus = status;
  if (stage >= Stage::closeLog) return;
  queued.clear();
  reason = why;
  endingAt = now;
  stage = Stage::closeLog;
}

void Player::queuePost(const sim::Input& event, Action::Purpose purpose) {
  queued.push_back({.kind = Action::Kind::post, .event = event, .purpose = purpose});
}

// As the program cancels: Escape with Command, marked as ours, which the app's own tap passes.
void Player::queueCancel() {
  if (escaped) return;
  escaped = true;
  for (EventType type : {EventType::keyDown, EventType::keyUp})
    queuePost(keyEvent(type, platform::key::escape, platform::commandFlag, marker),
              Action::Purpose::cancel);
}

// Releasing Command with the switcher up would switch apps: an app holding it is cancelled first,
// and its tap, which may still swallow what we release, goes with it.
void Player::stopApp(double now) {
  Process* app = find(appPid);
  if (app == nullptr || !app->alive || app->killedAt >= 0) return;
  if (appHolds) queueCancel();
  queueKill(*app, now);
}

void Player::queueKill(Process& process, double now) {
  process.killedAt = now;
  queued.push_back({.kind = Action::Kind::kill, .pid = process.pid});
}

// Whatever happened, leaves the Mac as it was: no app of ours running, no tap, nothing held.
Action Player::finish(double now) {
  switch (stage) {
  case Stage::closeLog:
    if (appAlive()) mark(now, "still running");
    stage = Stage::stopApps;
    return just(Action::Kind::stopListening);
  case Stage::stopApps:
    if (settingsPid != 0) queued.push_back({.kind = Action::Kind::quit, .pid = settingsPid});
    stopApp(now);
    stage = Stage::awaitGone;
    return next(now);
  case Stage::awaitGone: {
    double until = 0;
    for (const Process& process : processes)
      if (process.alive && process.killedAt >= 0 && now < process.killedAt + exitPatience)
        until = std::max(until, process.killedAt + exitPatience);
    if (launchesPending > 0 && now < endingAt + launchPatience)
      until = std::max(until, endingAt + launchPatience);
    if (until > 0) return waitUntil(until);
    for (const Process& process : processes)
      if (process.alive) say("the app (pid " + std::to_string(process.pid) + ") is still there");
    if (launchesPending > 0)
      say("LaunchServices never answered; should Quorvane open now, it cancels on its own after "
          "its 20 s");
    stage = Stage::readModifiers;
    if (launchedAt) return just(Action::Kind::readModifiers);
    return next(now);
  }
  case Stage::readModifiers:
    queueReleases(now);
    sumUp();
    stage = Stage::done;
    return next(now);
  default: return just(Action::Kind::end);
  }
}

// Command when it is held, or when an app of ours was killed and so never ran its own release;
// every key, button and modifier the trace pressed and never released. An Escape goes first
// wherever Command is down and not yet cancelled, for a switcher may be up.
void Player::queueReleases(double now) {
  // What the app held when it was killed: its tap is gone, so appHolds changes no more.
  const Process* app = find(appPid);
  const bool killedWhileHolding = appHolds && app != nullptr && app->killedAt >= 0;
  const bool commandHeld = killedWhileHolding || (modifiers & platform::commandFlag) != 0;
  if (commandHeld) mark(now, "command held");
  const bool killedAny = std::any_of(processes.begin(), processes.end(),
                                     [](const Process& process) { return process.killedAt >= 0; });
  EventFlags down = modifiersDown;
  if (commandHeld || killedAny) down |= platform::commandFlag;
  if ((modifiers & platform::commandFlag) != 0) queueCancel();
  for (const Modifier& modifier : modifierKeys)
    if ((down & modifier.flag) != 0) {
      down &= ~modifier.flag; // what is still down once this one is up
      queuePost(keyEvent(EventType::flagsChanged, modifier.key, down, 0), Action::Purpose::release);
    }
  for (platform::KeyCode key : keysDown)
    queuePost(keyEvent(EventType::keyUp, key, 0, 0), Action::Purpose::release);
  for (EventType up : mouseUpsOwed)
    queuePost({.type = up}, Action::Purpose::release);
  keysDown.clear();
  mouseUpsOwed.clear();
  modifiersDown = 0;
}

void Player::sumUp() {
  if (appPid == 0 && launchedAt && exitStatus == 0) {
    say(appPath + " did not launch");
    exitStatus = 2;
  }
  if (pressedAt)
    messages << "launch-to-switcher latency: " << sim::seconds(*pressedAt - *launchedAt) << " s\n";
  else if (launchedAt && !playsAlert())
    messages << "launch-to-switcher latency: none (the app never pressed Command)\n";
  for (const observation::Line& line : predicted)
    if (line.kind == observation::Line::Kind::exit && exitedAt && anchorSeen())
      measure("exit after the predicted time by",
              (*exitedAt - *anchorSeen()) - (line.time - anchorPredicted()));
  if (!check || exitStatus != 0) return;
  if (!measured.empty()) messages << "measured delays: " << measured << '\n';
  const auto [status, said] = verdict();
  messages << (status == 0   ? "agree" + said + "\n"
               : status == 1 ? said
                             : "quorvane-mac-replay: " + said + "\n");
  exitStatus = status;
}

std::string Player::output() const {
  std::string text;
  for (const Seen& line : seen)
    text += sim::stamped(line.time, line.end != nullptr  ? line.end
                                    : line.sight.empty() ? sim::describe(line.event)
                                                         : line.sight) +
            '\n';
  return text;
}

// As quorvane-compare does, with the tolerance above where LaunchServices takes its time.
std::pair<int, std::string> Player::verdict(bool dry) const {
  if (exitStatus != 0)
    return {exitStatus, (reason.starts_with("refused") ? "" : "not played: ") + reason};
  const double tolerance =
      viaLaunchServices ? launchServicesTolerance : observation::defaultTolerance;
  std::vector<observation::Line> expected = predicted;
  if (dry)
    std::erase_if(expected, [](auto& l) {
      return l.kind == observation::Line::Kind::event && !isAppCommand(l.type, l.key, l.user);
    });
  std::istringstream observedStream(output());
  try {
    const auto observed = observation::parseLog(observedStream);
    if (const auto disagreement = observation::compare(expected, observed, tolerance))
      return {1, observation::describe(*disagreement, expected, observed, "predicted", "observed")};
  } catch (const observation::LogError& error) {
    return {2, "observed:" + std::to_string(error.line) + ": " + error.what()};
  }
  return {0, tolerance == observation::defaultTolerance
                 ? ""
                 : " (times within " + sim::seconds(tolerance) +
                       " s, as LaunchServices carries a reopen or opens System Settings)"};
}

} // namespace macreplay
