// quorvane-mac-replay: plays a trace against the real Quorvane.app on this Mac and prints what a
// listen-only tap at the session level saw, as an observation log; with --check, compares it with
// the simulator's prediction. On standard error it reports the launch-to-switcher latency: from
// asking LaunchServices to open the app to the app's own Command press. A plain Core Foundation run
// loop on the main thread runs it all (it also drains the main dispatch queue); no NSApplication.

#include "platform/sim/names.h"
#include "tools/compare/observation.h"
#include "tools/replay/trace.h"

#import <AppKit/AppKit.h>
#import <ApplicationServices/ApplicationServices.h>
#import <Carbon/Carbon.h>
#import <CoreFoundation/CoreFoundation.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <dispatch/dispatch.h>
#include <fstream>
#include <iostream>
#include <optional>
#include <set>
#include <signal.h>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using platform::EventType;
using Clock = std::chrono::steady_clock;

constexpr const char* usage = "usage: quorvane-mac-replay APP TRACE [--check]";
// The program presses Command this long after its launch; a trace's times count from the launch.
constexpr double pressAt = 0.35;
// How long the app may run on after the press, or after the last input, before it counts as
// never quitting.
constexpr double patience = 25;
// Time for what was posted last to reach our tap before the log ends.
constexpr double settle = 0.3;

// One line of the observation log: an event, or where the session ended.
struct Seen {
  sim::Input event;
  const char* end = nullptr; // "exit", "still running" or "command held"; null for an event
};

struct Session {
  replay::Trace trace;
  std::string appPath;
  NSURL* app;
  bool check = false;
  Clock::time_point launched;
  CGEventSourceRef source = nullptr;
  CFMachPortRef tap = nullptr;
  CFRunLoopSourceRef tapSource = nullptr;
  pid_t pid = 0;
  dispatch_source_t exitWatch;
  std::vector<dispatch_source_t> signalWatches;
  std::vector<dispatch_source_t> timers;
  // What the trace has pressed and not yet released, to be let go of at the end: the keys, and
  // the mouse-ups that its presses are still owed.
  std::set<CGKeyCode> keysDown;
  std::set<EventType> mouseUpsOwed;
  std::vector<Seen> seen;
  std::optional<double> pressed;
  std::size_t nextInput = 0;
  bool waiting = false; // a timer will post the next input
  bool exited = false;
  bool finished = false;
  double deadline = patience;
  int status = 0;
};

Session session;

double now() {
  return std::chrono::duration<double>(Clock::now() - session.launched).count();
}

void fail(const std::string& what);

// A one-shot timer that is strict and has no leeway: dispatch_after lets the system run a block
// up to a tenth of its delay late, more than the comparer's tolerance once a trace is seconds in.
void after(double seconds, dispatch_block_t block) {
  const double delay = seconds > 0 ? seconds : 0;
  dispatch_source_t timer = dispatch_source_create(
      DISPATCH_SOURCE_TYPE_TIMER, 0, DISPATCH_TIMER_STRICT, dispatch_get_main_queue());
  if (timer == nil) {
    fail("cannot create a timer");
    return;
  }
  dispatch_source_set_timer(
      timer, dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(delay * NSEC_PER_SEC)),
      DISPATCH_TIME_FOREVER, 0);
  dispatch_source_set_event_handler(timer, block);
  dispatch_resume(timer);
  session.timers.push_back(timer);
}

bool isKeyboard(EventType type) {
  return type == EventType::keyDown || type == EventType::keyUp || type == EventType::flagsChanged;
}

void finish();
void postDue();

void fail(const std::string& what) {
  std::cerr << "quorvane-mac-replay: " << what << '\n';
  session.status = 2;
  finish();
}

// --- Watching ---------------------------------------------------------------------------------

CGEventRef see(CGEventTapProxy, CGEventType type, CGEventRef event, void*) {
  if (type == kCGEventTapDisabledByTimeout || type == kCGEventTapDisabledByUserInput) {
    if (session.tap != nullptr) CGEventTapEnable(session.tap, true);
    return event;
  }
  const double time = now();
  const int64_t user = CGEventGetIntegerValueField(event, kCGEventSourceUserData);
  const CGEventFlags flags = CGEventGetFlags(event);
  // Reserved in advance: no allocation here unless a session sees thousands of events.
  session.seen.push_back(
      {.event = {.time = time,
                 .type = static_cast<EventType>(type),
                 .key = static_cast<platform::KeyCode>(
                     CGEventGetIntegerValueField(event, kCGKeyboardEventKeycode)),
                 .flags = flags,
                 .user = user}});
  if (!session.pressed && type == kCGEventFlagsChanged && user == observation::marker &&
      (flags & kCGEventFlagMaskCommand) != 0) {
    session.pressed = time;
    dispatch_async(dispatch_get_main_queue(), ^{
      double last = pressAt;
      for (const sim::Input& input : session.trace.setup.inputs)
        last = std::max(last, input.time);
      session.deadline = time + (last - pressAt) + patience;
      after(session.deadline - now(), ^{
        if (!session.finished && now() >= session.deadline) finish();
      });
      postDue();
    });
  }
  return event;
}

void stopListening() {
  if (session.tap == nullptr) return;
  CGEventTapEnable(session.tap, false);
  if (session.tapSource != nullptr) {
    CFRunLoopRemoveSource(CFRunLoopGetMain(), session.tapSource, kCFRunLoopCommonModes);
    CFRelease(session.tapSource);
  }
  CFMachPortInvalidate(session.tap);
  CFRelease(session.tap);
  session.tapSource = nullptr;
  session.tap = nullptr;
}

void ended() {
  if (session.exited || session.finished) return;
  session.exited = true;
  session.seen.push_back({.event = {.time = now()}, .end = "exit"});
  // Inputs still to come bypass the ended app; without the press none will come.
  if (session.nextInput == session.trace.setup.inputs.size() || !session.pressed)
    after(settle, ^{
      finish();
    });
}

void watchExit(pid_t pid) {
  session.exitWatch = dispatch_source_create(DISPATCH_SOURCE_TYPE_PROC, static_cast<uintptr_t>(pid),
                                             DISPATCH_PROC_EXIT, dispatch_get_main_queue());
  // No source for a process that is already gone.
  if (session.exitWatch == nil) {
    ended();
    return;
  }
  dispatch_source_set_event_handler(session.exitWatch, ^{
    ended();
  });
  dispatch_resume(session.exitWatch);
  if (kill(pid, 0) != 0 && errno == ESRCH) ended(); // it ended before the watch began
}

// --- Playing ----------------------------------------------------------------------------------

void launch(bool first) {
  [[NSWorkspace sharedWorkspace]
      openApplicationAtURL:session.app
             configuration:[NSWorkspaceOpenConfiguration configuration]
         completionHandler:^(NSRunningApplication* app, NSError* error) {
           // AppKit calls this on a concurrent queue: the session lives on the main one.
           const pid_t pid = app != nil ? app.processIdentifier : 0;
           dispatch_async(dispatch_get_main_queue(), ^{
             if (session.finished) return;
             if (pid <= 0) {
               const char* why = error != nil ? error.localizedDescription.UTF8String : nullptr;
               fail(std::string(first ? "cannot open " : "cannot reopen ") + session.appPath +
                    ": " + (why != nullptr ? why : "no reason given"));
               return;
             }
             if (!first) return;
             session.pid = pid;
             watchExit(pid);
             postDue();
           });
         }];
}

CGMouseButton buttonOf(EventType type) {
  switch (type) {
  case EventType::rightMouseDown:
  case EventType::rightMouseUp:
  case EventType::rightMouseDragged: return kCGMouseButtonRight;
  case EventType::otherMouseDown:
  case EventType::otherMouseUp:
  case EventType::otherMouseDragged: return kCGMouseButtonCenter;
  default: return kCGMouseButtonLeft;
  }
}

// Keeps count of the keys and buttons the trace holds down.
void holdOrLetGo(const sim::Input& input) {
  switch (input.type) {
  case EventType::keyDown: session.keysDown.insert(input.key); break;
  case EventType::keyUp: session.keysDown.erase(input.key); break;
  case EventType::leftMouseDown: session.mouseUpsOwed.insert(EventType::leftMouseUp); break;
  case EventType::rightMouseDown: session.mouseUpsOwed.insert(EventType::rightMouseUp); break;
  case EventType::otherMouseDown: session.mouseUpsOwed.insert(EventType::otherMouseUp); break;
  case EventType::leftMouseUp:
  case EventType::rightMouseUp:
  case EventType::otherMouseUp: session.mouseUpsOwed.erase(input.type); break;
  default: break;
  }
}

// Posts an event we made, if we could make it, and lets go of it.
void postOnce(CGEventRef event) {
  if (event == nullptr) return;
  CGEventPost(kCGHIDEventTap, event);
  CFRelease(event);
}

CGPoint pointer() {
  CGEventRef here = CGEventCreate(nullptr);
  if (here == nullptr) return CGPoint{0, 0};
  const CGPoint location = CGEventGetLocation(here);
  CFRelease(here);
  return location;
}

CGEventRef createEvent(const sim::Input& input) {
  if (isKeyboard(input.type)) {
    CGEventRef event =
        CGEventCreateKeyboardEvent(session.source, input.key, input.type != EventType::keyUp);
    if (event != nullptr && input.type == EventType::flagsChanged)
      CGEventSetType(event, kCGEventFlagsChanged);
    return event;
  }
  if (input.type == EventType::scrollWheel)
    return CGEventCreateScrollWheelEvent2(session.source, kCGScrollEventUnitLine, 1, -1, 0, 0);
  return CGEventCreateMouseEvent(session.source, static_cast<CGEventType>(input.type), pointer(),
                                 buttonOf(input.type));
}

void post(std::size_t index) {
  const sim::Input& input = session.trace.setup.inputs[index];
  // Once the app has ended, a launch would start a new session and its pid may be another's.
  if (input.kind == sim::Input::Kind::reopen) {
    if (!session.exited) launch(false);
    return;
  }
  if (input.kind == sim::Input::Kind::signal) {
    if (!session.exited) kill(session.pid, static_cast<int>(input.signal));
    return;
  }
  CGEventRef event = createEvent(input);
  if (event == nullptr) {
    fail("cannot create the event of trace line " +
         std::to_string(session.trace.inputLines[index]));
    return;
  }
  if (input.key != 0 && !isKeyboard(input.type))
    CGEventSetIntegerValueField(event, kCGKeyboardEventKeycode, input.key);
  CGEventSetFlags(event, input.flags);
  CGEventSetIntegerValueField(event, kCGEventSourceUserData, input.user);
  postOnce(event);
  holdOrLetGo(input);
}

// Posts every input that is due, in trace order, and waits for the next: inputs before the start
// right after the launch, the others at their time after the program's Command press.
void postDue() {
  const std::vector<sim::Input>& inputs = session.trace.setup.inputs;
  if (session.finished || session.waiting || session.pid == 0) return;
  while (session.nextInput < inputs.size()) {
    const double time = inputs[session.nextInput].time;
    if (time >= pressAt && !session.pressed) return;
    const double at = time < pressAt ? 0 : *session.pressed + (time - pressAt);
    if (at > now()) {
      session.waiting = true;
      after(at - now(), ^{
        session.waiting = false;
        postDue();
      });
      return;
    }
    post(session.nextInput++);
    if (session.finished) return;
  }
  if (session.exited)
    after(settle, ^{
      finish();
    });
}

// --- Ending -----------------------------------------------------------------------------------

std::string logText() {
  std::string text;
  for (const Seen& seen : session.seen) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%.3f ", seen.event.time);
    text +=
        stamp + (seen.end != nullptr ? std::string(seen.end) : sim::describe(seen.event)) + '\n';
  }
  return text;
}

// As quorvane-compare does, the verdict on standard error: standard output is the log alone.
int verdict(const std::string& observedText) {
  std::string predictedText;
  for (const std::string& line : replay::observe(session.trace))
    predictedText += line + '\n';
  std::istringstream predictedStream(predictedText), observedStream(observedText);
  const char* reading = "predicted";
  try {
    const auto predicted = observation::parseLog(predictedStream);
    reading = "observed";
    const auto observed = observation::parseLog(observedStream);
    const auto disagreement = observation::compare(predicted, observed);
    if (!disagreement) {
      std::cerr << "agree\n";
      return 0;
    }
    std::cerr << observation::describe(*disagreement, predicted, observed, "predicted", "observed");
    return 1;
  } catch (const observation::LogError& error) {
    std::cerr << "quorvane-mac-replay: " << reading << ":" << error.line << ": " << error.what()
              << '\n';
    return 2;
  }
}

// A modifier left down stays down for every application: the app's Command, or one the trace
// pressed (Shift, Control, Option) and never released. Only Command was the app's to release.
void releaseModifiers(CGEventFlags held) {
  struct Modifier {
    CGKeyCode key;
    CGEventFlags flag;
  };
  constexpr Modifier modifiers[] = {{platform::key::command, kCGEventFlagMaskCommand},
                                    {56, kCGEventFlagMaskShift},
                                    {59, kCGEventFlagMaskControl},
                                    {58, kCGEventFlagMaskAlternate}};
  for (const Modifier& modifier : modifiers) {
    if ((held & modifier.flag) == 0) continue;
    held &= ~modifier.flag; // what is still down once this one is up
    CGEventRef release = CGEventCreateKeyboardEvent(session.source, modifier.key, false);
    if (release != nullptr) {
      CGEventSetType(release, kCGEventFlagsChanged);
      CGEventSetFlags(release, held);
    }
    postOnce(release);
  }
}

// A key or button the trace pressed and never released stays down for every application: the
// front one got the press (our marked events pass the app's tap), and nothing else lets go.
void releasePressed() {
  for (CGKeyCode key : session.keysDown)
    postOnce(CGEventCreateKeyboardEvent(session.source, key, false));
  for (EventType up : session.mouseUpsOwed)
    postOnce(CGEventCreateMouseEvent(session.source, static_cast<CGEventType>(up), pointer(),
                                     buttonOf(up)));
  session.keysDown.clear();
  session.mouseUpsOwed.clear();
}

void reportLatency() {
  if (session.pressed)
    std::fprintf(stderr, "launch-to-switcher latency: %.3f s\n", *session.pressed);
  else
    std::fprintf(stderr, "launch-to-switcher latency: none (the app never pressed Command)\n");
}

// Its tap, which may still swallow clicks, goes with it: wait (a little) until it has gone, so that
// what we release next cannot meet that tap.
void killApp() {
  kill(session.pid, SIGKILL);
  for (int wait = 0; wait < 200 && kill(session.pid, 0) == 0; ++wait)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

// Whatever happened, leaves the Mac as it was: no app of ours running, no tap, no timer, nothing
// held down.
void finish() {
  if (session.finished) return;
  session.finished = true;
  for (dispatch_source_t timer : session.timers)
    dispatch_source_cancel(timer);
  if (session.pid == 0 && session.status == 0) {
    std::cerr << "quorvane-mac-replay: " << session.appPath << " did not launch\n";
    session.status = 2;
  }
  const bool stillRunning = session.pid > 0 && !session.exited;
  if (stillRunning) {
    session.seen.push_back({.event = {.time = now()}, .end = "still running"});
    killApp();
  }
  stopListening();
  // The HID state follows the hardware sources, the combined session state every source that
  // posts in this login session, the app's and ours included (CGEventSource.h): Command is still
  // down if either says so.
  const CGEventFlags held = CGEventSourceFlagsState(kCGEventSourceStateHIDSystemState) |
                            CGEventSourceFlagsState(kCGEventSourceStateCombinedSessionState);
  if ((held & kCGEventFlagMaskCommand) != 0)
    session.seen.push_back({.event = {.time = now()}, .end = "command held"});
  releasePressed();
  // A killed app never ran its own release, whatever the states say a moment after the kill.
  releaseModifiers(stillRunning ? held | kCGEventFlagMaskCommand : held);
  const std::string text = logText();
  std::cout << text << std::flush;
  reportLatency();
  if (session.check && session.status == 0) session.status = verdict(text);
  CFRunLoopStop(CFRunLoopGetMain());
}

// --- Starting ---------------------------------------------------------------------------------

// "LINE: what" for the first trace line that a real Mac cannot be made to follow.
std::optional<std::string> unplayable(const replay::Trace& trace) {
  const auto refusal = [](int line, const std::string& what, const char* why) {
    return std::to_string(line) + ": cannot follow '" + what + "' on a real Mac: " + why;
  };
  for (const replay::Directive& directive : trace.directives) {
    const std::vector<std::string>& w = directive.words;
    const char* why = nullptr;
    if (w[0] == "args" && w.size() > 1)
      why = "a user's launcher passes no arguments";
    else if (w[0] == "trusted" && w[1] == "no")
      why = "the app's Accessibility permission is not ours to withdraw";
    else if (w[0] == "alert-button")
      why = "nobody is there to answer an alert";
    else if (w[0] == "fail")
      why = "the system's calls cannot be made to fail";
    else if (w[0] == "secure-input" && w[1] == "yes")
      why = "secure input cannot be turned on from here";
    std::string words;
    for (const std::string& word : w)
      words += (words.empty() ? "" : " ") + word;
    if (why != nullptr) return refusal(directive.line, words, why);
  }
  for (std::size_t i = 0; i < trace.setup.inputs.size(); ++i)
    if (const sim::Input& input = trace.setup.inputs[i];
        input.kind == sim::Input::Kind::event && platform::isTapDisabledNotification(input.type))
      return refusal(trace.inputLines[i], std::string(sim::eventTypeName(input.type)),
                     "the system disables taps on its own terms");
  return std::nullopt;
}

CGEventMask watchedEvents() {
  constexpr EventType types[] = {
      EventType::leftMouseDown,     EventType::leftMouseUp,       EventType::rightMouseDown,
      EventType::rightMouseUp,      EventType::mouseMoved,        EventType::leftMouseDragged,
      EventType::rightMouseDragged, EventType::keyDown,           EventType::keyUp,
      EventType::flagsChanged,      EventType::scrollWheel,       EventType::otherMouseDown,
      EventType::otherMouseUp,      EventType::otherMouseDragged,
  };
  CGEventMask mask = 0;
  for (EventType type : types)
    mask |= platform::maskBit(type);
  return mask;
}

// Our own Ctrl-C, kill or logout ends the run as any failure does: cleaned up.
void watchSignal(int number) {
  signal(number, SIG_IGN);
  dispatch_source_t watch = dispatch_source_create(
      DISPATCH_SOURCE_TYPE_SIGNAL, static_cast<uintptr_t>(number), 0, dispatch_get_main_queue());
  dispatch_source_set_event_handler(watch, ^{
    fail("interrupted");
  });
  dispatch_resume(watch);
  session.signalWatches.push_back(watch);
}

int refuse(const std::string& what) {
  std::cerr << "quorvane-mac-replay: " << what << '\n';
  return 2;
}

int playTrace(int argc, char* argv[]) {
  std::vector<std::string> paths;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--check")
      session.check = true;
    else if (argument.starts_with("-"))
      return refuse("unknown argument '" + argument + "'\n" + usage);
    else
      paths.push_back(argument);
  }
  if (paths.size() != 2) {
    std::cerr << usage << '\n';
    return 2;
  }
  std::ifstream file(paths[1]);
  if (!file) return refuse(paths[1] + ": cannot open the trace");
  try {
    session.trace = replay::parseTrace(file);
  } catch (const replay::TraceError& error) {
    return refuse(paths[1] + ":" + std::to_string(error.line) + ": " + error.what());
  }
  if (const std::optional<std::string> why = unplayable(session.trace))
    return refuse(paths[1] + ":" + *why);
  session.appPath = paths[0];
  NSString* appPath = [[NSString alloc] initWithBytes:paths[0].data()
                                               length:paths[0].size()
                                             encoding:NSUTF8StringEncoding];
  if (appPath == nil) return refuse(paths[0] + ": not a UTF-8 path");
  session.app = [NSURL fileURLWithPath:appPath];

  // Without the listening right a tap is still made, but key events are silently left out of it.
  const bool mayListen = CGPreflightListenEventAccess();
  const bool mayPost = CGPreflightPostEventAccess();
  const auto notAllowed = [](const char* what, const char* list) {
    std::cerr << "quorvane-mac-replay: not allowed to " << what
              << " input events: in System Settings → Privacy & Security → " << list
              << ", allow the program that runs this tool (your terminal), then start it again\n";
  };
  if (!mayListen) notAllowed("listen to", "Input Monitoring");
  if (!mayPost) notAllowed("post", "Accessibility");
  if (!mayListen || !mayPost) return 2;
  if (IsSecureEventInputEnabled())
    return refuse("secure keyboard input is on (a password field has the focus, or a terminal's "
                  "Secure Keyboard Entry), so keys would reach no tap: turn it off and try again");

  // The HID system state, as the program uses: our inputs stand for the user's hardware.
  session.source = CGEventSourceCreate(kCGEventSourceStateHIDSystemState);
  if (session.source == nullptr) return refuse("cannot create an event source");
  session.tap = CGEventTapCreate(kCGSessionEventTap, kCGTailAppendEventTap,
                                 kCGEventTapOptionListenOnly, watchedEvents(), &see, nullptr);
  session.tapSource = session.tap != nullptr
                          ? CFMachPortCreateRunLoopSource(kCFAllocatorDefault, session.tap, 0)
                          : nullptr;
  if (session.tapSource == nullptr) {
    stopListening();
    CFRelease(session.source);
    return refuse("cannot watch input events: check this tool's Accessibility permission");
  }
  CFRunLoopAddSource(CFRunLoopGetMain(), session.tapSource, kCFRunLoopCommonModes);
  for (int number : {SIGINT, SIGTERM, SIGHUP})
    watchSignal(number);

  session.seen.reserve(1 << 14);
  session.launched = Clock::now();
  launch(true);
  after(patience, ^{
    if (!session.finished && now() >= session.deadline) finish();
  });
  CFRunLoopRun();
  CFRelease(session.source);
  return session.status;
}

} // namespace

int main(int argc, char* argv[]) {
  @autoreleasepool {
    return playTrace(argc, argv);
  }
}
