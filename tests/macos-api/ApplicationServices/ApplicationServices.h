// The Quartz Event Services and Accessibility declarations Quorvane uses, as in the macOS SDK's
// CoreGraphics (CGBase.h, CGGeometry.h, CGEventTypes.h, CGRemoteOperation.h, CGEvent.h,
// CGEventSource.h) and HIServices
// (AXUIElement.h). Enumerations keep their fixed underlying types and only the constants that
// Quorvane checks its own numbers against or the tools use.
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <stdint.h>
#include <sys/types.h> // quorvane-mac-replay: pid_t

#ifdef __cplusplus
extern "C" {
#endif

#pragma clang assume_nonnull begin

// CGBase.h (64-bit) and CGGeometry.h
typedef double CGFloat;
struct CGPoint {
  CGFloat x;
  CGFloat y;
};
typedef struct CGPoint CGPoint;

// CGRemoteOperation.h
typedef uint16_t CGKeyCode;

// CGEventTypes.h
typedef struct __CGEvent* CGEventRef;
typedef uint64_t CGEventFlags; // CF_OPTIONS(uint64_t, CGEventFlags): a plain uint64_t in C++
enum : CGEventFlags {
  kCGEventFlagMaskShift = 0x00020000,
  kCGEventFlagMaskControl = 0x00040000,
  kCGEventFlagMaskAlternate = 0x00080000,
  kCGEventFlagMaskCommand = 0x00100000,
};
enum CGEventType : uint32_t {
  kCGEventLeftMouseDown = 1,
  kCGEventLeftMouseUp = 2,
  kCGEventRightMouseDown = 3,
  kCGEventRightMouseUp = 4,
  kCGEventMouseMoved = 5,
  kCGEventLeftMouseDragged = 6,
  kCGEventRightMouseDragged = 7,
  kCGEventKeyDown = 10,
  kCGEventKeyUp = 11,
  kCGEventFlagsChanged = 12,
  kCGEventScrollWheel = 22,
  kCGEventOtherMouseDown = 25,
  kCGEventOtherMouseUp = 26,
  kCGEventOtherMouseDragged = 27,
  kCGEventTapDisabledByTimeout = 0xFFFFFFFE,
  kCGEventTapDisabledByUserInput = 0xFFFFFFFF,
};
enum CGEventField : uint32_t { kCGKeyboardEventKeycode = 9, kCGEventSourceUserData = 42 };
enum CGEventTapLocation : uint32_t { kCGHIDEventTap = 0, kCGSessionEventTap = 1 };
enum CGEventTapPlacement : uint32_t { kCGHeadInsertEventTap = 0, kCGTailAppendEventTap = 1 };
enum CGEventTapOptions : uint32_t {
  kCGEventTapOptionDefault = 0x00000000,
  kCGEventTapOptionListenOnly = 0x00000001,
};
enum CGMouseButton : uint32_t {
  kCGMouseButtonLeft = 0,
  kCGMouseButtonRight = 1,
  kCGMouseButtonCenter = 2,
};
enum CGScrollEventUnit : uint32_t { kCGScrollEventUnitPixel = 0, kCGScrollEventUnitLine = 1 };
typedef uint64_t CGEventMask;
typedef struct __CGEventTapProxy* CGEventTapProxy;
typedef CGEventRef _Nullable (*CGEventTapCallBack)(CGEventTapProxy proxy, CGEventType type,
                                                   CGEventRef event, void* _Nullable userInfo);
typedef struct __CGEventSource* CGEventSourceRef;
enum CGEventSourceStateID : int32_t {
  kCGEventSourceStateCombinedSessionState = 0,
  kCGEventSourceStateHIDSystemState = 1,
};

// CGEvent.h
CGEventRef _Nullable CGEventCreate(CGEventSourceRef _Nullable source);
CGEventRef _Nullable CGEventCreateMouseEvent(CGEventSourceRef _Nullable source,
                                             CGEventType mouseType, CGPoint mouseCursorPosition,
                                             CGMouseButton mouseButton);
CGEventRef _Nullable CGEventCreateScrollWheelEvent2(CGEventSourceRef _Nullable source,
                                                    CGScrollEventUnit units, uint32_t wheelCount,
                                                    int32_t wheel1, int32_t wheel2, int32_t wheel3);
CGPoint CGEventGetLocation(CGEventRef _Nullable event);
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
bool CGPreflightListenEventAccess(void) __attribute__((availability(macos, introduced = 10.15)));
bool CGPreflightPostEventAccess(void) __attribute__((availability(macos, introduced = 10.15)));
// "Requests event listening (synthesizing) access if absent, potentially prompting".
bool CGRequestListenEventAccess(void) __attribute__((availability(macos, introduced = 10.15)));
bool CGRequestPostEventAccess(void) __attribute__((availability(macos, introduced = 10.15)));

// CGEventSource.h
CGEventSourceRef _Nullable CGEventSourceCreate(CGEventSourceStateID stateID);
CGEventFlags CGEventSourceFlagsState(CGEventSourceStateID stateID);

#pragma clang assume_nonnull end

// AXUIElement.h
Boolean AXIsProcessTrusted(void);

// quorvane-mac-replay: CGWindow.h, AXError.h, AXUIElement.h, AXAttributeConstants.h
typedef uint32_t CGWindowID;
#define kCGNullWindowID ((CGWindowID)0)
typedef uint32_t CGWindowListOption; // CF_OPTIONS(uint32_t, CGWindowListOption)
enum : CGWindowListOption {
  kCGWindowListOptionOnScreenOnly = (1 << 0),
  kCGWindowListExcludeDesktopElements = (1 << 4),
};
extern const CFStringRef kCGWindowOwnerPID;
CFArrayRef _Nullable CGWindowListCopyWindowInfo(CGWindowListOption option,
                                                CGWindowID relativeToWindow);
enum AXError : int32_t { kAXErrorSuccess = 0 };
typedef const struct __attribute__((objc_bridge(id))) __AXUIElement* AXUIElementRef;
AXUIElementRef AXUIElementCreateApplication(pid_t pid);
AXError AXUIElementCopyAttributeValue(AXUIElementRef element, CFStringRef attribute,
                                      CFTypeRef _Nullable* _Nonnull
                                      __attribute__((cf_returns_retained)) value);
#define kAXRoleAttribute CFSTR("AXRole")
#define kAXTitleAttribute CFSTR("AXTitle")
#define kAXValueAttribute CFSTR("AXValue")
#define kAXChildrenAttribute CFSTR("AXChildren")
#define kAXWindowsAttribute CFSTR("AXWindows")
#define kAXFocusedWindowAttribute CFSTR("AXFocusedWindow")
#define kAXFrontmostAttribute CFSTR("AXFrontmost")
#define kAXDefaultButtonAttribute CFSTR("AXDefaultButton")
#define kAXCancelButtonAttribute CFSTR("AXCancelButton")
#define kAXButtonRole CFSTR("AXButton")
#define kAXStaticTextRole CFSTR("AXStaticText")

#ifdef __cplusplus
}
#endif
