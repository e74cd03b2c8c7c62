// Run-time binding of a shared library by name and of its entry points by
// name (LoadLibrary / GetProcAddress).
#pragma once

#include <string>

namespace platform {

class DynamicLibrary {
 public:
  DynamicLibrary() = default;
  ~DynamicLibrary();
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;
  DynamicLibrary(DynamicLibrary&& other) noexcept;
  DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;

  // Loads the library (a path, or a name the loader searches for). False,
  // with the loader's text in error(), when it cannot be loaded.
  bool Open(const std::string& name);
  void Close();
  bool IsOpen() const { return handle_ != nullptr; }
  // The entry point, or null (with error() set) when the library has none.
  void* Symbol(const std::string& name);
  const std::string& error() const { return error_; }

 private:
  void* handle_ = nullptr;
  std::string error_;
};

}  // namespace platform
