// The Quartz Event Services and Accessibility declarations Quorvane uses, as in the macOS SDK's
// CoreGraphics (CGEventTypes.h, CGRemoteOperation.h, CGEvent.h, CGEventSource.h) and HIServices
// (AXUIElement.h). Enumerations keep their fixed underlying types; their constants are left out,
// as Quorvane passes its own numbers.
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#pragma clang assume_nonnull begin

// CGRemoteOperation.h
typedef uint16_t CGKeyCode;

// CGEventTypes.h
typedef struct __CGEvent* CGEventRef;
typedef uint64_t CGEventFlags; // CF_OPTIONS(uint64_t, CGEventFlags): a plain uint64_t in C++
enum CGEventType : uint32_t;
enum CGEventField : uint32_t;
enum CGEventTapLocation : uint32_t;
enum CGEventTapPlacement : uint32_t;
enum CGEventTapOptions : uint32_t;
typedef uint64_t CGEventMask;
typedef struct __CGEventTapProxy* CGEventTapProxy;
typedef CGEventRef _Nullable (*CGEventTapCallBack)(CGEventTapProxy proxy, CGEventType type,
                                                   CGEventRef event, void* _Nullable userInfo);
typedef struct __CGEventSource* CGEventSourceRef;
enum CGEventSourceStateID : int32_t;

// CGEvent.h
CGEventRef _Nullable CGEventCreateKeyboardEvent(CGEventSourceRef _Nullable source,
                                                CGKeyCode virtualKey, bool keyDown);
void CGEventSetType(CGEventRef _Nullable event, CGEventType type);
CGEventFlags CGEventGetFlags(CGEventRef _Nullable event);
void CGEventSetFlags(CGEventRef _Nullable event, CGEventFlags flags);
int64_t CGEventGetIntegerValueField(CGEventRef _Nullable event, CGEventField field);
void CGEventSetIntegerValueField(CGEventRef _Nullable event, CGEventField field, int64_t value);
CFMachPortRef _Nullable CGEventTapCreate(CGEventTapLocation tap, CGEventTapPlacement place,
                                         CGEventTapOptions options, CGEventMask eventsOfInterest,
                                         CGEventTapCallBack callback, void* _Nullable userInfo);
void CGEventTapEnable(CFMachPortRef tap, bool enable);
void CGEventPost(CGEventTapLocation tap, CGEventRef _Nullable event);

// CGEventSource.h
CGEventSourceRef _Nullable CGEventSourceCreate(CGEventSourceStateID stateID);

#pragma clang assume_nonnull end

// AXUIElement.h
Boolean AXIsProcessTrusted(void);

#ifdef __cplusplus
}
#endif
