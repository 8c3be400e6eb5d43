// The real input event services: Quartz Event Services, the Core Foundation run loop, the
// Accessibility trust check and the secure keyboard input state. Each operation is one call of the
// system's API; our opaque Event, EventSource and RunLoopSource are the system's own objects under
// another name.

#include "platform/platform.h"

#import <ApplicationServices/ApplicationServices.h>
#import <Carbon/Carbon.h>
#import <CoreFoundation/CoreFoundation.h>

namespace platform {

// Our numbers are the system's own, checked against its headers wherever this file is compiled.
static_assert(kCGEventLeftMouseDown == static_cast<CGEventType>(EventType::leftMouseDown));
static_assert(kCGEventLeftMouseUp == static_cast<CGEventType>(EventType::leftMouseUp));
static_assert(kCGEventRightMouseDown == static_cast<CGEventType>(EventType::rightMouseDown));
static_assert(kCGEventRightMouseUp == static_cast<CGEventType>(EventType::rightMouseUp));
static_assert(kCGEventMouseMoved == static_cast<CGEventType>(EventType::mouseMoved));
static_assert(kCGEventLeftMouseDragged == static_cast<CGEventType>(EventType::leftMouseDragged));
static_assert(kCGEventRightMouseDragged == static_cast<CGEventType>(EventType::rightMouseDragged));
static_assert(kCGEventKeyDown == static_cast<CGEventType>(EventType::keyDown));
static_assert(kCGEventKeyUp == static_cast<CGEventType>(EventType::keyUp));
static_assert(kCGEventFlagsChanged == static_cast<CGEventType>(EventType::flagsChanged));
static_assert(kCGEventScrollWheel == static_cast<CGEventType>(EventType::scrollWheel));
static_assert(kCGEventOtherMouseDown == static_cast<CGEventType>(EventType::otherMouseDown));
static_assert(kCGEventOtherMouseUp == static_cast<CGEventType>(EventType::otherMouseUp));
static_assert(kCGEventOtherMouseDragged == static_cast<CGEventType>(EventType::otherMouseDragged));
static_assert(kCGEventTapDisabledByTimeout ==
              static_cast<CGEventType>(EventType::tapDisabledByTimeout));
static_assert(kCGEventTapDisabledByUserInput ==
              static_cast<CGEventType>(EventType::tapDisabledByUserInput));
static_assert(kCGEventFlagMaskCommand == commandFlag);
static_assert(kCGKeyboardEventKeycode ==
              static_cast<CGEventField>(EventField::keyboardEventKeycode));
static_assert(kCGEventSourceUserData == static_cast<CGEventField>(EventField::sourceUserData));
static_assert(kCGHIDEventTap == static_cast<CGEventTapLocation>(TapLocation::hid));
static_assert(kCGHeadInsertEventTap == static_cast<CGEventTapPlacement>(TapPlacement::headInsert));
static_assert(kCGEventTapOptionDefault ==
              static_cast<CGEventTapOptions>(TapOptions::defaultActive));
static_assert(kCGEventSourceStateHIDSystemState ==
              static_cast<CGEventSourceStateID>(EventSourceState::hidSystem));

// The system's tap, and what our callback needs when the system calls the tap back.
struct Tap {
  TapCallback callback;
  void* userInfo;
  CFMachPortRef port;
};

namespace {

CGEventRef cgEvent(const Event& event) {
  return reinterpret_cast<CGEventRef>(const_cast<Event*>(&event));
}

CGEventRef tapTrampoline(CGEventTapProxy, CGEventType type, CGEventRef event, void* info) {
  const Tap& tap = *static_cast<Tap*>(info);
  return reinterpret_cast<CGEventRef>(
      tap.callback(static_cast<EventType>(type), reinterpret_cast<Event*>(event), tap.userInfo));
}

} // namespace

void release(Event* event) {
  CFRelease(cgEvent(*event));
}
void release(EventSource* source) {
  CFRelease(reinterpret_cast<CGEventSourceRef>(source));
}
// Taking a source off a run loop that does not hold it does nothing.
void release(RunLoopSource* source) {
  const auto runLoopSource = reinterpret_cast<CFRunLoopSourceRef>(source);
  CFRunLoopRemoveSource(CFRunLoopGetMain(), runLoopSource, kCFRunLoopCommonModes);
  CFRelease(runLoopSource);
}

// Invalidating the port stops its callbacks for good, and takes its run-loop source off every run
// loop, before the Tap that the callbacks receive is freed.
void release(Tap* tap) {
  CFMachPortInvalidate(tap->port);
  CFRelease(tap->port);
  delete tap;
}

bool isProcessTrusted() {
  return AXIsProcessTrusted();
}

bool isSecureEventInputEnabled() {
  return IsSecureEventInputEnabled();
}

Owned<EventSource> createEventSource(EventSourceState state) {
  return Owned<EventSource>(reinterpret_cast<EventSource*>(
      CGEventSourceCreate(static_cast<CGEventSourceStateID>(state))));
}

Owned<Event> createKeyboardEvent(EventSource* source, KeyCode key, bool keyDown) {
  return Owned<Event>(reinterpret_cast<Event*>(
      CGEventCreateKeyboardEvent(reinterpret_cast<CGEventSourceRef>(source), key, keyDown)));
}

void setType(Event& event, EventType type) {
  CGEventSetType(cgEvent(event), static_cast<CGEventType>(type));
}

EventFlags flags(const Event& event) {
  return CGEventGetFlags(cgEvent(event));
}

void setFlags(Event& event, EventFlags flags) {
  CGEventSetFlags(cgEvent(event), flags);
}

std::int64_t integerField(const Event& event, EventField field) {
  return CGEventGetIntegerValueField(cgEvent(event), static_cast<CGEventField>(field));
}

void setIntegerField(Event& event, EventField field, std::int64_t value) {
  CGEventSetIntegerValueField(cgEvent(event), static_cast<CGEventField>(field), value);
}

void post(TapLocation location, Event& event) {
  CGEventPost(static_cast<CGEventTapLocation>(location), cgEvent(event));
}

Owned<Tap> createEventTap(TapLocation location, TapPlacement placement, TapOptions options,
                          EventMask mask, TapCallback callback, void* userInfo) {
  auto* tap = new Tap{callback, userInfo, nullptr};
  tap->port = CGEventTapCreate(static_cast<CGEventTapLocation>(location),
                               static_cast<CGEventTapPlacement>(placement),
                               static_cast<CGEventTapOptions>(options), mask, &tapTrampoline, tap);
  if (tap->port == nullptr) {
    delete tap;
    return nullptr;
  }
  return Owned<Tap>(tap);
}

void enableTap(Tap& tap, bool enable) {
  CGEventTapEnable(tap.port, enable);
}

Owned<RunLoopSource> createRunLoopSource(Tap& tap) {
  return Owned<RunLoopSource>(reinterpret_cast<RunLoopSource*>(
      CFMachPortCreateRunLoopSource(kCFAllocatorDefault, tap.port, 0)));
}

void addToMainRunLoop(RunLoopSource& source) {
  CFRunLoopAddSource(CFRunLoopGetMain(), reinterpret_cast<CFRunLoopSourceRef>(&source),
                     kCFRunLoopCommonModes);
}

} // namespace platform
