#pragma once
// The real program as its own process, started from a folder of its own (a
// copy of the executable, so its settings, database and dump land there),
// on the offscreen platform, optionally inside a network namespace. What it
// says (every message box text also goes to its standard error) is kept in
// a file of that folder.

#include <fcntl.h>
#include <linux/capability.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "support/PacketSockets.h"
#include "support/TempFolder.h"

namespace corvina::test {

// Checks cond every 20 ms until it holds or the time is up; true when it held.
inline bool WaitFor(const std::function<bool()>& cond,
                    std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!cond()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

class TProgramProcess {
 public:
  struct TOptions {
    std::string Netns;           // the namespace to run in; empty: this one
    bool ObeyFileModes = false;  // root without its power to read any file
  };

  // Copies the program into folder, unless it is there already; its files
  // there are corvina.cfg, .dat, .dump.
  explicit TProgramProcess(const std::filesystem::path& folder) : folder_(folder) {
    if (!std::filesystem::exists(Executable()))
      std::filesystem::copy_file(CORVINA_PROGRAM, Executable());
    // The capture helper of the same build beside it, as an installation has it.
    std::error_code alreadyThere;
    std::filesystem::create_symlink(
        std::filesystem::path(CORVINA_PROGRAM).parent_path() / "corvina-capture",
        folder_ / "corvina-capture", alreadyThere);
  }
  ~TProgramProcess() { Kill(); }
  TProgramProcess(const TProgramProcess&) = delete;
  TProgramProcess& operator=(const TProgramProcess&) = delete;

  std::filesystem::path Executable() const { return folder_ / "corvina"; }
  std::filesystem::path File(const std::string& extension) const {
    return folder_ / ("corvina" + extension);
  }
  pid_t Pid() const { return pid_; }

  // netns: the namespace to run in (empty: this one); obeyFileModes: root
  // without its power to read and write any file.
  void Start(const std::string& netns = "", bool obeyFileModes = false) {
    const std::string output =
        (folder_ / ("output-" + std::to_string(++starts_) + ".txt")).string();
    output_ = output;
    const std::string runtime = (folder_ / "runtime").string();
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    pid_ = fork();
    if (pid_ != 0) return;
    const int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || dup2(fd, 1) < 0 || dup2(fd, 2) < 0) _exit(120);
    if (!netns.empty()) {
      const int ns = open(("/var/run/netns/" + netns).c_str(), O_RDONLY | O_CLOEXEC);
      if (ns < 0 || setns(ns, CLONE_NEWNET) != 0) _exit(121);
    }
    if (obeyFileModes && (prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE) != 0 ||
                          prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH) != 0))
      _exit(122);
    close_range(3, ~0U, 0);  // nothing of the test (a lock holder's pipe) lives on in it
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    setenv("XDG_CONFIG_HOME", folder_.c_str(), 1);  // autostart entries stay here
    const std::string exe = Executable().string();
    execl(exe.c_str(), exe.c_str(), nullptr);
    _exit(127);
  }

  bool Running() {
    Reap();
    return pid_ > 0;
  }
  void Signal(int signal) {
    if (pid_ > 0) kill(pid_, signal);
  }
  // The wait status once it ended within the time, else nullopt.
  std::optional<int> WaitExit(std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    if (!WaitFor([this] { return !Running(); }, timeout)) return std::nullopt;
    return status_;
  }
  // Ended by itself with exit code 0.
  bool EndedCleanly(std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    const auto status = WaitExit(timeout);
    return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
  }
  void Kill() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, &status_, 0);
    pid_ = -1;
  }

  // What the program wrote to its standard error (and output) in this run.
  std::string Output() const { return ReadFileBytes(output_); }
  bool Says(const std::string& text, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    return WaitFor([&] { return Output().find(text) != std::string::npos; }, timeout);
  }

  // Whether it holds a packet socket in its network namespace: capture is on.
  bool Capturing() const { return OpenPacketSockets(std::to_string(pid_)) > 0; }

 private:
  void Reap() {
    if (pid_ > 0 && waitpid(pid_, &status_, WNOHANG) == pid_) pid_ = -1;
  }

  std::filesystem::path folder_;
  std::string output_;
  int starts_ = 0;
  pid_t pid_ = -1;
  int status_ = 0;
};

}  // namespace corvina::test
