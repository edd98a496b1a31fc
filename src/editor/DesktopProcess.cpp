#include "editor/DesktopProcess.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>

extern char** environ;

namespace {

std::mutex g_detachedMutex;
std::vector<pid_t>& Detached() {
  static std::vector<pid_t> pids;
  return pids;
}

int StatusOf(int raw) { return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1; }

}  // namespace

DesktopProcess::~DesktopProcess() {
  if (output_ >= 0) close(output_);
  if (pid_ > 0) Detach();
}

std::string DesktopProcess::Find(const std::string& program) {
  if (program.empty()) return std::string();
  if (program.find('/') != std::string::npos) return access(program.c_str(), X_OK) == 0 ? program : std::string();
  const char* path = std::getenv("PATH");
  const std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    std::size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    const std::string dir = dirs.substr(start, end - start);
    if (!dir.empty()) {
      const std::string candidate = dir + "/" + program;
      struct stat st {};
      if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0) {
        return candidate;
      }
    }
    start = end + 1;
  }
  return std::string();
}

bool DesktopProcess::Start(const std::vector<std::string>& argv, bool captureOutput) {
  if (argv.empty() || pid_ > 0) return false;
  const std::string program = Find(argv[0]);
  if (program.empty()) return false;
  int pipeFds[2] = {-1, -1};
  if (captureOutput && pipe2(pipeFds, O_CLOEXEC) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (captureOutput) {
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  }
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
#if defined(__GLIBC__) && __GLIBC_PREREQ(2, 34)
  // The host's descriptors are not the child's business.
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  const int error = posix_spawn(&pid, program.c_str(), &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (captureOutput) close(pipeFds[1]);
  if (error != 0) {
    if (captureOutput) close(pipeFds[0]);
    return false;
  }
  pid_ = pid;
  output_ = captureOutput ? pipeFds[0] : -1;
  text_.clear();
  return true;
}

bool DesktopProcess::ReadOutput() {
  if (output_ < 0) return false;
  char buffer[4096];
  const ssize_t n = read(output_, buffer, sizeof buffer);
  if (n > 0) {
    // A path is short; anything beyond a sane length is not one.
    if (text_.size() < 65536) text_.append(buffer, static_cast<std::size_t>(n));
    return true;
  }
  if (n < 0 && (errno == EINTR || errno == EAGAIN)) return true;
  close(output_);
  output_ = -1;
  return false;
}

bool DesktopProcess::Poll() {
  if (pid_ <= 0) return true;
  int raw = 0;
  const pid_t r = waitpid(pid_, &raw, WNOHANG);
  if (r == 0) return false;
  status_ = r == pid_ ? StatusOf(raw) : -1;
  pid_ = -1;
  return true;
}

int DesktopProcess::Wait() {
  if (pid_ > 0) {
    int raw = 0;
    pid_t r;
    do {
      r = waitpid(pid_, &raw, 0);
    } while (r < 0 && errno == EINTR);
    status_ = r == pid_ ? StatusOf(raw) : -1;
    pid_ = -1;
  }
  return status_;
}

void DesktopProcess::Detach() {
  if (pid_ <= 0) return;
  std::lock_guard<std::mutex> lock(g_detachedMutex);
  Detached().push_back(pid_);
  pid_ = -1;
}

void DesktopProcess::ReapFinished() {
  std::lock_guard<std::mutex> lock(g_detachedMutex);
  auto& pids = Detached();
  for (std::size_t i = 0; i < pids.size();) {
    int raw = 0;
    const pid_t r = waitpid(pids[i], &raw, WNOHANG);
    if (r == 0) {
      ++i;
    } else {
      pids.erase(pids.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
}
