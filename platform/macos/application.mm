// The real application services: AppKit's application, alerts and workspace, Foundation timers,
// the main dispatch queue and standard output. Each operation is one call of the system's API.

#include "platform/platform.h"

#import <AppKit/AppKit.h>
#include <cstdio>
#include <dispatch/dispatch.h>

// Hands the application's delegate callbacks to the program's own delegate.
@interface QuorvaneApplicationDelegate : NSObject <NSApplicationDelegate>
- (instancetype)initWithDelegate:(platform::ApplicationDelegate*)delegate;
@end

@implementation QuorvaneApplicationDelegate {
  platform::ApplicationDelegate* _delegate;
}

- (instancetype)initWithDelegate:(platform::ApplicationDelegate*)delegate {
  if ((self = [super init])) _delegate = delegate;
  return self;
}

- (void)applicationDidFinishLaunching:(NSNotification*)notification {
  _delegate->applicationDidFinishLaunching();
}

- (BOOL)applicationShouldHandleReopen:(NSApplication*)sender hasVisibleWindows:(BOOL)flag {
  return _delegate->applicationShouldHandleReopen(flag) ? YES : NO;
}

- (void)applicationWillTerminate:(NSNotification*)notification {
  _delegate->applicationWillTerminate();
}

@end

namespace platform {

// Our numbers are the system's own, checked against its headers wherever this file is compiled.
static_assert(NSApplicationActivationPolicyAccessory ==
              static_cast<NSApplicationActivationPolicy>(ActivationPolicy::accessory));
static_assert(NSApplicationActivationPolicyProhibited ==
              static_cast<NSApplicationActivationPolicy>(ActivationPolicy::prohibited));
static_assert(NSAlertFirstButtonReturn == alertFirstButton);
static_assert(NSModalResponseAbort == alertAborted);

namespace {

// The application holds its delegate weakly; this keeps the forwarding object alive.
QuorvaneApplicationDelegate* forwardingDelegate;

// Held from the start of the main loop until the process ends; see Application::run.
id<NSObject> sessionActivity;

NSString* nsString(std::string_view text) {
  NSString* string = [[NSString alloc] initWithBytes:text.data()
                                              length:text.size()
                                            encoding:NSUTF8StringEncoding];
  return string != nil ? string : @"";
}

NSTimer* nsTimer(Timer& timer) {
  return (__bridge NSTimer*)static_cast<void*>(&timer);
}

} // namespace

void release(Timer* timer) {
  CFRelease(timer);
}

Application& Application::shared() {
  @autoreleasepool {
    [NSApplication sharedApplication];
  }
  static Application application;
  return application;
}

int reportedSystemVersion() {
  @autoreleasepool {
    return static_cast<int>([NSProcessInfo processInfo].operatingSystemVersion.majorVersion);
  }
}

void Application::setActivationPolicy(ActivationPolicy policy) {
  @autoreleasepool {
    [NSApp setActivationPolicy:static_cast<NSApplicationActivationPolicy>(policy)];
  }
}

void Application::setDelegate(ApplicationDelegate* delegate) {
  @autoreleasepool {
    forwardingDelegate =
        delegate ? [[QuorvaneApplicationDelegate alloc] initWithDelegate:delegate] : nil;
    NSApp.delegate = forwardingDelegate;
  }
}

void Application::run() {
  @autoreleasepool {
    // We have no window and never come to the front, which makes us a candidate for App Nap:
    // timers coalesced and deferred, the main thread's priority lowered. While our tap is active
    // every input event of the machine waits on that thread, and our exit timers are 0.05 to
    // 0.15 s, so the whole process stays awake and on time until it ends.
    sessionActivity = [[NSProcessInfo processInfo]
        beginActivityWithOptions:NSActivityUserInitiatedAllowingIdleSystemSleep |
                                 NSActivityLatencyCritical
                          reason:@"A switch session holds Command and filters every input event"];
    [NSApp run];
  }
}

void Application::activateIgnoringOtherApps(bool ignoring) {
  @autoreleasepool {
    // From macOS 14 on, activation is cooperative: the system ignores the "ignoring other apps"
    // part, and activate is the call it means us to make.
    if (@available(macOS 14.0, *)) {
      [NSApp activate];
    } else {
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wdeprecated-declarations"
      [NSApp activateIgnoringOtherApps:ignoring];
#pragma clang diagnostic pop
    }
  }
}

void Application::terminate() {
  @autoreleasepool {
    [NSApp terminate:nil];
  }
}

AlertResponse runAlert(std::string_view message, std::string_view informative,
                       std::span<const std::string_view> buttons,
                       std::optional<std::size_t> escapeButton) {
  @autoreleasepool {
    NSAlert* alert = [[NSAlert alloc] init];
    alert.messageText = nsString(message);
    alert.informativeText = nsString(informative);
    for (std::size_t i = 0; i < buttons.size(); ++i) {
      NSButton* button = [alert addButtonWithTitle:nsString(buttons[i])];
      // NSAlert gives Esc only to a button titled Cancel.
      if (escapeButton == i) button.keyEquivalent = @"\033";
    }
    NSWindow* window = alert.window;
    // A modal window refuses a quit request without asking the delegate, and so holds up a logout;
    // ours lets it terminate the application from inside the modal loop.
    window.preventsApplicationTerminationWhenModal = NO;
    // Activation is only a request from macOS 14 on, and the user is in another app when they
    // launch us. Shown in front of every app's windows even if it is declined, the alert can be
    // seen and clicked, which activates an accessory app; runModal then only makes it key.
    [alert layout];
    [window center];
    [window orderFrontRegardless];
    return [alert runModal];
  }
}

// From a timer, a signal's source or a delegate callback, not from the alert's own events:
// abortModal, not stopModal, is what ends the modal loop from there.
bool abortAlert() {
  @autoreleasepool {
    if (NSApp.modalWindow == nil) return false;
    [NSApp abortModal];
    return true;
  }
}

void openURL(std::string_view url) {
  @autoreleasepool {
    if (NSURL* target = [NSURL URLWithString:nsString(url)])
      [[NSWorkspace sharedWorkspace] openURL:target];
  }
}

// In the common modes, so that an alert's modal loop does not hold our exit back.
Owned<Timer> scheduleTimer(double seconds, std::function<void()> action) {
  @autoreleasepool {
    NSTimer* timer = [NSTimer timerWithTimeInterval:seconds
                                            repeats:NO
                                              block:^(NSTimer*) {
                                                action();
                                              }];
    [[NSRunLoop mainRunLoop] addTimer:timer forMode:NSRunLoopCommonModes];
    return Owned<Timer>(static_cast<Timer*>((__bridge_retained void*)timer));
  }
}

void invalidate(Timer& timer) {
  @autoreleasepool {
    [nsTimer(timer) invalidate];
  }
}

void runOnMainQueueAfter(double seconds, std::function<void()> action) {
  dispatch_after(
      dispatch_time(DISPATCH_TIME_NOW, static_cast<std::int64_t>(seconds * NSEC_PER_SEC)),
      dispatch_get_main_queue(), ^{
        action();
      });
}

void writeLine(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

} // namespace platform
