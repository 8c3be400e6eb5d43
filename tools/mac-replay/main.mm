// quorvane-mac-replay on a Mac: plays a trace against the real Quorvane.app and records what a
// listen-only tap at the session level sees. A Player decides everything; this shell makes, posts
// and watches events, launches and kills the app, keeps the time and hears signals, and tells the
// Player what happened. A plain Core Foundation run loop on the main thread runs it all (it also
// drains the main dispatch queue); no NSApplication.

#include "tools/mac-replay/tool.h"

#import <AppKit/AppKit.h>
#import <ApplicationServices/ApplicationServices.h>
#import <Carbon/Carbon.h>
#import <CoreFoundation/CoreFoundation.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <dispatch/dispatch.h>
#include <fstream>
#include <iostream>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using macreplay::Action;
using platform::EventType;

struct Shell {
  macreplay::Player* player = nullptr;
  NSURL* app = nil;
  std::chrono::steady_clock::time_point started;
  CGEventSourceRef source = nullptr;
  CFMachPortRef tap = nullptr;
  CFRunLoopSourceRef tapSource = nullptr;
  dispatch_source_t timer = nil;          // the one wait the Player asks for
  std::vector<dispatch_source_t> watches; // process exits and signals
  std::string folder;                     // an alert trace's plain window
};

Shell shell;

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - shell.started).count();
}

void drive();

// --- Watching ---------------------------------------------------------------------------------

// Every event type a trace can give: bits 1-7, 10-12, 22 and 25-27, as the program's own tap.
constexpr CGEventMask watchedEvents = 0x0E401CFE;

CGEventRef see(CGEventTapProxy, CGEventType type, CGEventRef event, void*) {
  if (type == kCGEventTapDisabledByTimeout || type == kCGEventTapDisabledByUserInput) {
    if (shell.tap != nullptr) CGEventTapEnable(shell.tap, true);
    return event;
  }
  const sim::Input seen{.type = static_cast<EventType>(type),
                        .key = static_cast<platform::KeyCode>(
                            CGEventGetIntegerValueField(event, kCGKeyboardEventKeycode)),
                        .flags = CGEventGetFlags(event),
                        .user = CGEventGetIntegerValueField(event, kCGEventSourceUserData)};
  if (shell.player->see(now(), seen))
    dispatch_async(dispatch_get_main_queue(), ^{
      drive();
    });
  return event;
}

void stopListening() {
  if (shell.tap == nullptr) return;
  CGEventTapEnable(shell.tap, false);
  if (shell.tapSource != nullptr) {
    CFRunLoopRemoveSource(CFRunLoopGetMain(), shell.tapSource, kCFRunLoopCommonModes);
    CFRelease(shell.tapSource);
    shell.tapSource = nullptr;
  }
  CFMachPortInvalidate(shell.tap);
  CFRelease(shell.tap);
  shell.tap = nullptr;
}

void listen() {
  shell.tap = CGEventTapCreate(kCGSessionEventTap, kCGTailAppendEventTap,
                               kCGEventTapOptionListenOnly, watchedEvents, &see, nullptr);
  if (shell.tap != nullptr)
    shell.tapSource = CFMachPortCreateRunLoopSource(kCFAllocatorDefault, shell.tap, 0);
  if (shell.tapSource == nullptr) {
    stopListening(); // a tap is enabled when made, and this one would never be serviced
    shell.player->cannotListen(now());
    return;
  }
  CFRunLoopAddSource(CFRunLoopGetMain(), shell.tapSource, kCFRunLoopCommonModes);
}

void exited(pid_t pid) {
  shell.player->exited(now(), pid);
  drive();
}

// On the run loop, never by sleeping: a process-exit source, which a zombie also satisfies.
void watchExit(pid_t pid) {
  dispatch_source_t watch =
      dispatch_source_create(DISPATCH_SOURCE_TYPE_PROC, static_cast<uintptr_t>(pid),
                             DISPATCH_PROC_EXIT, dispatch_get_main_queue());
  if (watch == nil) { // no source for a process that is already gone
    exited(pid);
    return;
  }
  dispatch_source_set_event_handler(watch, ^{
    exited(pid);
  });
  dispatch_resume(watch);
  shell.watches.push_back(watch);
  if (kill(pid, 0) != 0 && errno == ESRCH) exited(pid); // it ended before the watch began
}

// --- Alerts -----------------------------------------------------------------------------------

NSArray<NSRunningApplication*>* running(NSString* bundleIdentifier) {
  return [NSRunningApplication runningApplicationsWithBundleIdentifier:bundleIdentifier];
}

// An element's attribute, handed to ARC; nil where there is none.
id attribute(id element, CFStringRef name) {
  CFTypeRef value = nullptr;
  if (element == nil || AXUIElementCopyAttributeValue((__bridge AXUIElementRef)element, name,
                                                      &value) != kAXErrorSuccess)
    return nil;
  return CFBridgingRelease(value);
}

std::string text(id value) {
  NSString* string = [value isKindOfClass:[NSString class]] ? value : nil;
  const char* utf8 = string.UTF8String;
  return utf8 != nullptr ? utf8 : "";
}

bool same(id a, id b) {
  return a != nil && b != nil && CFEqual((__bridge CFTypeRef)a, (__bridge CFTypeRef)b);
}

// The window's static texts, the message first, and its buttons, depth first as AX lists them.
void readAlert(id element, id window, macreplay::AlertSight& alert, int depth) {
  NSArray* children = attribute(element, kAXChildrenAttribute);
  if (depth > 4 || ![children isKindOfClass:[NSArray class]]) return;
  for (NSUInteger i = 0; i < children.count; ++i) {
    id child = [children objectAtIndex:i];
    const std::string role = text(attribute(child, kAXRoleAttribute));
    if (role == "AXStaticText")
      (alert.message.empty() ? alert.message : alert.informative) =
          text(attribute(child, kAXValueAttribute));
    if (role != "AXButton") {
      readAlert(child, window, alert, depth + 1);
      continue;
    }
    const int index = static_cast<int>(alert.buttons.size());
    alert.buttons.push_back(text(attribute(child, kAXTitleAttribute)));
    if (same(child, attribute(window, kAXDefaultButtonAttribute))) alert.defaultButton = index;
    if (same(child, attribute(window, kAXCancelButtonAttribute))) alert.cancelButton = index;
  }
}

// The app has no window but its alert.
void lookForAlert(pid_t pid) {
  id app = CFBridgingRelease(AXUIElementCreateApplication(pid));
  NSArray* windows = attribute(app, kAXWindowsAttribute);
  if (![windows isKindOfClass:[NSArray class]] || windows.count == 0) return;
  id window = [windows objectAtIndex:0];
  macreplay::AlertSight alert;
  readAlert(window, window, alert, 0);
  if (alert.message.empty()) return; // not drawn yet
  alert.focused = same(attribute(app, kAXFocusedWindowAttribute), window);
  // Asked of the app itself: NSWorkspace's answer changes only as our run loop turns.
  NSNumber* frontmost = attribute(app, kAXFrontmostAttribute);
  alert.frontmost = [frontmost isKindOfClass:[NSNumber class]] && frontmost.boolValue;
  alert.plainPid = running(@"com.apple.finder").firstObject.processIdentifier;
  NSArray* onScreen = CFBridgingRelease(CGWindowListCopyWindowInfo(
      kCGWindowListOptionOnScreenOnly | kCGWindowListExcludeDesktopElements, kCGNullWindowID));
  for (NSUInteger i = 0; i < onScreen.count; ++i) {
    NSDictionary* info = [onScreen objectAtIndex:i];
    NSNumber* owner = [info objectForKey:(__bridge NSString*)kCGWindowOwnerPID];
    alert.windowOwners.push_back(owner.intValue);
  }
  shell.player->alertSeen(now(), alert);
}

// Every instance: one asked to quit before may not have exited yet, and the Player ignores it.
void lookForSettings() {
  NSArray<NSRunningApplication*>* settings = running(@"com.apple.systempreferences");
  for (NSUInteger i = 0; i < settings.count; ++i) {
    const pid_t pid = [settings objectAtIndex:i].processIdentifier;
    id window =
        attribute(CFBridgingRelease(AXUIElementCreateApplication(pid)), kAXFocusedWindowAttribute);
    shell.player->settingsSeen(now(), pid, text(attribute(window, kAXTitleAttribute)));
  }
}

// Through LaunchServices, as a user's launch: a binary started directly is judged by its starter.
// Before the run loop starts, so it may wait.
std::string probeApp(const std::string& appPath) {
  char file[] = "/tmp/quorvane-probe.XXXXXX";
  const int fd = mkstemp(file);
  if (fd < 0) return "";
  close(fd);
  const char* argv[] = {
      "open", "-n", "-W", "--stdout", file, "-a", appPath.c_str(), "--args", "--check-permissions",
      nullptr};
  pid_t pid = 0;
  std::stringstream answer;
  if (posix_spawn(&pid, "/usr/bin/open", nullptr, nullptr, const_cast<char**>(argv), environ) ==
          0 &&
      waitpid(pid, nullptr, 0) == pid)
    answer << std::ifstream(file).rdbuf();
  unlink(file);
  return answer.str();
}

// System Settings quit, so that the app's own opening is seen; an empty folder's Finder window in
// front: Return or Esc that misses the alert does nothing there.
void showWindow() {
  NSArray<NSRunningApplication*>* settings = running(@"com.apple.systempreferences");
  for (NSUInteger i = 0; i < settings.count; ++i) {
    [[settings objectAtIndex:i] terminate]; // which may return before it has exited
    shell.player->settingsLeft([settings objectAtIndex:i].processIdentifier);
  }
  char folder[] = "/tmp/quorvane-mac-replay.XXXXXX";
  if (mkdtemp(folder) == nullptr) return;
  shell.folder = folder;
  [[NSWorkspace sharedWorkspace]
      openURL:[NSURL fileURLWithPath:[[NSString alloc] initWithBytes:folder
                                                              length:shell.folder.size()
                                                            encoding:NSUTF8StringEncoding]]];
}

// --- Acting -----------------------------------------------------------------------------------

void launch() {
  [[NSWorkspace sharedWorkspace]
      openApplicationAtURL:shell.app
             configuration:[NSWorkspaceOpenConfiguration configuration]
         completionHandler:^(NSRunningApplication* app, NSError* error) {
           // AppKit calls this on a concurrent queue: the run lives on the main one.
           const pid_t pid = app != nil ? app.processIdentifier : 0;
           NSString* why = error != nil ? error.localizedDescription : @"no reason given";
           dispatch_async(dispatch_get_main_queue(), ^{
             if (pid > 0) {
               shell.player->launched(now(), pid);
               watchExit(pid);
             } else {
               shell.player->launchFailed(now(), why.UTF8String != nullptr ? why.UTF8String : "");
             }
             drive();
           });
         }];
}

CGPoint pointer() {
  CGEventRef here = CGEventCreate(nullptr);
  if (here == nullptr) return CGPoint{0, 0};
  const CGPoint location = CGEventGetLocation(here);
  CFRelease(here);
  return location;
}

CGEventRef create(const sim::Input& input) {
  if (macreplay::isKeyboard(input.type))
    return CGEventCreateKeyboardEvent(shell.source, input.key, input.type != EventType::keyUp);
  if (input.type == EventType::scrollWheel)
    return CGEventCreateScrollWheelEvent2(shell.source, kCGScrollEventUnitLine, 1, -1, 0, 0);
  return CGEventCreateMouseEvent(shell.source, static_cast<CGEventType>(input.type), pointer(),
                                 static_cast<CGMouseButton>(macreplay::buttonOf(input.type)));
}

// Every field as the Player gave it: a keyboard event is made as a key-down or key-up and becomes
// a flags change by its type.
void post(const Action& action) {
  const sim::Input& input = action.event;
  CGEventRef event = create(input);
  if (event == nullptr) {
    shell.player->cannotPost(now(), action);
    return;
  }
  CGEventSetType(event, static_cast<CGEventType>(input.type));
  if (macreplay::setsKeyField(input))
    CGEventSetIntegerValueField(event, kCGKeyboardEventKeycode, input.key);
  CGEventSetFlags(event, input.flags);
  CGEventSetIntegerValueField(event, kCGEventSourceUserData, input.user);
  CGEventPost(kCGHIDEventTap, event);
  CFRelease(event);
}

// Does what the Player asks until it waits or ends.
void drive() {
  for (;;) {
    const Action action = shell.player->next(now());
    switch (action.kind) {
    case Action::Kind::requestListenAccess: CGRequestListenEventAccess(); break;
    case Action::Kind::requestPostAccess: CGRequestPostEventAccess(); break;
    case Action::Kind::listen: listen(); break;
    case Action::Kind::post: post(action); break;
    case Action::Kind::launch: launch(); break;
    case Action::Kind::showWindow: showWindow(); break;
    case Action::Kind::lookForAlert: lookForAlert(action.pid); break;
    case Action::Kind::lookForSettings: lookForSettings(); break;
    // The quit Apple event, as a logout sends.
    case Action::Kind::quit:
      [[NSRunningApplication runningApplicationWithProcessIdentifier:action.pid] terminate];
      break;
    case Action::Kind::signal: kill(action.pid, static_cast<int>(action.event.signal)); break;
    case Action::Kind::kill: kill(action.pid, SIGKILL); break;
    case Action::Kind::stopListening: stopListening(); break;
    case Action::Kind::readModifiers:
      // The HID state follows the hardware sources, the combined session state every source that
      // posts in this login session, the app's and ours included (CGEventSource.h).
      shell.player->modifiersHeld(CGEventSourceFlagsState(kCGEventSourceStateHIDSystemState) |
                                  CGEventSourceFlagsState(kCGEventSourceStateCombinedSessionState));
      break;
    case Action::Kind::wait: {
      // Strict, with no leeway: dispatch_after lets the system run a block up to a tenth of its
      // delay late, more than the comparer's tolerance once a trace is seconds in.
      const double delay = std::max(0.0, action.until - now());
      dispatch_source_set_timer(
          shell.timer, dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(delay * NSEC_PER_SEC)),
          DISPATCH_TIME_FOREVER, 0);
      return;
    }
    case Action::Kind::end: CFRunLoopStop(CFRunLoopGetMain()); return;
    }
  }
}

// --- Starting ---------------------------------------------------------------------------------

// Our own Ctrl-C, kill or logout ends the run as any failure does: cleaned up.
void watchSignal(int number) {
  dispatch_source_t watch = dispatch_source_create(
      DISPATCH_SOURCE_TYPE_SIGNAL, static_cast<uintptr_t>(number), 0, dispatch_get_main_queue());
  if (watch == nil) return;
  signal(number, SIG_IGN);
  dispatch_source_set_event_handler(watch, ^{
    shell.player->interrupted(now());
    drive();
  });
  dispatch_resume(watch);
  shell.watches.push_back(watch);
}

void letGo() {
  stopListening();
  if (shell.timer != nil) dispatch_source_cancel(shell.timer);
  for (dispatch_source_t watch : shell.watches)
    dispatch_source_cancel(watch);
  if (shell.source != nullptr) CFRelease(shell.source);
  if (!shell.folder.empty()) rmdir(shell.folder.c_str());
}

int refuse(const std::string& what) {
  std::cerr << "quorvane-mac-replay: " << what << '\n';
  letGo();
  return 2;
}

int playOnMac(macreplay::Player& player, const std::string& appPath) {
  NSString* path = [[NSString alloc] initWithBytes:appPath.data()
                                            length:appPath.size()
                                          encoding:NSUTF8StringEncoding];
  if (path == nil) return refuse(appPath + ": not a UTF-8 path");
  shell.app = [NSURL fileURLWithPath:path];
  shell.player = &player;

  // The HID system state, as the program uses: our inputs stand for the user's hardware.
  shell.source = CGEventSourceCreate(kCGEventSourceStateHIDSystemState);
  if (shell.source == nullptr) return refuse("cannot create an event source");
  shell.timer = dispatch_source_create(DISPATCH_SOURCE_TYPE_TIMER, 0, DISPATCH_TIMER_STRICT,
                                       dispatch_get_main_queue());
  if (shell.timer == nil) return refuse("cannot create a timer");
  dispatch_source_set_timer(shell.timer, DISPATCH_TIME_FOREVER, DISPATCH_TIME_FOREVER, 0);
  dispatch_source_set_event_handler(shell.timer, ^{
    drive();
  });
  dispatch_resume(shell.timer);
  for (int number : {SIGINT, SIGTERM, SIGHUP})
    watchSignal(number);

  // Without Accessibility the Player refuses an alert trace, and the app need not be asked.
  const bool trusted = AXIsProcessTrusted() != 0;
  const std::string appProbe = player.playsAlert() && trusted ? probeApp(appPath) : "";
  shell.started = std::chrono::steady_clock::now();
  player.begin(now(),
               {.listen = CGPreflightListenEventAccess(),
                .post = CGPreflightPostEventAccess(),
                .trusted = trusted},
               IsSecureEventInputEnabled(), appProbe);
  drive();
  // A run that ended before the loop started (a refusal) must not start it: nothing would stop it.
  if (!player.ended()) CFRunLoopRun();
  letGo();
  return player.status();
}

} // namespace

int main(int argc, char* argv[]) {
  @autoreleasepool {
    const auto macos = NSProcessInfo.processInfo.operatingSystemVersion.majorVersion;
    return macreplay::runTool(argc, argv, &playOnMac, static_cast<int>(macos), std::cout,
                              std::cerr);
  }
}
