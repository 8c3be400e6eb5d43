#pragma once

// The platform's numbers for input events, applications and alerts, by name. Every backend and
// every test uses these; the values are the ones the system itself uses.

#include <cstdint>

namespace platform {

enum class EventType : std::uint32_t {
  leftMouseDown = 1,
  leftMouseUp = 2,
  rightMouseDown = 3,
  rightMouseUp = 4,
  mouseMoved = 5,
  leftMouseDragged = 6,
  rightMouseDragged = 7,
  keyDown = 10,
  keyUp = 11,
  flagsChanged = 12,
  scrollWheel = 22,
  otherMouseDown = 25,
  otherMouseUp = 26,
  otherMouseDragged = 27,
  tapDisabledByTimeout = 0xFFFFFFFE,
  tapDisabledByUserInput = 0xFFFFFFFF,
};

// The system tells a tap it was disabled by calling its callback with one of the two highest types.
constexpr bool isTapDisabledNotification(EventType type) {
  return static_cast<std::uint32_t>(type) >=
         static_cast<std::uint32_t>(EventType::tapDisabledByTimeout);
}

using EventMask = std::uint64_t;

// The tap-disabled notifications have no bit: a tap cannot ask for them, it always gets them.
constexpr EventMask maskBit(EventType type) {
  const auto code = static_cast<std::uint32_t>(type);
  return code < 64 ? EventMask{1} << code : 0;
}

using EventFlags = std::uint64_t;
constexpr EventFlags commandFlag = 0x100000;

enum class EventField : std::uint32_t {
  keyboardEventKeycode = 9,
  sourceUserData = 42,
};

using KeyCode = std::uint16_t;

namespace key {
constexpr KeyCode tab = 48;
constexpr KeyCode escape = 53;
constexpr KeyCode command = 55;
constexpr KeyCode leftArrow = 123;
constexpr KeyCode rightArrow = 124;
} // namespace key

enum class TapLocation : std::uint32_t { hid = 0 };
enum class TapPlacement : std::uint32_t { headInsert = 0 };
enum class TapOptions : std::uint32_t { defaultActive = 0 };
enum class EventSourceState : std::int32_t { hidSystem = 1 };

enum class ActivationPolicy : std::int64_t { accessory = 1, prohibited = 2 };

// Termination signals, numbered as on both macOS and Linux.
enum class Signal : int { hangUp = 1, interrupt = 2, terminate = 15 };

using AlertResponse = long;
constexpr AlertResponse alertFirstButton = 1000;
constexpr AlertResponse alertSecondButton = 1001;
// The alert was ended by abortAlert, with no button chosen.
constexpr AlertResponse alertAborted = -1001;

} // namespace platform
