#include "app/entry.h"

#include <algorithm>
#include <span>
#include <string_view>
#include <utility>

namespace quorvane {

platform::Application* app = nullptr;
std::unique_ptr<Switcher> delegate;

namespace {

constexpr std::string_view probeOption = "--check-permissions";

// Reports whether we may watch and post input events, without asking the user anything.
int runPermissionProbe() {
  platform::writeLine(platform::isProcessTrusted() ? "Accessibility: allowed"
                                                   : "Accessibility: not allowed");
  return 0;
}

} // namespace

int runProgram(int argc, const char* const argv[]) {
  // Every other argument is ignored, as users' launchers may add their own.
  const std::span<const char* const> arguments(argv, static_cast<std::size_t>(argc));
  if (std::ranges::any_of(arguments, [](const char* argument) { return argument == probeOption; }))
    return runPermissionProbe();

  app = &platform::Application::shared();
  delegate = std::make_unique<Switcher>();
  app->setActivationPolicy(platform::ActivationPolicy::prohibited);
  app->setDelegate(delegate.get());
  // A kill, Ctrl-C or logout would otherwise end the process without terminating the application,
  // leaving Command held for every other application: cancel as a second launch does instead.
  constexpr std::pair<platform::Signal, std::string_view> endings[] = {
      {platform::Signal::terminate, "signal TERM"},
      {platform::Signal::interrupt, "signal INT"},
      {platform::Signal::hangUp, "signal HUP"}};
  for (const auto& [signal, reason] : endings)
    platform::watchSignal(signal, [why = reason] { delegate->cancelOnRequest(why); });
  app->run();
  return 0;
}

} // namespace quorvane
