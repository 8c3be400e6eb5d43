#pragma once

#include "platform/platform.h"
#include "session/switcher.h"

#include <memory>

namespace quorvane {

// The two process-wide values of a normal run.
extern platform::Application* app;
extern std::unique_ptr<Switcher> delegate;

// The program: answers the permission probe, or runs one switch session in a background
// application. Returns the process's exit status.
int runProgram(int argc, const char* const argv[]);

} // namespace quorvane
