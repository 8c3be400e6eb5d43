#pragma once

// What must hold for every session, whatever its input: read from the replayed log alone, so that
// the checks do not share the Switcher's idea of its own state.

#include <string>
#include <vector>

namespace rules {

// The first rule the log ("T WHAT" lines) breaks, naming the line; empty when it keeps them all:
// the process exits within 22.4 s of its launch and nothing runs after termination; every
// Command press is released once before the exit; no event carrying the marker is swallowed or
// changed; at most one Escape tap, only while Command is held, before its release, never on a
// commit; nothing swallowed outside a session; while finishing, only the awaited mouse-up, once.
std::string broken(const std::vector<std::string>& log);

} // namespace rules
