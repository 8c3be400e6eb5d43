// The verdict on every event that reaches the tap. This runs for each mouse, keyboard and scroll
// event of the whole machine while a session is open: it must not block, allocate or log.

#include "session/switcher.h"

namespace quorvane {

using namespace platform;

// One frame from the system down to the platform calls, at every optimisation level: each of our
// own functions left as a call on the way (handle or handleWhileHolding, by compiler and level)
// added about 2 ns, a fifth to a third, to every event that passes while holding
// (bench/filter_bench.cpp). Finishing stays a call.
[[gnu::flatten]] Event* Switcher::tapCallback(EventType type, Event* event, void* userInfo) {
  if (userInfo == nullptr) return event;
  Switcher& switcher = *static_cast<Switcher*>(userInfo);
  return switcher.handle(type, event) == EventVerdict::pass ? event : nullptr;
}

EventVerdict Switcher::handle(EventType type, Event* event) {
  // The system stopped our tap; we cannot see the user's input any more, so give it back.
  if (isTapDisabledNotification(type)) {
    finish(true, false,
           type == EventType::tapDisabledByTimeout ? "tap disabled by timeout"
                                                   : "tap disabled by user input");
    return EventVerdict::pass;
  }
  if (event == nullptr) return EventVerdict::pass;
  if (integerField(*event, EventField::sourceUserData) == marker) return EventVerdict::pass;
  if (finishing) {
    if (swallowMouseUp != type) return EventVerdict::pass;
    swallowMouseUp.reset();
    scheduleExit(exitDelayAfterMouseUp);
    return EventVerdict::swallow;
  }
  if (!holding) return EventVerdict::pass;
  return handleWhileHolding(type, *event);
}

static bool drivesSwitcher(KeyCode key) {
  return key == key::tab || key == key::leftArrow || key == key::rightArrow;
}

// Clang flattens one level deep only.
[[gnu::always_inline]] inline EventVerdict Switcher::handleWhileHolding(EventType type,
                                                                        Event& event) {
  switch (type) {
  case EventType::leftMouseDown: return endWithClick(EventType::leftMouseUp, false, "commit");
  case EventType::rightMouseDown: return endWithClick(EventType::rightMouseUp, true, "right click");
  case EventType::otherMouseDown: return endWithClick(EventType::otherMouseUp, true, "other click");
  case EventType::keyDown: {
    const auto key = static_cast<KeyCode>(integerField(event, EventField::keyboardEventKeycode));
    if (!drivesSwitcher(key)) return cancelForKey(key);
    addCommandFlag(event);
    return EventVerdict::pass;
  }
  case EventType::scrollWheel: finish(true, false, "scroll"); return EventVerdict::swallow;
  case EventType::keyUp:
  case EventType::flagsChanged:
  case EventType::mouseMoved:
  case EventType::leftMouseDragged:
  case EventType::rightMouseDragged:
  case EventType::otherMouseDragged: addCommandFlag(event); return EventVerdict::pass;
  default:
    // A mouse-up whose press we never saw, for one.
    return EventVerdict::pass;
  }
}

// The matching mouse-up is awaited before finishing, so that it is hidden like its press.
EventVerdict Switcher::endWithClick(EventType mouseUp, bool cancel, std::string_view reason) {
  swallowMouseUp = mouseUp;
  finish(cancel, true, reason);
  return EventVerdict::swallow;
}

void Switcher::addCommandFlag(Event& event) {
  setFlags(event, flags(event) | commandFlag);
}

} // namespace quorvane
