// The program run by an ordinary user (an account-less user id made for the
// test) in a network namespace: it meters through its capture helper while
// code that its environment loads runs without any capability; each
// instance has a helper of its own, which ends with it, also on kill -9. The
// helper refuses a dangerous environment, rights beyond the capture and a
// start without the program's channel; the program refuses a capability of
// its own.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/VethPair.h"

using namespace corvina::test;
using namespace std::chrono_literals;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

namespace {

constexpr const char* kNoCapabilities = "0000000000000000";

std::string Read(const fs::path& file) {
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

template <typename F>
bool WaitFor(F done, std::chrono::seconds timeout = 20s) {
  for (const auto until = std::chrono::steady_clock::now() + timeout; !done();
       std::this_thread::sleep_for(100ms))
    if (std::chrono::steady_clock::now() > until) return false;
  return true;
}

// A field of /proc/PID/status, e.g. "CapEff"; empty when the process is gone.
std::string Status(pid_t pid, const std::string& field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(field + ":\t", 0) == 0) return line.substr(field.size() + 2);
  return {};
}

bool Ended(pid_t pid) {
  const std::string state = Status(pid, "State");
  return state.empty() || state[0] == 'Z';
}

std::vector<pid_t> HelpersOf(pid_t program) {
  std::vector<pid_t> helpers;
  std::error_code gone;
  for (const auto& task :
       fs::directory_iterator("/proc/" + std::to_string(program) + "/task", gone)) {
    std::ifstream children(task.path() / "children");
    for (pid_t child; children >> child;)
      if (Read("/proc/" + std::to_string(child) + "/comm") == "corvina-capture\n")
        helpers.push_back(child);
  }
  return helpers;
}

// Bytes the program stored, in and out, of packets of this size (any size:
// 0); nothing while it has no database.
std::pair<std::int64_t, std::int64_t> Stored(const fs::path& database, int size = 0) {
  std::pair<std::int64_t, std::int64_t> sums{0, 0};
  sqlite3* db = nullptr;
  sqlite3_stmt* query = nullptr;
  if (sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
      sqlite3_prepare_v2(db,
                         "SELECT SUM(INCOMING), SUM(OUTGOING) FROM INETTRAFFIC WHERE ?1 = 0 OR "
                         "INCOMING + OUTGOING = ?1",
                         -1, &query, nullptr) == SQLITE_OK &&
      sqlite3_bind_int(query, 1, size) == SQLITE_OK && sqlite3_step(query) == SQLITE_ROW)
    sums = {sqlite3_column_int64(query, 0), sqlite3_column_int64(query, 1)};
  sqlite3_finalize(query);
  sqlite3_close(db);
  return sums;
}

// A process of the test's user with only the environment given and no
// channel on descriptor 3; its output goes to log.
class TUserProcess {
 public:
  TUserProcess(uid_t user, std::vector<std::string> environment,
               const std::vector<std::string>& command, const fs::path& log) {
    const std::string id = std::to_string(user);
    std::vector<std::string> args = {
        "setpriv", "--reuid=" + id, "--regid=" + id, "--clear-groups", "--inh-caps=-all", "env",
        "-i"};
    args.insert(args.end(), environment.begin(), environment.end());
    args.insert(args.end(), command.begin(), command.end());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 3, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 2, 1);
    const int rc = posix_spawnp(&pid_, "setpriv", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) throw std::runtime_error("cannot start setpriv");
  }
  ~TUserProcess() { Kill(SIGKILL); }

  pid_t Pid() const { return pid_; }
  // The exit status, or -1 after a signal.
  int Wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  void Kill(int signal) {
    if (pid_ <= 0) return;
    kill(pid_, signal);
    Wait();
  }

 private:
  pid_t pid_ = -1;
};

class CaptureHelperRun : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string why = NetnsUnavailableReason();
    if (!why.empty()) GTEST_SKIP() << why;
    for (user = 61000; getpwuid(user) || getgrgid(user); ++user) {
    }
    std::string pattern = (fs::temp_directory_path() / "corvina-helper-it-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder = pattern;
    fs::permissions(folder, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    fs::create_directories(folder / "plugins/styles");
    fs::copy_file(CORVINA_PROBE_PLUGIN, folder / "plugins/styles/libprobe.so");
    probe = folder / "probe.txt";
    std::ofstream{probe};
    ASSERT_EQ(chown(probe.c_str(), user, user), 0);
  }
  void TearDown() override {
    std::error_code ignored;
    if (!folder.empty()) fs::remove_all(folder, ignored);
  }

  // A copy of file at name in the folder, with these file capabilities.
  fs::path Install(const fs::path& file, const std::string& name, const std::string& caps = "") {
    const fs::path copy = folder / name;
    fs::create_directories(copy.parent_path());
    fs::copy_file(file, copy);
    if (!caps.empty() && Shell("setcap " + caps + " " + copy.string()) != 0)
      throw std::runtime_error("setcap failed");
    return copy;
  }

  // The program with its capable helper in a folder of the user's, set to
  // meter the veth end, with the probe plugin when asked.
  struct TInstance {
    fs::path exe;
    std::vector<std::string> environment;
    fs::path database() const { return exe.parent_path() / "corvina.dat"; }
    fs::path log() const { return exe.parent_path() / "out.log"; }
  };
  TInstance Instance(const std::string& name, bool withProbe) {
    TInstance instance{Install(CORVINA_PROGRAM, name + "/corvina"), {}};
    Install(CORVINA_CAPTURE_HELPER, name + "/corvina-capture", "cap_net_raw+ep");
    const fs::path home = folder / name;
    std::ofstream(home / "corvina.cfg")
        << "[VAR_TYPES]\r\nMacBind=256\r\nShowICMP=11\r\n[VAR_VALUES]\r\nMacBind="
        << TVethPair::kLocalMac << "\r\nShowICMP=1\r\n";
    fs::create_directory(home / "run");
    fs::permissions(home / "run", fs::perms::owner_all);
    for (const fs::path& p : {home, home / "corvina.cfg", home / "run"})
      if (chown(p.c_str(), user, user) != 0) throw std::runtime_error("chown failed");
    instance.environment = {"HOME=" + home.string(), "XDG_RUNTIME_DIR=" + (home / "run").string(),
                            "QT_QPA_PLATFORM=offscreen"};
    if (withProbe) {
      const std::vector<std::string> more = ProbeEnvironment();
      instance.environment.insert(instance.environment.end(), more.begin(), more.end());
    }
    return instance;
  }
  std::vector<std::string> ProbeEnvironment() const {
    return {"QT_PLUGIN_PATH=" + (folder / "plugins").string(), "QT_STYLE_OVERRIDE=corvinaprobe",
            "CORVINA_PROBE_FILE=" + probe.string()};
  }

  uid_t user = 0;
  fs::path folder;
  fs::path probe;
};

TEST_F(CaptureHelperRun, AnOrdinaryUserMetersThroughHelpersThatEndWithTheirProgram) {
  TVethPair net("helper");
  const TInstance a = Instance("a", true), b = Instance("b", false);
  TUserProcess first(user, a.environment, {a.exe}, a.log());
  TUserProcess second(user, b.environment, {b.exe}, b.log());
  ASSERT_TRUE(WaitFor([&] {
    net.peer.TryRun("ping -c 1 -W 1 10.77.0.1");
    return Stored(a.database()).first > 0 && Stored(b.database()).first > 0;
  })) << Read(a.log())
      << Read(b.log());

  // 3 echo requests of 100 data bytes: 128-byte IPv4 packets each way.
  net.peer.Run("ping -c 3 -i 0.2 -s 100 10.77.0.1");
  const std::pair<std::int64_t, std::int64_t> counted{384, 384};
  EXPECT_TRUE(WaitFor([&] {
    return Stored(a.database(), 128) == counted && Stored(b.database(), 128) == counted;
  })) << Stored(a.database(), 128).first
      << " " << Stored(b.database(), 128).first;

  // One helper each. It gave up its capability once the capture was open,
  // and the user can't take its packet socket; the program never had one.
  const std::vector<pid_t> helpersA = HelpersOf(first.Pid()), helpersB = HelpersOf(second.Pid());
  ASSERT_EQ(helpersA.size(), 1u);
  ASSERT_EQ(helpersB.size(), 1u);
  EXPECT_EQ(Status(helpersA[0], "CapPrm"), kNoCapabilities);
  EXPECT_EQ(Status(first.Pid(), "CapPrm"), kNoCapabilities);
  const auto listAs = [&](pid_t pid) {
    return TUserProcess(user, {}, {"/bin/ls", "/proc/" + std::to_string(pid) + "/fd"},
                        folder / "ls.log")
        .Wait();
  };
  EXPECT_NE(listAs(helpersA[0]), 0);
  EXPECT_EQ(listAs(first.Pid()), 0);

  // The plugin named by the environment ran in the program, without any capability.
  EXPECT_EQ(Read(probe), std::string("corvina CapEff:\t") + kNoCapabilities + "\n");

  first.Kill(SIGKILL);
  EXPECT_TRUE(WaitFor([&] { return Ended(helpersA[0]); }));
  EXPECT_FALSE(Ended(helpersB[0]));
  second.Kill(SIGTERM);
  EXPECT_TRUE(WaitFor([&] { return Ended(helpersB[0]); }));
}

TEST_F(CaptureHelperRun, RightsBeyondTheCaptureAndCodeFromTheEnvironmentAreRefused) {
  const fs::path log = folder / "refused.log";
  const auto run = [&](std::vector<std::string> environment, const fs::path& exe) {
    return TUserProcess(user, std::move(environment), {exe}, log).Wait();
  };
  std::vector<std::string> preload = ProbeEnvironment();
  preload.push_back(std::string("LD_PRELOAD=") + CORVINA_PROBE_PLUGIN);

  // Without the capability the loader heeds LD_PRELOAD; the helper sees it and refuses.
  EXPECT_NE(run(preload, Install(CORVINA_CAPTURE_HELPER, "plain/corvina-capture")), 0);
  EXPECT_THAT(Read(log), HasSubstr("LD_PRELOAD"));
  EXPECT_THAT(Read(probe), HasSubstr("corvina-capture CapEff"));
  // With it the loader ignores it, and the helper refuses a start without
  // the program's channel.
  std::ofstream{probe};
  EXPECT_NE(
      run(preload, Install(CORVINA_CAPTURE_HELPER, "capable/corvina-capture", "cap_net_raw+ep")),
      0);
  EXPECT_THAT(Read(log), HasSubstr("с каналом от нее"));
  EXPECT_EQ(Read(probe), "");

  EXPECT_NE(run({}, Install(CORVINA_CAPTURE_HELPER, "extra/corvina-capture",
                            "cap_net_raw,cap_net_admin+ep")),
            0);
  EXPECT_THAT(Read(log), HasSubstr("сверх cap_net_raw"));

  // The program with a capability of its own gives it up before Qt loads a
  // plugin, says how to install instead (in a message box that waits) and
  // does not start.
  const fs::path program = Install(CORVINA_PROGRAM, "owncap/corvina", "cap_net_raw+ep");
  ASSERT_EQ(chown(program.parent_path().c_str(), user, user), 0);  // it could make its files
  std::vector<std::string> environment = ProbeEnvironment();
  environment.push_back("QT_QPA_PLATFORM=offscreen");
  TUserProcess refused(user, environment, {program}, log);
  EXPECT_TRUE(WaitFor([&] { return Read(probe).find("corvina CapEff") != std::string::npos; }));
  EXPECT_EQ(Read(probe), std::string("corvina CapEff:\t") + kNoCapabilities + "\n");
  EXPECT_THAT(Read(log), HasSubstr("sudo setcap cap_net_raw+ep " +
                                   (program.parent_path() / "corvina-capture").string()));
  EXPECT_FALSE(fs::exists(program.parent_path() / "corvina.dat"));
}

}  // namespace
