#include "platform/process.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace platform {
namespace {

void SetError(std::string* error, std::string text) {
  if (error) *error = std::move(text);
}

bool IsExecutableFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::string FindProgram(const std::string& name, const std::string& folder) {
  if (name.find('/') != std::string::npos) {
    std::string path = name;
    if (name[0] != '/' && !folder.empty()) path = std::string(folder).append("/").append(name);
    return IsExecutableFile(path) ? path : std::string();
  }
  const char* env = std::getenv("PATH");
  std::string path = env ? env : "/usr/local/bin:/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    std::string dir = path.substr(start, end - start);
    if (dir.empty()) dir.push_back('.');
    std::string candidate = dir + "/" + name;
    if (IsExecutableFile(candidate)) return candidate;
    start = end + 1;
  }
  return {};
}

}  // namespace

std::vector<ProcessInfo> ListProcesses() {
  std::vector<ProcessInfo> out;
  DIR* proc = ::opendir("/proc");
  if (!proc) return out;
  while (struct dirent* e = ::readdir(proc)) {
    char* end = nullptr;
    long pid = std::strtol(e->d_name, &end, 10);
    if (pid <= 0 || *end != '\0') continue;
    std::string base = std::string("/proc/").append(e->d_name);
    ProcessInfo info;
    info.pid = static_cast<pid_t>(pid);
    char buf[4096];
    ssize_t n = ::readlink((base + "/exe").c_str(), buf, sizeof buf - 1);
    if (n > 0) {
      std::string exe(buf, static_cast<std::size_t>(n));
      const std::string deleted = " (deleted)";
      if (exe.size() > deleted.size() && exe.compare(exe.size() - deleted.size(), deleted.size(), deleted) == 0) {
        exe.resize(exe.size() - deleted.size());
      }
      info.exe_name = exe.substr(exe.rfind('/') + 1);
    } else {
      std::ifstream comm(base + "/comm");
      std::getline(comm, info.exe_name);
    }
    if (!info.exe_name.empty()) out.push_back(std::move(info));
  }
  ::closedir(proc);
  return out;
}

bool TerminateProcess(pid_t pid, std::error_code* ec) {
  if (pid <= 0) {
    if (ec) *ec = std::make_error_code(std::errc::invalid_argument);
    return false;
  }
  if (::kill(pid, SIGKILL) != 0) {
    if (ec) *ec = std::error_code(errno, std::generic_category());
    return false;
  }
  return true;
}

pid_t StartProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& working_folder, std::string* error) {
  std::string path = FindProgram(program, working_folder);
  if (path.empty()) {
    SetError(error, "cannot find the program " + program);
    return -1;
  }
  std::vector<std::string> args;
  args.push_back(program);
  args.insert(args.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  int pipefd[2];
  if (::pipe2(pipefd, O_CLOEXEC) != 0) {
    SetError(error, std::string("pipe: ") + std::strerror(errno));
    return -1;
  }
  pid_t pid = ::fork();
  if (pid < 0) {
    int err = errno;
    ::close(pipefd[0]);
    ::close(pipefd[1]);
    SetError(error, std::string("fork: ") + std::strerror(err));
    return -1;
  }
  if (pid == 0) {
    int err = 0;
    if (!working_folder.empty() && ::chdir(working_folder.c_str()) != 0) {
      err = errno;
    } else {
      ::execv(path.c_str(), argv.data());
      err = errno;
    }
    ssize_t ignored = ::write(pipefd[1], &err, sizeof err);
    (void)ignored;
    ::_exit(127);
  }
  ::close(pipefd[1]);
  int child_err = 0;
  ssize_t n;
  while ((n = ::read(pipefd[0], &child_err, sizeof child_err)) < 0 && errno == EINTR) {
  }
  ::close(pipefd[0]);
  if (n == static_cast<ssize_t>(sizeof child_err)) {
    int status;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    std::string text = "cannot start ";
    text.append(path).append(" in ").append(working_folder.empty() ? std::string(".") : working_folder);
    text.append(": ").append(std::strerror(child_err));
    SetError(error, std::move(text));
    return -1;
  }
  return pid;
}

}  // namespace platform
