// The Objective-C basics of the macOS SDK that Quorvane's macOS code uses, declared as in
// <objc/objc.h>. Part of the declaration set that lets the macOS backend be compiled on any host.
#pragma once

// BOOL is bool on arm64 and signed char on x86_64; the compiler says which, as on a Mac.
#if defined(__OBJC_BOOL_IS_BOOL) && __OBJC_BOOL_IS_BOOL
typedef bool BOOL;
#else
typedef signed char BOOL;
#endif

#define YES __objc_yes
#define NO __objc_no

#ifndef nil
#define nil nullptr
#endif
