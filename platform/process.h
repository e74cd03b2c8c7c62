// Processes as the updater needs them: start a program, find running
// programs by executable name, end one.
#pragma once

#include <sys/types.h>

#include <string>
#include <system_error>
#include <vector>

namespace platform {

struct ProcessInfo {
  pid_t pid = 0;
  std::string exe_name;  // file name of the executable, without folder
};

// The running processes of the machine that can be seen (from /proc). The
// name is the file name of the executable when it can be read, else the
// process's command name.
std::vector<ProcessInfo> ListProcesses();

// Ends the process at once (as TerminateProcess does). False with *ec set
// when it does not exist or may not be ended.
bool TerminateProcess(pid_t pid, std::error_code* ec = nullptr);

// Starts program with the arguments in the working folder (empty: the
// current one), without a shell. Returns the process ID, or -1 with a
// description in *error when the program cannot be started (not found, not
// executable, folder missing). The process is a child of the caller; a
// caller that outlives it reaps it with waitpid.
pid_t StartProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& working_folder = {}, std::string* error = nullptr);

}  // namespace platform
