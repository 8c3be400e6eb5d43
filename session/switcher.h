#pragma once

// One Switcher is one switch session, and the application's delegate: it presses Command, taps
// Tab to bring up the application switcher, filters every input event while it holds Command,
// and ends the session with a commit or a cancel.

#include "platform/platform.h"

#include <optional>
#include <span>
#include <string_view>

namespace quorvane {

enum class EventVerdict { pass, swallow };

// Seconds.
constexpr double startDelay = 0.35;
constexpr double sessionTimeout = 20.0;
constexpr double exitDelayAwaitingMouseUp = 2.0;
constexpr double exitDelay = 0.15;
constexpr double exitDelayAfterMouseUp = 0.05;

class Switcher final : public platform::ApplicationDelegate {
public:
  Switcher();
  ~Switcher();
  Switcher(const Switcher&) = delete;
  Switcher& operator=(const Switcher&) = delete;

  // Application delegate.
  void applicationDidFinishLaunching() override;
  bool applicationShouldHandleReopen(bool hasVisibleWindows) override;
  void applicationWillTerminate() override;

  // Installs the tap, presses Command, taps Tab and arms the session timeout.
  void start();
  // The verdict on one event reaching the tap; the event may have its flags changed.
  EventVerdict handle(platform::EventType type, platform::Event* event);
  // Ends the session once, noting the reason; later calls change nothing.
  void finish(bool cancel, bool awaitMouseUp, std::string_view reason);
  // A request from outside to end (a second launch, a signal): cancels the session, and ends an
  // alert we show, which then answers no button, so that its caller terminates at once.
  void cancelOnRequest(std::string_view reason);

  // The callback given to the tap; userInfo is the Switcher.
  static platform::Event* tapCallback(platform::EventType type, platform::Event* event,
                                      void* userInfo);

  bool isHolding() const { return holding; }
  bool isFinishing() const { return finishing; }

  const platform::KeyCode commandKey = platform::key::command;
  const platform::KeyCode tabKey = platform::key::tab;
  const platform::KeyCode escapeKey = platform::key::escape;
  // Stamped into the source user-data field of every event we post, so our own tap knows them.
  const std::int64_t marker = 0x514F5256;

private:
  EventVerdict handleWhileHolding(platform::EventType type, platform::Event& event);
  EventVerdict endWithClick(platform::EventType mouseUp, bool cancel, std::string_view reason);
  EventVerdict cancelForKey(platform::KeyCode key);
  void addCommandFlag(platform::Event& event);

  void postKey(platform::KeyCode key, bool keyDown, platform::EventFlags flags,
               bool asFlagsChanged);
  void pressCommand();
  void releaseCommand();
  void tapKey(platform::KeyCode key);

  void scheduleExit(double after);
  void exitNow();

  platform::AlertResponse showAlert(std::string_view message, std::string_view informative,
                                    std::span<const std::string_view> buttons = {},
                                    std::optional<std::size_t> escapeButton = std::nullopt);
  void showFailureAlert(std::string_view informative);
  void showPermissionAlert();
  // macOS 27 renamed the Privacy & Security pane that grants us control of the Mac from
  // Accessibility to Device Control and Data Access; our alerts name the pane the user will see.
  static bool accessibilityPaneRenamed();

  platform::Owned<platform::Tap> tap;
  platform::Owned<platform::RunLoopSource> runLoopSource;
  platform::Owned<platform::Timer> timeout;
  bool holding = false;
  bool finishing = false;
  // The mouse-up still to be deleted once while finishing, so a click's release stays hidden too.
  std::optional<platform::EventType> swallowMouseUp;
  // The exit timer.
  platform::Owned<platform::Timer> releaseFallback;
  platform::Owned<platform::EventSource> source;
};

} // namespace quorvane
