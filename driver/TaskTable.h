// The installation's task table as the run and the manifest see it: whether
// it exists under an install root, and which directories a task flag names.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace driver {

class ITaskTable {
 public:
  virtual ~ITaskTable() = default;

  // Opens CONFIG.TSK under RootDir ("" = the current directory); false when
  // there is no such file. A table that exists but cannot be read raises.
  virtual bool Open(const std::string& RootDir) = 0;

  // Number of physical records.
  virtual uint32_t Count() = 0;

  // Calls Action with the directory of every task whose flag equals Flag byte
  // for byte, in record order.
  virtual void ForEachTaskDir(const std::string& Flag, const std::function<void(const std::string& Dir)>& Action) = 0;
};

}  // namespace driver
