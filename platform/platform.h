#pragma once

// Everything the program asks of the operating system. Each build links exactly one backend:
// platform/macos (the real one) or platform/sim (the simulated one the tests and tools run on).
// Calls go down through these functions; the backend calls back up through the tap callback,
// timer, queue and signal actions, and the ApplicationDelegate, always on the main thread, one at
// a time. An alert's modal loop (runAlert) still delivers all of them, wherever it was shown from,
// but for main-queue blocks: the main queue runs one block at a time, so an alert shown from one
// (a failure alert, from the start) holds back every other block until it ends.

#include "platform/vocabulary.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

namespace platform {

// Platform objects, opaque here; each backend says what they are.
struct Event;
struct EventSource;
struct Tap;
struct RunLoopSource;
struct Timer;

void release(Event* event);
void release(EventSource* source);
void release(Tap* tap);
void release(RunLoopSource* source);
void release(Timer* timer);

struct Releaser {
  template <class Object> void operator()(Object* object) const { release(object); }
};

// A platform object we own, released when it goes; empty when the platform could not make it.
template <class Object> using Owned = std::unique_ptr<Object, Releaser>;

// --- Input event services -------------------------------------------------------------------

bool isProcessTrusted();
// Another application holds secure keyboard input (a focused password field, Secure Keyboard
// Entry): key events then reach no tap of ours, while pointer events still do.
bool isSecureEventInputEnabled();

Owned<EventSource> createEventSource(EventSourceState state);
// A keyDown or keyUp event for the key; the source may be null.
Owned<Event> createKeyboardEvent(EventSource* source, KeyCode key, bool keyDown);
void setType(Event& event, EventType type);
EventFlags flags(const Event& event);
void setFlags(Event& event, EventFlags flags);
std::int64_t integerField(const Event& event, EventField field);
void setIntegerField(Event& event, EventField field, std::int64_t value);
void post(TapLocation location, Event& event);

// Returns the event to let it continue (with any change made to it) or null to delete it.
// The event may be null only for the two tap-disabled notifications.
using TapCallback = Event* (*)(EventType type, Event* event, void* userInfo);

// The tap refers to userInfo without owning it.
Owned<Tap> createEventTap(TapLocation location, TapPlacement placement, TapOptions options,
                          EventMask mask, TapCallback callback, void* userInfo);
void enableTap(Tap& tap, bool enable);
Owned<RunLoopSource> createRunLoopSource(Tap& tap);
// Attaches the source to the main run loop in its common modes.
void addToMainRunLoop(RunLoopSource& source);

// --- Application services -------------------------------------------------------------------

// The major version of the system as it reports it to this program. Builds with the SDK of macOS
// 26 or later are told the true version. To a program built with an older SDK, the first macOS 26
// betas reported the compatibility version 16, as macOS 11 once reported 10.16 (public reports of
// 2025-06); by beta 4 they reported 26 (Apple Developer Forums, 2025-07). What the released macOS
// 26, and 27 and later, report to such a program is not documented (as of 2026-12): the Mac
// check's run of the macos-15 build (SDK 15) on macOS 26 and 27 will settle it.
int reportedSystemVersion();

class ApplicationDelegate {
public:
  virtual void applicationDidFinishLaunching() = 0;
  // The program was opened again while it runs.
  virtual bool applicationShouldHandleReopen(bool hasVisibleWindows) = 0;
  virtual void applicationWillTerminate() = 0;

protected:
  ~ApplicationDelegate() = default;
};

// The one application object of the process.
class Application {
public:
  static Application& shared();

  void setActivationPolicy(ActivationPolicy policy);
  // The application only refers to its delegate; the caller keeps it alive.
  void setDelegate(ApplicationDelegate* delegate);
  // Runs the main loop. The real one never returns; the simulated one returns once the
  // process has ended or its time has run out.
  void run();
  void activateIgnoringOtherApps(bool ignoring);
  // Delivers applicationWillTerminate, then ends the process. On a Mac it never returns: nothing
  // the caller asks of the platform after it happens.
  void terminate();
};

// Shows a modal alert in front and returns the button chosen (alertFirstButton for the first one
// added). With no buttons the platform shows its own single default button and answers 0. Return
// chooses the first button, Esc the one at escapeButton. While it is up the callbacks go on, as
// the top of this file says, and a quit request terminates the application there and then, so
// that the call never returns.
AlertResponse runAlert(std::string_view message, std::string_view informative,
                       std::span<const std::string_view> buttons = {},
                       std::optional<std::size_t> escapeButton = std::nullopt);
// Ends the alert that is up, as if nobody had chosen: its runAlert answers alertAborted. Returns
// whether an alert was up.
bool abortAlert();

void openURL(std::string_view url);

// A one-shot timer on the main run loop, in all its common modes (an alert's modal loop among
// them). Releasing the handle does not cancel it; invalidate does.
Owned<Timer> scheduleTimer(double seconds, std::function<void()> action);
void invalidate(Timer& timer);

// Runs the action once on the main queue after the delay, never while another such action runs.
void runOnMainQueueAfter(double seconds, std::function<void()> action);

// From now on the signal no longer ends the process: each time it arrives, the action runs on the
// main run loop in its common modes, so under any alert, even one shown from a main-queue block.
void watchSignal(Signal signal, std::function<void()> action);

// Writes the text and a line feed to standard output.
void writeLine(std::string_view text);

// Records a short note on the session's course where the user can read it afterwards (on macOS,
// the unified log). Never on the per-event path, except where a session ends.
void note(std::string_view text);

} // namespace platform
