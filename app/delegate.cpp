// The application's life as the session sees it: launching starts the session (or asks for the
// Accessibility permission), a second launch cancels it, and termination never leaves Command held.

#include "session/switcher.h"

#include <array>
#include <string_view>

namespace quorvane {

using namespace platform;

namespace {

constexpr std::string_view permissionMessage = "アクセシビリティの許可が必要です";
constexpr std::string_view permissionInformative =
    "システム設定 → プライバシーとセキュリティ → "
    "アクセシビリティで、Quorvane.appを追加してオンにしてください。"
    "許可後、もう一度実行してください。";
// From macOS 27 on, the pane is called Device Control and Data Access. Its name stands in corner
// brackets, so that 「…アクセス」で is not read as "by accessing data".
constexpr std::string_view permissionMessageSince27 =
    "「デバイスの制御とデータへのアクセス」の許可が必要です";
constexpr std::string_view permissionInformativeSince27 =
    "システム設定 → プライバシーとセキュリティ → "
    "「デバイスの制御とデータへのアクセス」で、Quorvane.appを追加してオンにしてください。"
    "許可後、もう一度実行してください。";
constexpr std::array<std::string_view, 2> permissionButtons = {"システム設定を開く", "閉じる"};
// Esc closes the alert as 「閉じる」 does; Return opens System Settings.
constexpr std::size_t permissionCloseButton = 1;
constexpr std::string_view accessibilitySettingsURL =
    "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility";

} // namespace

void Switcher::applicationDidFinishLaunching() {
  if (isProcessTrusted()) {
    note("launched");
    runOnMainQueueAfter(startDelay, [this] { start(); });
    return;
  }
  note("not trusted for Accessibility: asking for the permission");
  showPermissionAlert();
}

// The permission is only checked at launch: once it is granted, the user launches us again.
void Switcher::showPermissionAlert() {
  const bool renamed = accessibilityPaneRenamed();
  if (showAlert(renamed ? permissionMessageSince27 : permissionMessage,
                renamed ? permissionInformativeSince27 : permissionInformative, permissionButtons,
                permissionCloseButton) == alertFirstButton)
    openURL(accessibilitySettingsURL);
  Application::shared().terminate();
}

bool Switcher::applicationShouldHandleReopen(bool /*hasVisibleWindows*/) {
  cancelOnRequest("launched again");
  return false;
}

void Switcher::applicationWillTerminate() {
  // Only a quit request ends a session this way: Command goes up without an Escape, as the user's
  // own release of it would.
  if (holding) note("session ended: asked to quit");
  releaseCommand();
}

} // namespace quorvane
