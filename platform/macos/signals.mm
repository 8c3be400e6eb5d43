// The real termination signals: the default action is ignored and a dispatch source on the main
// queue runs the action instead. Each step is one call of the system's API.

#include "platform/platform.h"

#include <csignal>
#include <dispatch/dispatch.h>
#include <vector>

namespace platform {

namespace {

// A released source stops watching; these live as long as the process.
std::vector<dispatch_source_t> signalSources;

} // namespace

void watchSignal(Signal signal, std::function<void()> action) {
  const int number = static_cast<int>(signal);
  // Ignored, the signal no longer ends the process; the source still sees it arrive.
  std::signal(number, SIG_IGN);
  dispatch_source_t source = dispatch_source_create(
      DISPATCH_SOURCE_TYPE_SIGNAL, static_cast<uintptr_t>(number), 0, dispatch_get_main_queue());
  dispatch_source_set_event_handler(source, ^{
    action();
  });
  dispatch_resume(source);
  signalSources.push_back(source);
}

} // namespace platform
