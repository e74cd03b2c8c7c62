#include "platform/shell.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace platform {
namespace {

bool IsExecutableFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// Finds the program the way execvp would, before forking, so that the
// child only has to call async-signal-safe functions.
std::string FindProgram(const std::string& name) {
  if (name.find('/') != std::string::npos) return IsExecutableFile(name) ? name : std::string();
  const char* env = std::getenv("PATH");
  std::string path = env ? env : "/usr/local/bin:/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    std::string dir = path.substr(start, end - start);
    if (dir.empty()) dir = ".";
    std::string candidate = dir + "/" + name;
    if (IsExecutableFile(candidate)) return candidate;
    start = end + 1;
  }
  return {};
}

void SetError(std::string* error, std::string text) {
  if (error) *error = std::move(text);
}

}  // namespace

bool ShellOpen(std::string_view target, std::string* error, const std::string& opener) {
  if (target.empty() || target.find('\0') != std::string_view::npos) {
    SetError(error, "nothing to open");
    return false;
  }
  std::string program = FindProgram(opener);
  if (program.empty()) {
    SetError(error, "cannot find " + opener);
    return false;
  }
  std::string arg(target);
  if (arg.front() == '-') arg.insert(0, "./");
  std::string arg0 = opener;
  char* argv[] = {arg0.data(), arg.data(), nullptr};

  int pipefd[2];
  if (::pipe2(pipefd, O_CLOEXEC) != 0) {
    SetError(error, std::string("pipe: ") + std::strerror(errno));
    return false;
  }
  int devnull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  pid_t child = ::fork();
  if (child < 0) {
    int err = errno;
    ::close(pipefd[0]);
    ::close(pipefd[1]);
    if (devnull >= 0) ::close(devnull);
    SetError(error, std::string("fork: ") + std::strerror(err));
    return false;
  }
  if (child == 0) {
    // The middle process exits at once so the opener is not our child and
    // never becomes a zombie of the program.
    pid_t grandchild = ::fork();
    if (grandchild != 0) ::_exit(grandchild < 0 ? 1 : 0);
    ::setsid();
    if (devnull >= 0) ::dup2(devnull, STDIN_FILENO);
    ::execv(program.c_str(), argv);
    int err = errno;
    ssize_t ignored = ::write(pipefd[1], &err, sizeof err);
    (void)ignored;
    ::_exit(127);
  }
  ::close(pipefd[1]);
  if (devnull >= 0) ::close(devnull);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  // The pipe closes on a successful exec; otherwise it carries errno.
  int exec_err = 0;
  ssize_t n;
  while ((n = ::read(pipefd[0], &exec_err, sizeof exec_err)) < 0 && errno == EINTR) {
  }
  ::close(pipefd[0]);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    SetError(error, "cannot start " + opener);
    return false;
  }
  if (n == static_cast<ssize_t>(sizeof exec_err)) {
    SetError(error, "cannot start " + program + ": " + std::strerror(exec_err));
    return false;
  }
  return true;
}

}  // namespace platform
