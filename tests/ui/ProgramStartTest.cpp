// The real program started from a folder of its own with files it cannot
// use: it says what is wrong and which file, a logout (SIGTERM) ends it
// cleanly whatever box is open, and a second copy from the same folder
// leaves the first one's files alone.

#include <gtest/gtest.h>
#include <sys/file.h>

#include "support/ProgramProcess.h"

using namespace corvina::test;
namespace fs = std::filesystem;

namespace {

constexpr const char* kSettings =
    "[VAR_TYPES]\r\nFormLeft=3\r\nFormTop=3\r\n\r\n"
    "[VAR_VALUES]\r\nFormLeft=123\r\nFormTop=45\r\n\r\n";

class ProgramStart : public ::testing::Test {
 protected:
  TTempFolder folder;
  TProgramProcess program{folder.Path()};
};

TEST_F(ProgramStart, UnreadableSettingsAreNamedAndALogoutEndsTheProgram) {
  WriteFileBytes(program.File(".cfg"), kSettings);
  fs::permissions(program.File(".cfg"), fs::perms::none);
  program.Start("", true);
  ASSERT_TRUE(
      program.Says("Cannot open file \"" + program.File(".cfg").string() + "\". Permission denied"))
      << program.Output();
  program.Signal(SIGTERM);
  EXPECT_TRUE(program.EndedCleanly()) << program.Output();

  fs::remove(program.File(".cfg"));
  fs::create_directory(program.File(".cfg"));
  program.Start();
  ASSERT_TRUE(
      program.Says("Cannot open file \"" + program.File(".cfg").string() + "\". Is a directory"))
      << program.Output();
  program.Signal(SIGTERM);
  EXPECT_TRUE(program.EndedCleanly()) << program.Output();
}

TEST_F(ProgramStart, ASettingThatDoesNotConvertIsNamedAndALogoutSavesThePosition) {
  WriteFileBytes(program.File(".cfg"),
                 "[VAR_TYPES]\nFormLeft=3\nFormTop=3\nBackgroundColor=256\n"
                 "[VAR_VALUES]\nFormLeft=123\nFormTop=45\nBackgroundColor=notacolour\n");
  program.Start();
  ASSERT_TRUE(program.Says("Invalid value of setting \"BackgroundColor\" in \"" +
                           program.File(".cfg").string() +
                           "\": 'notacolour' is not a valid colour"))
      << program.Output();
  program.Signal(SIGTERM);  // while the error box of the start is open
  ASSERT_TRUE(program.EndedCleanly()) << program.Output();
  const std::string saved = ReadFileBytes(program.File(".cfg"));
  EXPECT_NE(saved.find("FormLeft=123\r\nFormTop=45\r\n"), std::string::npos) << saved;
}

TEST_F(ProgramStart, ASecondCopyFromTheSameFolderLeavesTheFilesAlone) {
  WriteFileBytes(program.File(".cfg"), kSettings);
  program.Start();
  ASSERT_TRUE(WaitFor([&] { return fs::exists(program.File(".dat-wal")); })) << program.Output();

  TProgramProcess second(folder.Path());
  const auto cfgTime = fs::last_write_time(program.File(".cfg"));
  const auto datTime = fs::last_write_time(program.File(".dat"));
  second.Start();
  ASSERT_TRUE(second.Says("Программа уже запущена из папки " + folder.Path().string()))
      << second.Output();
  second.Signal(SIGTERM);  // its box is open
  const auto status = second.WaitExit();
  ASSERT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 1);
  EXPECT_EQ(fs::last_write_time(program.File(".cfg")), cfgTime);
  EXPECT_EQ(fs::last_write_time(program.File(".dat")), datTime);
  EXPECT_EQ(ReadFileBytes(program.File(".cfg")), kSettings);
  EXPECT_FALSE(fs::exists(program.File(".dump")));

  // A copy that crashed leaves no lock behind.
  program.Kill();
  second.Start();
  ASSERT_TRUE(WaitFor([&] {
    const int fd = open(second.File(".lock").c_str(), O_RDONLY | O_CLOEXEC);
    const bool held = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0;
    if (fd >= 0) close(fd);
    return held;
  })) << second.Output();
  EXPECT_EQ(second.Output().find("уже запущена"), std::string::npos);
  second.Signal(SIGTERM);
  EXPECT_TRUE(second.EndedCleanly()) << second.Output();
}

}  // namespace
