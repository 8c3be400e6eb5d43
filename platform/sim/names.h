#pragma once

// The names of event types as traces and logs spell them.

#include "platform/vocabulary.h"

#include <optional>
#include <string_view>

namespace sim {

std::string_view eventTypeName(platform::EventType type);
std::optional<platform::EventType> eventTypeNamed(std::string_view name);

} // namespace sim
