#include "platform/sim/names.h"

#include <array>
#include <utility>

namespace sim {

using platform::EventType;
using platform::Signal;

namespace {

template <class Value, std::size_t size>
using Names = std::array<std::pair<Value, std::string_view>, size>;

constexpr Names<EventType, 16> names = {{
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

constexpr Names<Signal, 3> signalNames = {{
    {Signal::terminate, "TERM"},
    {Signal::interrupt, "INT"},
    {Signal::hangUp, "HUP"},
}};

template <class Value, std::size_t size>
std::string_view nameOf(const Names<Value, size>& table, Value value, std::string_view unknown) {
  for (const auto& [known, name] : table)
    if (known == value) return name;
  return unknown;
}

template <class Value, std::size_t size>
std::optional<Value> valueNamed(const Names<Value, size>& table, std::string_view name) {
  for (const auto& [value, known] : table)
    if (known == name) return value;
  return std::nullopt;
}

} // namespace

std::string_view eventTypeName(EventType type) {
  return nameOf(names, type, "unknownType");
}
std::optional<EventType> eventTypeNamed(std::string_view name) {
  return valueNamed(names, name);
}
std::string_view signalName(Signal signal) {
  return nameOf(signalNames, signal, "unknownSignal");
}
std::optional<Signal> signalNamed(std::string_view name) {
  return valueNamed(signalNames, name);
}

} // namespace sim
