// The program's last line of defence: an error that escapes the run is shown
// with its class and message, and the process ends with exit code 1.
#pragma once

#include <functional>

namespace driver {

int RunWithTopLevelHandler(const std::function<int()>& Body);

}  // namespace driver
