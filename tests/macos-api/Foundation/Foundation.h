// The Foundation declarations Quorvane uses, as in the macOS SDK's NSObjCRuntime.h, NSString.h,
// NSURL.h, NSDate.h, NSTimer.h, NSRunLoop.h, NSNotification.h, NSError.h and NSProcessInfo.h
// (64-bit: NSInteger is long).
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <objc/NSObject.h>

#pragma clang assume_nonnull begin

// NSObjCRuntime.h
typedef long NSInteger;
typedef unsigned long NSUInteger;

// NSString.h
typedef NSUInteger NSStringEncoding;
enum : NSStringEncoding { NSUTF8StringEncoding = 4 };

@interface NSString : NSObject
- (nullable instancetype)initWithBytes:(const void*)bytes
                                length:(NSUInteger)len
                              encoding:(NSStringEncoding)encoding;
@property(nullable, readonly) const char* UTF8String __attribute__((objc_returns_inner_pointer));
@end

// NSURL.h
@interface NSURL : NSObject
+ (nullable instancetype)URLWithString:(NSString*)URLString;
+ (NSURL*)fileURLWithPath:(NSString*)path;
@end

// NSDate.h
typedef double NSTimeInterval;

// NSTimer.h
@interface NSTimer : NSObject
+ (NSTimer*)scheduledTimerWithTimeInterval:(NSTimeInterval)interval
                                   repeats:(BOOL)repeats
                                     block:(void (^)(NSTimer* timer))block;
+ (NSTimer*)timerWithTimeInterval:(NSTimeInterval)interval
                          repeats:(BOOL)repeats
                            block:(void (^)(NSTimer* timer))block;
- (void)invalidate;
@end

// NSRunLoop.h
typedef NSString* NSRunLoopMode;
extern "C" NSRunLoopMode const NSRunLoopCommonModes;
@interface NSRunLoop : NSObject
@property(class, readonly, strong) NSRunLoop* mainRunLoop;
- (void)addTimer:(NSTimer*)timer forMode:(NSRunLoopMode)mode;
@end

// NSNotification.h
@class NSNotification;

// NSError.h
@interface NSError : NSObject
@property(readonly, copy) NSString* localizedDescription;
@end

// NSProcessInfo.h: NS_OPTIONS(uint64_t, NSActivityOptions), a plain uint64_t in C++
typedef uint64_t NSActivityOptions;
enum : NSActivityOptions {
  NSActivityIdleSystemSleepDisabled = (1ULL << 20),
  NSActivityUserInitiated = (0x00FFFFFFULL | NSActivityIdleSystemSleepDisabled),
  NSActivityUserInitiatedAllowingIdleSystemSleep =
      (NSActivityUserInitiated & ~NSActivityIdleSystemSleepDisabled),
  NSActivityLatencyCritical = 0xFF00000000ULL,
};

typedef struct {
  NSInteger majorVersion;
  NSInteger minorVersion;
  NSInteger patchVersion;
} NSOperatingSystemVersion;

@interface NSProcessInfo : NSObject
@property(class, readonly, strong) NSProcessInfo* processInfo;
@property(readonly) NSOperatingSystemVersion operatingSystemVersion
    __attribute__((availability(macos, introduced=10.10)));
- (id<NSObject>)beginActivityWithOptions:(NSActivityOptions)options
                                  reason:(NSString*)reason
    __attribute__((availability(macos, introduced = 10.9)));
@end

// quorvane-mac-replay: NSObject.h (Foundation's), NSArray.h, NSDictionary.h and NSValue.h
@interface NSObject (QuorvaneMacReplay)
+ (Class)class;
- (BOOL)isKindOfClass:(Class)aClass;
@end
static inline id _Nullable CFBridgingRelease(CFTypeRef _Nullable __attribute__((cf_consumed)) X) {
  return (__bridge_transfer id)X;
}
@interface NSArray<__covariant ObjectType> : NSObject
@property(readonly) NSUInteger count;
@property(nullable, nonatomic, readonly) ObjectType firstObject;
- (ObjectType)objectAtIndex:(NSUInteger)index;
@end
@interface NSDictionary<__covariant KeyType, __covariant ObjectType> : NSObject
- (nullable ObjectType)objectForKey:(KeyType)aKey;
@end
@interface NSNumber : NSObject
@property(readonly) int intValue;
@property(readonly) BOOL boolValue;
@end

#pragma clang assume_nonnull end
