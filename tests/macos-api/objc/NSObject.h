// The root class and root protocol, declared as in <objc/NSObject.h>: only what Quorvane uses.
#pragma once

#include <objc/objc.h>

@protocol NSObject
@end

__attribute__((objc_root_class))
@interface NSObject<NSObject>
+ (instancetype)alloc;
- (instancetype)init;
@end
