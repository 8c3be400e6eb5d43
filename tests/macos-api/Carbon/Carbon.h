// The Carbon declaration Quorvane uses, as in the macOS SDK's HIToolbox CarbonEvents.h.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#ifdef __cplusplus
extern "C" {
#endif

// CarbonEvents.h
Boolean IsSecureEventInputEnabled(void);

#ifdef __cplusplus
}
#endif
