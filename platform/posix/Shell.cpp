#include "Shell.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

extern char** environ;

namespace {

bool IsExecutableFile(const std::string& p) {
  struct stat st {};
  return stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(p.c_str(), X_OK) == 0;
}

// The current directory first, then PATH, as the shell resolves a bare program name.
std::string Resolve(const std::string& file, const std::string& directory, int& error) {
  error = 2;
  if (file.empty()) return "";
  if (file.find('/') != std::string::npos) {
    if (IsExecutableFile(file)) return file;
    if (access(file.c_str(), F_OK) == 0) error = 5;
    return "";
  }
  std::string dir = directory.empty() ? "." : directory;
  std::string local = dir + "/" + file;
  if (IsExecutableFile(local)) return local;
  if (access(local.c_str(), F_OK) == 0) error = 5;
  const char* path = std::getenv("PATH");
  std::string rest = path ? path : "";
  size_t start = 0;
  while (start <= rest.size()) {
    size_t end = rest.find(':', start);
    std::string part = rest.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!part.empty()) {
      part += '/';
      part += file;
      if (IsExecutableFile(part)) return part;
    }
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return "";
}

}  // namespace

intptr_t ShellExecute(HWND, const std::string& verb, const std::string& file, const std::string& parameters,
                      const std::string& directory, int) {
  if (!verb.empty() && verb != "open") return 31;
  int error = 2;
  std::string program = Resolve(file, directory, error);
  if (program.empty()) return error;
  std::vector<std::string> args{program};
  for (size_t i = 0; i < parameters.size();) {
    while (i < parameters.size() && parameters[i] == ' ') ++i;
    size_t j = parameters.find(' ', i);
    if (i < parameters.size()) args.push_back(parameters.substr(i, j == std::string::npos ? std::string::npos : j - i));
    i = j == std::string::npos ? parameters.size() : j;
  }
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  // Detached: a child of an intermediate process that exits at once, so nothing is left to reap.
  pid_t mid = fork();
  if (mid < 0) return 8;
  if (mid == 0) {
    setsid();
    if (!directory.empty() && chdir(directory.c_str()) != 0) _exit(127);
    pid_t child;
    int rc = posix_spawn(&child, program.c_str(), nullptr, nullptr, argv.data(), environ);
    _exit(rc == 0 ? 0 : 1);
  }
  int status = 0;
  while (waitpid(mid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 42 : 2;
}
