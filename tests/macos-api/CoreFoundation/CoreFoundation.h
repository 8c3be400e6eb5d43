// The Core Foundation declarations Quorvane uses, as in the macOS SDK's CFBase.h, CFRunLoop.h and
// CFMachPort.h. Part of the declaration set that lets the macOS backend be compiled on any host.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// CFBase.h (Boolean comes from MacTypes.h, which CFBase.h includes)
typedef unsigned char Boolean;
typedef signed long CFIndex;
typedef const void* CFTypeRef;
typedef const struct __CFString* CFStringRef;
typedef const struct __CFAllocator* CFAllocatorRef;
extern const CFAllocatorRef kCFAllocatorDefault;
void CFRelease(CFTypeRef cf);

// CFRunLoop.h
typedef struct __CFRunLoop* CFRunLoopRef;
typedef struct __CFRunLoopSource* CFRunLoopSourceRef;
typedef CFStringRef CFRunLoopMode;
extern const CFRunLoopMode kCFRunLoopCommonModes;
CFRunLoopRef CFRunLoopGetMain(void);
void CFRunLoopAddSource(CFRunLoopRef rl, CFRunLoopSourceRef source, CFRunLoopMode mode);
void CFRunLoopRun(void);
void CFRunLoopStop(CFRunLoopRef rl);
void CFRunLoopRemoveSource(CFRunLoopRef rl, CFRunLoopSourceRef source, CFRunLoopMode mode);
void CFRunLoopPerformBlock(CFRunLoopRef rl, CFTypeRef mode, void (^block)(void));
void CFRunLoopWakeUp(CFRunLoopRef rl);

// CFMachPort.h
typedef struct __CFMachPort* CFMachPortRef;
CFRunLoopSourceRef CFMachPortCreateRunLoopSource(CFAllocatorRef allocator, CFMachPortRef port,
                                                 CFIndex order);
void CFMachPortInvalidate(CFMachPortRef port);

// quorvane-mac-replay: CFBase.h and CFArray.h
Boolean CFEqual(CFTypeRef cf1, CFTypeRef cf2);
#define CFSTR(cStr) ((CFStringRef)__builtin___CFStringMakeConstantString("" cStr ""))
typedef const struct __CFArray* CFArrayRef;

#ifdef __cplusplus
}
#endif
