#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/System.h"
#include "settings/CfgKeys.h"
#include "support/TempFolder.h"

namespace corvina {
namespace {

int RunProgram(const std::string& path) {
  const pid_t pid = fork();
  if (pid == 0) {
    execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The store is process-wide, so the whole story runs in one test: a failed
// first call, a retry, and values another process wrote.
TEST(CfgProcess, ReadsBackWhatAnotherProcessWrote) {
  test::TTempFolder dir;
  const std::string folder = dir.File("Cfg Test Dir");
  std::filesystem::create_directory(folder);
  const std::string exe = folder + "/Corvina.Helper";
  std::filesystem::copy_file(CFG_WRITER_HELPER, exe);
  const std::string cfgFile = folder + "/corvina.cfg";
  SetExecutablePath(exe);
  ASSERT_EQ(LocalCfgFileName(), cfgFile);

  std::filesystem::create_directory(cfgFile);  // unreadable as a file
  try {
    GetLocalCfgIntf();
    ADD_FAILURE() << "a settings file that cannot be read was accepted";
  } catch (const ECfgError& e) {
    EXPECT_NE(std::string(e.what()).find(cfgFile), std::string::npos) << e.what();
  }
  std::filesystem::remove(cfgFile);

  ASSERT_EQ(RunProgram(exe), 0);
  ASSERT_TRUE(std::filesystem::is_regular_file(cfgFile));

  const auto cfg = GetLocalCfgIntf();
  EXPECT_EQ(GetLocalCfgIntf(), cfg);
  EXPECT_EQ(ReadString(*cfg, kMacBind), "02-00-5E-10-00-01");
  EXPECT_EQ(ReadInteger(*cfg, kFormLeft), -120);
  EXPECT_EQ(ReadBoolean(*cfg, kShowTCP), false);
  EXPECT_EQ(ReadColor(*cfg, kBackgroundColor), clBtnFace);
  EXPECT_EQ(ReadInteger(*cfg, kFormTop), std::nullopt);
}

}  // namespace
}  // namespace corvina
