// The Switcher's state, its synthetic keystrokes, and how a session finishes and the process exits.

#include "session/switcher.h"

#include <charconv>
#include <string>

namespace quorvane {

using namespace platform;

Switcher::Switcher() : source(createEventSource(EventSourceState::hidSystem)) {}

Switcher::~Switcher() {
  tap.reset();
  runLoopSource.reset();
  timeout.reset();
  releaseFallback.reset();
  source.reset();
}

// --- Synthetic keystrokes ---------------------------------------------------------------------

// An event that cannot be made is skipped: the caller goes on as if it had been posted.
void Switcher::postKey(KeyCode key, bool keyDown, EventFlags flags, bool asFlagsChanged) {
  Owned<Event> event = createKeyboardEvent(source.get(), key, keyDown);
  if (!event) return;
  if (asFlagsChanged) setType(*event, EventType::flagsChanged);
  setFlags(*event, flags);
  setIntegerField(*event, EventField::sourceUserData, marker);
  post(TapLocation::hid, *event);
}

void Switcher::pressCommand() {
  postKey(commandKey, true, commandFlag, true);
}

void Switcher::releaseCommand() {
  if (!holding) return;
  holding = false;
  postKey(commandKey, false, 0, true);
}

void Switcher::tapKey(KeyCode key) {
  postKey(key, true, commandFlag, false);
  postKey(key, false, commandFlag, false);
}

// --- Finishing --------------------------------------------------------------------------------

void Switcher::finish(bool cancel, bool awaitMouseUp, std::string_view reason) {
  if (finishing) return;
  finishing = true;
  note(std::string("session ended: ").append(reason));
  if (timeout) invalidate(*timeout);
  if (holding) {
    // Escape goes while Command is still down, so the switcher closes without switching.
    if (cancel) tapKey(escapeKey);
    releaseCommand();
  }
  scheduleExit(awaitMouseUp ? exitDelayAwaitingMouseUp : exitDelay);
}

// From the reopen callback and the signal actions, never from the tap: the per-event path has no
// alert to end.
void Switcher::cancelOnRequest(std::string_view reason) {
  if (abortAlert()) note(std::string("alert ended: ").append(reason));
  finish(true, false, reason);
}

// Any key but those that drive the switcher. Out of the tap callback's inlined path: it formats
// the note, once a session.
EventVerdict Switcher::cancelForKey(KeyCode key) {
  char reason[16] = "key ";
  const std::to_chars_result end = std::to_chars(reason + 4, reason + sizeof reason, key);
  finish(true, false, std::string_view(reason, end.ptr));
  return EventVerdict::swallow;
}

// There is only ever one exit pending: the last call decides when the process quits.
void Switcher::scheduleExit(double after) {
  if (releaseFallback) invalidate(*releaseFallback);
  releaseFallback = scheduleTimer(after, [this] { exitNow(); });
}

void Switcher::exitNow() {
  if (tap) enableTap(*tap, false);
  Application::shared().terminate();
}

// --- Alerts -----------------------------------------------------------------------------------

// A background application must come to the front before its alert can be seen.
AlertResponse Switcher::showAlert(std::string_view message, std::string_view informative,
                                  std::span<const std::string_view> buttons,
                                  std::optional<std::size_t> escapeButton) {
  Application& application = Application::shared();
  application.setActivationPolicy(ActivationPolicy::accessory);
  application.activateIgnoringOtherApps(true);
  return runAlert(message, informative, buttons, escapeButton);
}

bool Switcher::accessibilityPaneRenamed() {
  int version = reportedSystemVersion();
  // Early macOS 26 betas told a build against an older SDK 16 (2025-06), beta 4 told it 26
  // (2025-07); what released versions tell it is not known. No macOS is numbered 16 to 25, so
  // reading them as 26 to 35 is harmless either way, and covers a count on from 16.
  if (version >= 16 && version <= 25) version += 10;
  return version >= 27;
}

void Switcher::showFailureAlert(std::string_view informative) {
  releaseCommand();
  showAlert("Quorvane", informative);
  Application::shared().terminate();
}

} // namespace quorvane
