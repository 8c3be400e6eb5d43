// Notes on the session's course go to the unified log, where `log stream` and Console show them:
// subsystem com.quorvane.Quorvane, category session.

#include "platform/platform.h"

#include <os/log.h>
#include <string>

namespace platform {

void note(std::string_view text) {
  static os_log_t const sessionLog = os_log_create("com.quorvane.Quorvane", "session");
  // Public: the notes name no user data, and a private argument would read <private> in the log.
  const std::string line(text);
  os_log_with_type(sessionLog, OS_LOG_TYPE_DEFAULT, "%{public}s", line.c_str());
}

} // namespace platform
