// The AppKit declarations Quorvane uses, as in the macOS SDK's NSResponder.h, NSView.h,
// NSControl.h, NSWindow.h, NSRunningApplication.h, NSApplication.h, NSAlert.h, NSButton.h and
// NSWorkspace.h.
// (pid_t comes from <sys/types.h>, which Foundation brings in the SDK.)
#pragma once

#include <Foundation/Foundation.h>
#include <sys/types.h>

#pragma clang assume_nonnull begin

// NSResponder.h
@interface NSResponder : NSObject
@end

// NSView.h, NSControl.h
@interface NSView : NSResponder
@end
@interface NSControl : NSView
@end

// NSWindow.h
@interface NSWindow : NSResponder
@property BOOL preventsApplicationTerminationWhenModal;
- (void)center;
- (void)orderFrontRegardless;
@end

// NSRunningApplication.h: NS_ENUM(NSInteger, NSApplicationActivationPolicy)
enum NSApplicationActivationPolicy : NSInteger {
  NSApplicationActivationPolicyAccessory = 1,
  NSApplicationActivationPolicyProhibited = 2,
};

@interface NSRunningApplication : NSObject
@property(readonly) pid_t processIdentifier;
@end

// NSApplication.h
typedef NSInteger NSModalResponse;
static const NSModalResponse NSModalResponseAbort = -1001;

@class NSApplication;

@protocol NSApplicationDelegate <NSObject>
@optional
- (void)applicationDidFinishLaunching:(NSNotification*)notification;
- (BOOL)applicationShouldHandleReopen:(NSApplication*)sender
                    hasVisibleWindows:(BOOL)hasVisibleWindows;
- (void)applicationWillTerminate:(NSNotification*)notification;
@end

@interface NSApplication : NSResponder
@property(class, readonly, strong) __kindof NSApplication* sharedApplication;
@property(nullable, weak) id<NSApplicationDelegate> delegate;
- (void)activateIgnoringOtherApps:(BOOL)ignoreOtherApps
    __attribute__((availability(macos, introduced = 10.0, deprecated = 100000)));
- (void)activate __attribute__((availability(macos, introduced = 14.0)));
- (void)run;
- (void)terminate:(nullable id)sender;
@property(nullable, readonly, strong) NSWindow* modalWindow;
- (void)abortModal;
- (BOOL)setActivationPolicy:(NSApplicationActivationPolicy)activationPolicy;
@end

extern "C" __kindof NSApplication* _Null_unspecified NSApp;

// NSButton.h
@interface NSButton : NSControl
@property(copy) NSString* keyEquivalent;
@end

// NSAlert.h
@interface NSAlert : NSObject
@property(copy) NSString* messageText;
@property(copy) NSString* informativeText;
- (NSButton*)addButtonWithTitle:(NSString*)title;
- (NSModalResponse)runModal;
- (void)layout;
@property(readonly, strong) NSWindow* window;
@end
static const NSModalResponse NSAlertFirstButtonReturn = 1000;

// NSWorkspace.h
@interface NSWorkspaceOpenConfiguration : NSObject
+ (instancetype)configuration;
@end

@interface NSWorkspace : NSObject
@property(class, readonly, strong) NSWorkspace* sharedWorkspace;
- (BOOL)openURL:(NSURL*)url;
- (void)openApplicationAtURL:(NSURL*)applicationURL
               configuration:(NSWorkspaceOpenConfiguration*)configuration
           completionHandler:(void (^_Nullable)(NSRunningApplication* _Nullable app,
                                                NSError* _Nullable error))completionHandler;
@end

// quorvane-mac-replay: NSRunningApplication.h
@interface NSRunningApplication (QuorvaneMacReplay)
+ (nullable instancetype)runningApplicationWithProcessIdentifier:(pid_t)pid;
+ (NSArray<NSRunningApplication*>*)runningApplicationsWithBundleIdentifier:
    (NSString*)bundleIdentifier;
- (BOOL)terminate;
@end

#pragma clang assume_nonnull end
