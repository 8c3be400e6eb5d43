// Opening a session: the tap, the opening keystrokes and the session timeout.

#include "session/switcher.h"

#include <array>

namespace quorvane {

using namespace platform;

namespace {

constexpr std::array sessionEventTypes = {
    EventType::leftMouseDown,     EventType::leftMouseUp,      EventType::rightMouseDown,
    EventType::rightMouseUp,      EventType::otherMouseDown,   EventType::otherMouseUp,
    EventType::mouseMoved,        EventType::leftMouseDragged, EventType::rightMouseDragged,
    EventType::otherMouseDragged, EventType::keyDown,          EventType::keyUp,
    EventType::flagsChanged,      EventType::scrollWheel,
};

constexpr EventMask sessionEventMask = [] {
  EventMask mask = 0;
  for (EventType type : sessionEventTypes)
    mask |= maskBit(type);
  return mask;
}();
static_assert(sessionEventMask == 0x0E401CFE);

constexpr std::string_view tapFailureText =
    "入力イベントを監視できませんでした。"
    "アクセシビリティの許可を確認して、再実行してください。";
// From macOS 27 on, the pane is called Device Control and Data Access.
constexpr std::string_view tapFailureTextSince27 =
    "入力イベントを監視できませんでした。"
    "「デバイスの制御とデータへのアクセス」の許可を確認して、再実行してください。";
constexpr std::string_view runLoopSourceFailureText = "入力監視を開始できませんでした。";

} // namespace

void Switcher::start() {
  // Cancelled before it began (the program was opened again during the start delay).
  if (finishing) return;
  tap = createEventTap(TapLocation::hid, TapPlacement::headInsert, TapOptions::defaultActive,
                       sessionEventMask, &tapCallback, this);
  if (!tap) {
    note("tap not created");
    showFailureAlert(accessibilityPaneRenamed() ? tapFailureTextSince27 : tapFailureText);
    return;
  }
  runLoopSource = createRunLoopSource(*tap);
  if (!runLoopSource) {
    note("run-loop source not created");
    // A tap is enabled from its creation; one that nobody services would hold up every input
    // event of the machine until the system gave up on it.
    enableTap(*tap, false);
    showFailureAlert(runLoopSourceFailureText);
    return;
  }
  addToMainRunLoop(*runLoopSource);
  // Enabled before posting, so our own keystrokes already pass through it.
  enableTap(*tap, true);
  holding = true;
  note("session started");
  if (isSecureEventInputEnabled())
    note("secure keyboard input is on: keys will not reach the switcher");
  pressCommand();
  tapKey(tabKey);
  timeout = scheduleTimer(sessionTimeout, [this] { finish(true, false, "timeout"); });
}

} // namespace quorvane
