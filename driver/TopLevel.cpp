#include "driver/TopLevel.h"

#include <windows.h>

#include <new>
#include <string>

#include "rtl/Exception.h"
#include "rtl/Gbk.h"

namespace driver {
namespace {

int Report(const char* ClassName, const std::string& Message) {
  MessageBoxA(nullptr, Message.c_str(), ClassName, MB_OK | MB_ICONERROR);
  return 1;
}

}  // namespace

int RunWithTopLevelHandler(const std::function<int()>& Body) {
  try {
    return Body();
  } catch (const rtl::Exception& error) {
    return Report(error.ClassName(), error.Message());
  } catch (const std::bad_alloc&) {
    return Report("EOutOfMemory", GBK("内存不足"));
  } catch (const std::exception& error) {
    return Report("Exception", error.what());
  } catch (...) {
    return Report("Exception", GBK("未知错误"));
  }
}

}  // namespace driver
