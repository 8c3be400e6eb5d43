// The real termination signals: the default action is ignored, and a dispatch source on a queue of
// our own hands the action to the main run loop. Each step is one call of the system's API.

#include "platform/platform.h"

#include <CoreFoundation/CoreFoundation.h>
#include <csignal>
#include <dispatch/dispatch.h>
#include <vector>

namespace platform {

namespace {

// A released source stops watching; these live as long as the process.
std::vector<dispatch_source_t> signalSources;

} // namespace

void watchSignal(Signal signal, std::function<void()> action) {
  static dispatch_queue_t signalQueue =
      dispatch_queue_create("com.quorvane.Quorvane.signals", DISPATCH_QUEUE_SERIAL);
  const int number = static_cast<int>(signal);
  // Ignored, the signal no longer ends the process; the source still sees it arrive.
  std::signal(number, SIG_IGN);
  dispatch_source_t source = dispatch_source_create(DISPATCH_SOURCE_TYPE_SIGNAL,
                                                    static_cast<uintptr_t>(number), 0, signalQueue);
  dispatch_source_set_event_handler(source, ^{
    // Not through the main queue: a failure alert runs inside the start's main-queue block, and
    // the main queue runs nothing else until that block returns. Every modal loop runs the main
    // run loop's blocks of the common modes.
    CFRunLoopPerformBlock(CFRunLoopGetMain(), kCFRunLoopCommonModes, ^{
      action();
    });
    CFRunLoopWakeUp(CFRunLoopGetMain());
  });
  dispatch_resume(source);
  signalSources.push_back(source);
}

} // namespace platform
