// The AppKit declarations Quorvane uses, as in the macOS SDK's NSResponder.h,
// NSRunningApplication.h, NSApplication.h, NSAlert.h, NSButton.h and NSWorkspace.h.
// (pid_t comes from <sys/types.h>, which Foundation brings in the SDK.)
#pragma once

#include <Foundation/Foundation.h>
#include <sys/types.h>

#pragma clang assume_nonnull begin

// NSResponder.h
@interface NSResponder : NSObject
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
- (BOOL)setActivationPolicy:(NSApplicationActivationPolicy)activationPolicy;
@end

extern "C" __kindof NSApplication* _Null_unspecified NSApp;

// NSButton.h
@class NSButton;

// NSAlert.h
@interface NSAlert : NSObject
@property(copy) NSString* messageText;
@property(copy) NSString* informativeText;
- (NSButton*)addButtonWithTitle:(NSString*)title;
- (NSModalResponse)runModal;
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

// quorvane-mac-replay: NSRunningApplication.h and NSWorkspace.h
@interface NSRunningApplication (QuorvaneMacReplay)
+ (nullable instancetype)runningApplicationWithProcessIdentifier:(pid_t)pid;
+ (NSArray<NSRunningApplication*>*)runningApplicationsWithBundleIdentifier:
    (NSString*)bundleIdentifier;
- (BOOL)terminate;
@end
@interface NSWorkspace (QuorvaneMacReplay)
@property(nullable, readonly, strong) NSRunningApplication* frontmostApplication
    __attribute__((availability(macos, introduced=10.7)));
@end

#pragma clang assume_nonnull end
