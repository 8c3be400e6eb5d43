#pragma once

// The names of event types and signals as traces and logs spell them.

#include "platform/vocabulary.h"

#include <optional>
#include <string_view>

namespace sim {

std::string_view eventTypeName(platform::EventType type);
std::optional<platform::EventType> eventTypeNamed(std::string_view name);

// TERM, INT, HUP: the signal's name without its SIG prefix.
std::string_view signalName(platform::Signal signal);
std::optional<platform::Signal> signalNamed(std::string_view name);

} // namespace sim
