#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// A desktop program the editor starts (a file chooser, the web browser opener): found on PATH,
// started with posix_spawn and never through a shell, its standard output read through a pipe,
// its standard input and errors sent to /dev/null. The child is reaped: by Wait, or, for one left
// running, by ReapFinished later.
class DesktopProcess {
 public:
  DesktopProcess() = default;
  ~DesktopProcess();
  DesktopProcess(const DesktopProcess&) = delete;
  DesktopProcess& operator=(const DesktopProcess&) = delete;

  // The full path of program on PATH, "" when there is none.
  static std::string Find(const std::string& program);
  // Starts argv (argv[0] found on PATH); answers whether it started.
  bool Start(const std::vector<std::string>& argv, bool captureOutput);
  // The read end of the output pipe (-1 once it is closed or without capture).
  int OutputDescriptor() const { return output_; }
  // Reads what is there; answers false at the end of the output.
  bool ReadOutput();
  const std::string& Output() const { return text_; }
  // Whether the child has ended (without waiting); its exit status is then in ExitStatus.
  bool Poll();
  // Waits for the end; the exit status, or -1 when it did not end normally.
  int Wait();
  int ExitStatus() const { return status_; }
  bool Running() const { return pid_ > 0; }
  // Leaves a running child to be reaped by ReapFinished.
  void Detach();
  // Reaps detached children that have ended.
  static void ReapFinished();

 private:
  pid_t pid_ = -1;
  int output_ = -1;
  int status_ = -1;
  std::string text_;
};
