// The real input event services: Quartz Event Services, the Core Foundation run loop and the
// Accessibility trust check. Each operation is one call of the system's API; our opaque Event,
// EventSource and RunLoopSource are the system's own objects under another name.

#include "platform/platform.h"

#import <ApplicationServices/ApplicationServices.h>
#import <CoreFoundation/CoreFoundation.h>

namespace platform {

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
void release(RunLoopSource* source) {
  CFRelease(reinterpret_cast<CFRunLoopSourceRef>(source));
}

void release(Tap* tap) {
  CFRelease(tap->port);
  delete tap;
}

bool isProcessTrusted() {
  return AXIsProcessTrusted();
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
