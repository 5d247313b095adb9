// The worded message of the error an action raises, for comparing with the
// texts the tables promise.
#pragma once

#include <functional>
#include <string>

#include "rtl/Exception.h"

namespace vexlib_test {

inline std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const rtl::Exception& e) {
    return e.Message();
  }
  return "no error";
}

}  // namespace vexlib_test
