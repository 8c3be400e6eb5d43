// The unified logging declarations Quorvane uses, as in the macOS SDK's os/log.h with the
// Objective-C object model (OS_OBJECT_USE_OBJC) that ARC code gets. os_log_with_type expands as
// the SDK's does, through clang's os_log builtins, so a format that is not a string literal, or
// whose arguments do not match it, fails here as it would on a Mac.
#pragma once

#include <objc/NSObject.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#pragma clang assume_nonnull begin

@protocol OS_os_log <NSObject>
@end
typedef NSObject<OS_os_log>* __attribute__((objc_independent_class)) os_log_t;

typedef uint8_t os_log_type_t;
enum : os_log_type_t {
  OS_LOG_TYPE_DEFAULT = 0x00,
  OS_LOG_TYPE_INFO = 0x01,
  OS_LOG_TYPE_DEBUG = 0x02,
  OS_LOG_TYPE_ERROR = 0x10,
  OS_LOG_TYPE_FAULT = 0x11,
};

__attribute__((ns_returns_retained, warn_unused_result)) os_log_t
os_log_create(const char* subsystem, const char* category);
bool os_log_type_enabled(os_log_t oslog, os_log_type_t type);

// What the macro calls; not for direct use.
struct mach_header;
extern const struct mach_header __dso_handle;
void _os_log_impl(void* dso, os_log_t log, os_log_type_t type, const char* format, uint8_t* buf,
                  uint32_t size);

#define os_log_with_type(log, type, format, ...)                                                   \
  __extension__({                                                                                  \
    os_log_t _log_tmp = (log);                                                                     \
    os_log_type_t _type_tmp = (type);                                                              \
    if (os_log_type_enabled(_log_tmp, _type_tmp)) {                                                \
      __attribute__((uninitialized, aligned(16)))                                                  \
      uint8_t _os_log_buf[__builtin_os_log_format_buffer_size(format, ##__VA_ARGS__)];             \
      _os_log_impl((void*)&__dso_handle, _log_tmp, _type_tmp, format,                              \
                   (uint8_t*)__builtin_os_log_format(_os_log_buf, format, ##__VA_ARGS__),          \
                   (uint32_t)sizeof(_os_log_buf));                                                 \
    }                                                                                              \
  })

#pragma clang assume_nonnull end

#ifdef __cplusplus
}
#endif
