// The simulated backend: every platform operation, on a virtual clock with one main run loop.

#include "platform/sim/sim.h"

#include "platform/sim/names.h"

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <deque>
#include <limits>
#include <map>
#include <utility>

namespace platform {

struct Event {
  EventType type;
  EventFlags flags = 0;
  std::int64_t keycode = 0;
  std::int64_t user = 0;
};

struct EventSource {};

struct Tap {
  EventMask mask;
  TapCallback callback;
  void* userInfo;
  bool enabled = true; // as on the real platform, a tap starts out enabled
  bool attached = false;
};

struct RunLoopSource {
  Tap* tap; // never touched after its tap may have gone
};

struct Timer {
  std::shared_ptr<bool> invalidated;
};

} // namespace platform

namespace sim {

using namespace platform;

namespace {

struct Pending {
  std::function<void()> action;
  std::shared_ptr<bool> invalidated; // null for main-queue blocks
  bool onMainQueue() const { return invalidated == nullptr; }
};

struct State {
  Setup setup;
  double now = 0;
  std::vector<LogLine> log;
  bool terminated = false;
  bool stillRunning = false;
  bool waitsForever = false;
  ApplicationDelegate* delegate = nullptr;
  std::vector<Tap*> taps;
  std::vector<TapRequest> tapRequests;
  std::vector<Alert> alerts;
  bool alertUp = false;
  bool alertAborted = false;
  bool endedInAlert = false; // the alert's caller never resumes
  std::vector<double> urlsOpened;
  std::vector<Input> observed;
  std::size_t inputsReceived = 0; // also the next input's index
  int eventSources = 0;
  // Timers and delayed blocks, by deadline and then by the order they were scheduled.
  std::map<std::pair<double, std::uint64_t>, Pending> queue;
  std::uint64_t scheduled = 0;
  // The main queue is serial: while one of its blocks runs (an alert inside it included), the run
  // loop serves timers, the tap, signals and the delegate, but no other main-queue block.
  bool inMainQueueBlock = false;
  // Events the program posted that have not yet reached the taps.
  std::deque<Event> posted;
  std::vector<std::pair<Signal, std::function<void()>>> signalWatchers;
  std::optional<Signal> killedBy;
};

// Never destroyed, so that a program's objects may still be released at process exit.
State& state() {
  static State& instance = *new State;
  return instance;
}

// Terminated, or killed by a signal: either way nothing of the program runs any more.
bool ended() {
  return state().terminated || state().killedBy;
}

// Ended, or the run stopped with the program still running: nothing of it runs any more.
bool halted() {
  return ended() || state().stillRunning || state().waitsForever;
}

void record(std::string text) {
  state().log.push_back({state().now, std::move(text)});
}

// On a Mac terminate does not return: the process exits, and nothing the program asks for after
// it ever happens. Here the process lives on, so each such request is logged instead of done, and
// the caller gets what a failed request gives. Releasing objects stays allowed, as exit runs the
// destructors on a Mac too; the event accessors need an event, which nothing hands out any more.
bool afterTerminate(std::string_view what) {
  // A run that stopped with the program still in an alert, or a process that ended inside one:
  // what the alert's caller would do next happens later, if ever, or never.
  if (state().stillRunning || state().waitsForever || state().endedInAlert) return true;
  if (!state().terminated) return false;
  record("after terminate: " + std::string(what));
  return true;
}

[[gnu::format(printf, 1, 2)]] std::string format(const char* pattern, ...) {
  char buffer[512];
  va_list arguments;
  va_start(arguments, pattern);
  std::vsnprintf(buffer, sizeof buffer, pattern, arguments);
  va_end(arguments);
  return buffer;
}

// The event as it stands now, in the terms of a trace's input.
Input asInput(const Event& event) {
  return {.time = state().now,
          .type = event.type,
          .key = static_cast<KeyCode>(event.keycode),
          .flags = event.flags,
          .user = event.user};
}

Tap* listeningTap(EventType type) {
  for (Tap* tap : state().taps)
    if (tap->enabled && tap->attached && (tap->mask & maskBit(type))) return tap;
  return nullptr;
}

// The event as it goes on past our tap, or nothing when the tap swallowed it.
std::optional<Event> deliver(Event event) {
  Tap* tap = listeningTap(event.type);
  if (tap == nullptr) return event;
  const std::string arrived = describe(asInput(event));
  const Event* verdict = tap->callback(event.type, &event, tap->userInfo);
  record(verdict ? format("event %s -> pass flags=0x%" PRIx64, arrived.c_str(), verdict->flags)
                 : format("event %s -> swallow", arrived.c_str()));
  if (verdict == nullptr) return std::nullopt;
  return *verdict;
}

void observe(const Event& event) {
  state().observed.push_back(asInput(event));
}

// The system disables a tap and tells its callback once.
void disableTap(EventType notification) {
  const auto tap =
      std::ranges::find_if(state().taps, [](Tap* t) { return t->enabled && t->attached; });
  if (tap == state().taps.end()) return;
  (*tap)->enabled = false;
  Event event{notification};
  const bool passed = (*tap)->callback(notification, &event, (*tap)->userInfo) != nullptr;
  record(format("event %s -> %s", std::string(eventTypeName(notification)).c_str(),
                passed ? "pass" : "swallow"));
}

// Runs one action of the main thread; what it posted then reaches the taps, before anything else.
template <class Action> void act(Action&& action) {
  State& s = state();
  action();
  while (!ended() && !s.posted.empty()) {
    Event event = s.posted.front();
    s.posted.pop_front();
    deliver(event);
  }
}

// Each watcher's action is a callback of its own, as each signal source on the real platform is.
// With none, the signal's default action ends the process at once: no termination, no
// applicationWillTerminate, so whatever the program held stays held.
void deliverSignal(Signal signal) {
  State& s = state();
  record("signal " + std::string(signalName(signal)));
  bool watched = false;
  for (std::size_t i = 0; i < s.signalWatchers.size() && !ended(); ++i) {
    if (s.signalWatchers[i].first != signal) continue;
    watched = true;
    std::function<void()> action = s.signalWatchers[i].second;
    act(action);
  }
  if (watched) return;
  s.killedBy = signal;
  s.posted.clear();
}

// An alert as the log shows it when it ends, its buttons in the order added.
std::string logged(const Alert& alert) {
  std::string line = "alert " + alert.message + " | " + alert.informative;
  for (const std::string& button : alert.buttons)
    line += " | " + button;
  return line;
}

// applicationWillTerminate, then the process is gone: nothing it posted on the way out reaches its
// own tap. From inside an alert, the alert goes with it, and its caller never resumes.
void endProcess() {
  State& s = state();
  if (s.alertUp) record(logged(s.alerts.back()) + " -> none: the process ended");
  if (s.delegate) s.delegate->applicationWillTerminate();
  s.terminated = true;
  s.posted.clear();
}

void receive(const Input& input) {
  State& s = state();
  switch (input.kind) {
  case Input::Kind::event:
    if (isTapDisabledNotification(input.type))
      disableTap(input.type);
    else if (const std::optional<Event> passed =
                 deliver(Event{input.type, input.flags, input.key, input.user}))
      observe(*passed);
    break;
  case Input::Kind::reopen: {
    const bool handled = s.delegate && s.delegate->applicationShouldHandleReopen(false);
    record(handled ? "reopen -> true" : "reopen -> false");
    break;
  }
  case Input::Kind::signal: deliverSignal(input.signal); break;
  case Input::Kind::quit: // the system asks the application to quit, as a logout does
    record("quit");
    endProcess();
    break;
  }
}

// The main run loop: timers and blocks as they fall due, and the trace's inputs at their times
// (a timer due at an input's very time first), until the process ends, stop() holds or nothing is
// left before `until`, which is not reached. Once the inputs are over, timers run only up to the
// horizon.
template <class Stop> void runLoop(double until, Stop stop) {
  State& s = state();
  const std::vector<Input>& inputs = s.setup.inputs;
  constexpr double never = std::numeric_limits<double>::infinity();
  while (!halted() && !stop()) {
    const bool inputsLeft = s.inputsReceived < inputs.size();
    const double nextInput = inputsLeft ? inputs[s.inputsReceived].time : never;
    const auto runnable = std::ranges::find_if(s.queue, [&](const auto& entry) {
      return !(s.inMainQueueBlock && entry.second.onMainQueue());
    });
    const double nextTimer = runnable == s.queue.end() ? never : runnable->first.first;
    const bool timerFirst = nextTimer <= (inputsLeft ? nextInput : s.setup.horizon);
    if (!timerFirst && !inputsLeft) return; // nothing left to do
    if ((timerFirst ? nextTimer : nextInput) >= until) return;
    if (timerFirst) {
      auto due = s.queue.extract(runnable);
      if (due.mapped().invalidated && *due.mapped().invalidated) continue;
      // A main-queue block held back by another runs when that one returns, not in the past.
      s.now = std::max(s.now, due.key().first);
      const bool block = due.mapped().onMainQueue();
      if (block) s.inMainQueueBlock = true; // blocks never nest: the others wait
      act(due.mapped().action);
      if (block) s.inMainQueueBlock = false;
    } else {
      const Input& input = inputs[s.inputsReceived];
      s.now = std::max(s.now, input.time);
      act([&] { receive(input); });
      ++s.inputsReceived;
    }
  }
}

void enqueue(double seconds, std::function<void()> action, std::shared_ptr<bool> invalidated) {
  State& s = state();
  s.queue.emplace(std::pair{s.now + seconds, s.scheduled++},
                  Pending{std::move(action), std::move(invalidated)});
}

} // namespace

std::string describe(const Input& event) {
  return format("%s key=%u flags=0x%" PRIx64 " user=%" PRId64,
                std::string(eventTypeName(event.type)).c_str(), unsigned{event.key}, event.flags,
                event.user);
}

std::string describe(const Alert& alert) {
  std::string text = alert.message + " | " + alert.informative;
  for (std::size_t i = 0; i < alert.buttons.size(); ++i)
    text += " | " + alert.buttons[i] + (alert.escapeButton == i ? " (Esc)" : "");
  return text;
}

std::string seconds(double time) {
  return format("%.3f", time);
}

std::string stamped(double time, const std::string& text) {
  return seconds(time) + ' ' + text;
}

void reset(Setup setup) {
  State& s = state();
  s = State{};
  s.setup = std::move(setup);
}

double now() {
  return state().now;
}
const std::vector<LogLine>& log() {
  return state().log;
}
bool terminated() {
  return state().terminated;
}
bool stillRunning() {
  return state().stillRunning;
}
bool waitsForever() {
  return state().waitsForever;
}
const std::vector<Alert>& alerts() {
  return state().alerts;
}
const std::vector<double>& urlsOpened() {
  return state().urlsOpened;
}
std::optional<Signal> killedBy() {
  return state().killedBy;
}
std::vector<Signal> watchedSignals() {
  std::vector<Signal> signals;
  for (const auto& watcher : state().signalWatchers)
    signals.push_back(watcher.first);
  return signals;
}
const std::vector<TapRequest>& tapRequests() {
  return state().tapRequests;
}
const std::vector<Input>& observed() {
  return state().observed;
}
std::size_t inputsReceived() {
  return state().inputsReceived;
}
int eventSourcesCreated() {
  return state().eventSources;
}

} // namespace sim

namespace platform {

using sim::format;
using sim::record;
using sim::state;

void release(Event* event) {
  delete event;
}
void release(EventSource* source) {
  delete source;
}
void release(RunLoopSource* source) {
  delete source;
}
void release(Timer* timer) {
  delete timer;
}

void release(Tap* tap) {
  std::erase(state().taps, tap);
  delete tap;
}

bool isProcessTrusted() {
  if (sim::afterTerminate("trust check")) return false;
  return state().setup.trusted;
}

bool isSecureEventInputEnabled() {
  if (sim::afterTerminate("secure input check")) return false;
  return state().setup.secureInput;
}

int reportedSystemVersion() {
  if (sim::afterTerminate("system version")) return 0;
  return state().setup.systemVersion;
}

Owned<EventSource> createEventSource(EventSourceState) {
  if (sim::afterTerminate("event source")) return nullptr;
  if (state().setup.fail.eventSource) return nullptr;
  ++state().eventSources;
  return Owned<EventSource>(new EventSource);
}

Owned<Event> createKeyboardEvent(EventSource*, KeyCode key, bool keyDown) {
  if (sim::afterTerminate("keyboard event")) return nullptr;
  if (state().setup.fail.events) return nullptr;
  return Owned<Event>(new Event{keyDown ? EventType::keyDown : EventType::keyUp, 0, key, 0});
}

void setType(Event& event, EventType type) {
  event.type = type;
}
EventFlags flags(const Event& event) {
  return event.flags;
}
void setFlags(Event& event, EventFlags flags) {
  event.flags = flags;
}

std::int64_t integerField(const Event& event, EventField field) {
  switch (field) {
  case EventField::keyboardEventKeycode: return event.keycode;
  case EventField::sourceUserData: return event.user;
  }
  return 0;
}

void setIntegerField(Event& event, EventField field, std::int64_t value) {
  switch (field) {
  case EventField::keyboardEventKeycode: event.keycode = value; break;
  case EventField::sourceUserData: event.user = value; break;
  }
}

void post(TapLocation, Event& event) {
  std::string line = "post " + sim::describe(sim::asInput(event));
  if (sim::afterTerminate(line)) return;
  record(std::move(line));
  sim::observe(event);
  state().posted.push_back(event);
}

Owned<Tap> createEventTap(TapLocation location, TapPlacement placement, TapOptions options,
                          EventMask mask, TapCallback callback, void* userInfo) {
  if (sim::afterTerminate("tap create")) return nullptr;
  state().tapRequests.push_back({location, placement, options, mask, userInfo});
  const bool fails = state().setup.fail.tap;
  record(format("tap create mask=0x%08" PRIx64 " -> %s", mask, fails ? "null" : "ok"));
  if (fails) return nullptr;
  auto* tap = new Tap{mask, callback, userInfo};
  state().taps.push_back(tap);
  return Owned<Tap>(tap);
}

void enableTap(Tap& tap, bool enable) {
  if (sim::afterTerminate("tap enable")) return;
  tap.enabled = enable;
  record(enable ? "tap enable" : "tap disable");
}

Owned<RunLoopSource> createRunLoopSource(Tap& tap) {
  if (sim::afterTerminate("runloop-source create")) return nullptr;
  const bool fails = state().setup.fail.runLoopSource;
  record(fails ? "runloop-source create -> null" : "runloop-source create -> ok");
  if (fails) return nullptr;
  return Owned<RunLoopSource>(new RunLoopSource{&tap});
}

void addToMainRunLoop(RunLoopSource& source) {
  if (sim::afterTerminate("runloop-source add")) return;
  source.tap->attached = true;
}

Application& Application::shared() {
  static Application application;
  return application;
}

void Application::setActivationPolicy(ActivationPolicy policy) {
  if (sim::afterTerminate("policy")) return;
  record(policy == ActivationPolicy::prohibited ? "policy prohibited" : "policy accessory");
}

void Application::setDelegate(ApplicationDelegate* delegate) {
  if (sim::afterTerminate("delegate")) return;
  state().delegate = delegate;
}

void Application::run() {
  if (sim::afterTerminate("run")) return;
  sim::State& s = state();
  sim::act([&] {
    if (s.delegate) s.delegate->applicationDidFinishLaunching();
  });
  sim::runLoop(std::numeric_limits<double>::infinity(), [] { return false; });
  if (sim::halted()) return;
  s.now = std::max(s.now, s.setup.horizon);
  s.stillRunning = true;
}

void Application::activateIgnoringOtherApps(bool ignoring) {
  if (sim::afterTerminate("activate")) return;
  record(ignoring ? "activate ignoring other apps" : "activate");
}

void Application::terminate() {
  if (sim::afterTerminate("terminate") || state().killedBy) return;
  record("terminate");
  sim::endProcess();
}

// Modal: the main loop runs on while the alert is up, until it is answered (alert-answer seconds
// after it appears, before anything else due then), aborted, or the process ends. An alert that
// nothing will ever answer stops the run: the process would wait forever.
AlertResponse runAlert(std::string_view message, std::string_view informative,
                       std::span<const std::string_view> buttons,
                       std::optional<std::size_t> escapeButton) {
  if (sim::afterTerminate("alert")) return 0;
  sim::State& s = state();
  sim::Alert alert{s.now, std::string(message), std::string(informative), {}, escapeButton};
  for (std::string_view button : buttons)
    alert.buttons.emplace_back(button);
  s.alerts.push_back(std::move(alert));
  const std::optional<double> answer = s.setup.alertAnswer;
  const double answerAt = answer ? s.now + *answer : std::numeric_limits<double>::infinity();
  s.alertUp = true;
  s.alertAborted = false;
  sim::runLoop(answerAt, [&] { return s.alertAborted; });
  s.alertUp = false;
  if (sim::ended()) {
    s.endedInAlert = true;
    return alertAborted;
  }
  if (!s.alertAborted) {
    if (!answer) {
      s.waitsForever = true;
      return alertAborted;
    }
    s.now = std::max(s.now, answerAt);
  }
  const AlertResponse response = s.alertAborted    ? alertAborted
                                 : buttons.empty() ? 0
                                                   : s.setup.alertButton;
  record(sim::logged(s.alerts.back()) + format(" -> %ld", response));
  return response;
}

bool abortAlert() {
  if (sim::afterTerminate("alert abort") || !state().alertUp) return false;
  state().alertAborted = true;
  return true;
}

void openURL(std::string_view url) {
  if (sim::afterTerminate("open")) return;
  state().urlsOpened.push_back(state().now);
  record("open " + std::string(url));
}

Owned<Timer> scheduleTimer(double seconds, std::function<void()> action) {
  if (sim::afterTerminate("timer")) return nullptr;
  auto invalidated = std::make_shared<bool>(false);
  sim::enqueue(seconds, std::move(action), invalidated);
  return Owned<Timer>(new Timer{std::move(invalidated)});
}

void invalidate(Timer& timer) {
  if (sim::afterTerminate("timer invalidate")) return;
  *timer.invalidated = true;
}

void runOnMainQueueAfter(double seconds, std::function<void()> action) {
  if (sim::afterTerminate("main-queue block")) return;
  sim::enqueue(seconds, std::move(action), nullptr);
}

void watchSignal(Signal signal, std::function<void()> action) {
  if (sim::afterTerminate("signal watch")) return;
  state().signalWatchers.emplace_back(signal, std::move(action));
}

void writeLine(std::string_view text) {
  if (sim::afterTerminate("stdout")) return;
  record("stdout " + std::string(text));
}

void note(std::string_view text) {
  std::string line = "note " + std::string(text);
  if (sim::afterTerminate(line)) return;
  record(std::move(line));
}

} // namespace platform
