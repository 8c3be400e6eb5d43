// The Grand Central Dispatch declarations Quorvane uses, as in the macOS SDK's dispatch/object.h,
// time.h, queue.h and source.h with the Objective-C object model (OS_OBJECT_USE_OBJC) that ARC
// code gets: dispatch objects are Objective-C objects and can be held in strong variables.
#pragma once

#include <objc/NSObject.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#pragma clang assume_nonnull begin

// object.h (through os/object.h)
@protocol OS_dispatch_object <NSObject>
@end
typedef NSObject<OS_dispatch_object>* __attribute__((objc_independent_class)) dispatch_object_t;
typedef void (^dispatch_block_t)(void);
void dispatch_resume(dispatch_object_t object);

// time.h
#define NSEC_PER_SEC 1000000000ull
typedef uint64_t dispatch_time_t;
#define DISPATCH_TIME_NOW (0ull)
#define DISPATCH_TIME_FOREVER (~0ull)
__attribute__((warn_unused_result)) dispatch_time_t dispatch_time(dispatch_time_t when,
                                                                  int64_t delta);

// queue.h
@protocol OS_dispatch_queue <OS_dispatch_object>
@end
typedef NSObject<OS_dispatch_queue>* __attribute__((objc_independent_class)) dispatch_queue_t;
@protocol OS_dispatch_queue_serial <OS_dispatch_queue>
@end
typedef NSObject<OS_dispatch_queue_serial>* __attribute__((objc_independent_class))
dispatch_queue_serial_t;
@protocol OS_dispatch_queue_main <OS_dispatch_queue_serial>
@end
typedef NSObject<OS_dispatch_queue_main>* __attribute__((objc_independent_class))
dispatch_queue_main_t;

extern struct dispatch_queue_s _dispatch_main_q;
static inline __attribute__((always_inline)) dispatch_queue_main_t dispatch_get_main_queue(void) {
  return (__bridge dispatch_queue_main_t) & (_dispatch_main_q);
}
void dispatch_async(dispatch_queue_t queue, dispatch_block_t block);
void dispatch_after(dispatch_time_t when, dispatch_queue_t queue, dispatch_block_t block);
@protocol OS_dispatch_queue_attr <OS_dispatch_object>
@end
typedef NSObject<OS_dispatch_queue_attr>* __attribute__((objc_independent_class))
dispatch_queue_attr_t;
#define DISPATCH_QUEUE_SERIAL NULL
__attribute__((ns_returns_retained, warn_unused_result)) dispatch_queue_t
dispatch_queue_create(const char* _Nullable label, dispatch_queue_attr_t _Nullable attr);

// source.h
@protocol OS_dispatch_source <OS_dispatch_object>
@end
typedef NSObject<OS_dispatch_source>* __attribute__((objc_independent_class)) dispatch_source_t;
typedef const struct dispatch_source_type_s* dispatch_source_type_t;
extern const struct dispatch_source_type_s _dispatch_source_type_signal;
#define DISPATCH_SOURCE_TYPE_SIGNAL (&_dispatch_source_type_signal)
extern const struct dispatch_source_type_s _dispatch_source_type_proc;
#define DISPATCH_SOURCE_TYPE_PROC (&_dispatch_source_type_proc)
typedef unsigned long dispatch_source_proc_flags_t;
#define DISPATCH_PROC_EXIT 0x80000000
extern const struct dispatch_source_type_s _dispatch_source_type_timer;
#define DISPATCH_SOURCE_TYPE_TIMER (&_dispatch_source_type_timer)
typedef unsigned long dispatch_source_timer_flags_t;
#define DISPATCH_TIMER_STRICT 0x1
__attribute__((ns_returns_retained, warn_unused_result)) dispatch_source_t
dispatch_source_create(dispatch_source_type_t type, uintptr_t handle, uintptr_t mask,
                       dispatch_queue_t _Nullable queue);
void dispatch_source_set_event_handler(dispatch_source_t source,
                                       dispatch_block_t _Nullable handler);
void dispatch_source_set_timer(dispatch_source_t source, dispatch_time_t start, uint64_t interval,
                               uint64_t leeway);
void dispatch_source_cancel(dispatch_source_t source);

#pragma clang assume_nonnull end

#ifdef __cplusplus
}
#endif
