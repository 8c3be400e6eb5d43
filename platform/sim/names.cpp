#include "platform/sim/names.h"

#include <array>
#include <utility>

namespace sim {

using platform::EventType;
using platform::Signal;

namespace {

constexpr std::array<std::pair<EventType, std::string_view>, 16> names = {{
    {EventType::leftMouseDown, "leftMouseDown"},
    {EventType::leftMouseUp, "leftMouseUp"},
    {EventType::rightMouseDown, "rightMouseDown"},
    {EventType::rightMouseUp, "rightMouseUp"},
    {EventType::mouseMoved, "mouseMoved"},
    {EventType::leftMouseDragged, "leftMouseDragged"},
    {EventType::rightMouseDragged, "rightMouseDragged"},
    {EventType::keyDown, "keyDown"},
    {EventType::keyUp, "keyUp"},
    {EventType::flagsChanged, "flagsChanged"},
    {EventType::scrollWheel, "scrollWheel"},
    {EventType::otherMouseDown, "otherMouseDown"},
    {EventType::otherMouseUp, "otherMouseUp"},
    {EventType::otherMouseDragged, "otherMouseDragged"},
    {EventType::tapDisabledByTimeout, "tapDisabledByTimeout"},
    {EventType::tapDisabledByUserInput, "tapDisabledByUserInput"},
}};

constexpr std::array<std::pair<Signal, std::string_view>, 3> signalNames = {{
    {Signal::terminate, "TERM"},
    {Signal::interrupt, "INT"},
    {Signal::hangUp, "HUP"},
}};

} // namespace

std::string_view eventTypeName(EventType type) {
  for (const auto& [known, name] : names)
    if (known == type) return name;
  return "unknownType";
}

std::optional<EventType> eventTypeNamed(std::string_view name) {
  for (const auto& [type, known] : names)
    if (known == name) return type;
  return std::nullopt;
}

std::string_view signalName(Signal signal) {
  for (const auto& [known, name] : signalNames)
    if (known == signal) return name;
  return "unknownSignal";
}

std::optional<Signal> signalNamed(std::string_view name) {
  for (const auto& [signal, known] : signalNames)
    if (known == name) return signal;
  return std::nullopt;
}

} // namespace sim
