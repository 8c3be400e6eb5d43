#include "platform/sim/names.h"

#include <array>
#include <utility>

namespace sim {

using platform::EventType;

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

} // namespace sim
