#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "netinfo/sysutil.h"
#include "platform/System.h"
#include "support/TempFolder.h"

using namespace corvina;
namespace fs = std::filesystem;

namespace {

const TFormatSettings ru = TFormatSettings::Russian();

class TempDir : public ::testing::Test {
 protected:
  test::TTempFolder folder;
  const fs::path& dir = folder.Path();
};

// What a shell command prints.
std::string ShellOutput(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
  pclose(pipe);
  return out;
}

}  // namespace

TEST(FormatByteCount, TableOfTheMeter) {
  EXPECT_EQ(FormatByteCount(0, ru), "0");
  EXPECT_EQ(FormatByteCount(1, ru), "1");
  EXPECT_EQ(FormatByteCount(2, ru), "2 байт");
  EXPECT_EQ(FormatByteCount(1024, ru), "1 024 байт");
  EXPECT_EQ(FormatByteCount(1025, ru), "1,0 Кб");
  EXPECT_EQ(FormatByteCount(1536, ru), "1,5 Кб");
  EXPECT_EQ(FormatByteCount(10485760, ru), "10 240,0 Кб");
  EXPECT_EQ(FormatByteCount(5LL << 40, ru), "5 368 709 120,0 Кб");  // past 32 bits
}

TEST(FormatByteCount, HalvesRoundAwayFromZero) {
  EXPECT_EQ(FormatByteCount(1280, ru), "1,3 Кб");    // 1.25
  EXPECT_EQ(FormatByteCount(1792, ru), "1,8 Кб");    // 1.75
  EXPECT_EQ(FormatByteCount(1279, ru), "1,2 Кб");    // just below the half
  EXPECT_EQ(FormatByteCount(10239, ru), "10,0 Кб");  // 9.9990..., carried into the integer
}

// The program runs in the user's locale (Qt sets it), where the C library
// itself may write decimal commas.
TEST(FormatByteCount, KeepsItsSeparatorsInAnyProcessLocale) {
  if (!setlocale(LC_ALL, "ru_RU.UTF-8")) GTEST_SKIP() << "no ru_RU.UTF-8 locale";
  const std::string text = FormatByteCount(10737418240, ru);
  setlocale(LC_ALL, "C");
  EXPECT_EQ(text, "10 485 760,0 Кб");
}

TEST(GetWindowsVersionText, Table) {
  EXPECT_EQ(GetWindowsVersionText(2, 5, 1, 2600, "Service Pack 3"),
            "Windows XP (Build 2600: Service Pack 3)");
  EXPECT_EQ(GetWindowsVersionText(2, 5, 0, 2195, ""), "Windows 2000 (Build 2195: )");
  EXPECT_EQ(GetWindowsVersionText(2, 6, 1, 7601, "Service Pack 1"),
            "Windows (Build 7601: Service Pack 1)");
  EXPECT_EQ(GetWindowsVersionText(2, 5, 2, 3790, ""), "Windows Server 2003 (Build 3790: )");
  EXPECT_EQ(GetWindowsVersionText(0, 1, 0, 1, ""), "Windows 3.1 with Win32s (Build 1: )");
  EXPECT_EQ(GetWindowsVersionText(1, 4, 10, 67766446, "A"), "Windows 98 (Build 67766446: A)");
  EXPECT_EQ(GetWindowsVersionText(1, 4, 90, 0, ""), "Windows Me (Build 0: )");
  EXPECT_EQ(GetWindowsVersionText(2, 3, 51, 4294967295u, ""),
            "Windows NT 3.51 (Build 4294967295: )");
}

TEST(LinuxVersionText, OsReleaseParsing) {
  EXPECT_EQ(ParseOsReleasePrettyName(
                "NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"),
            "Debian GNU/Linux 12 (bookworm)");
  EXPECT_EQ(ParseOsReleasePrettyName("NAME=Fedora\r\n"), "Fedora");
  EXPECT_EQ(ParseOsReleasePrettyName(std::string("garbage\0\x01=\n==\n\"", 14)), "Linux");
  EXPECT_EQ(ParseOsReleasePrettyName(""), "Linux");
  EXPECT_EQ(FormatLinuxVersionText("Debian GNU/Linux 12 (bookworm)", "6.1.0-18-amd64", "x86_64"),
            "Debian GNU/Linux 12 (bookworm) (Build 6.1.0-18-amd64: x86_64)");
}

TEST(LinuxVersionText, ThisMachineAsTheShellTellsIt) {
  EXPECT_EQ(GetSystemVersionText(),
            ShellOutput(". /etc/os-release; printf '%s (Build %s: %s)' \"${PRETTY_NAME:-Linux}\" "
                        "\"$(uname -r)\" \"$(uname -m)\""));
}

TEST(GetTotalPhysicalMemory, IsAWholeNumberOfPagesInBytes) {
  // Kibibytes or pages would fall below these bounds on any machine that runs the tests.
  const std::uint64_t bytes = GetTotalPhysicalMemory();
  EXPECT_EQ(bytes % std::uint64_t(sysconf(_SC_PAGESIZE)), 0u);
  EXPECT_GT(bytes, 256u << 20);
  std::ifstream statm("/proc/self/statm");
  std::uint64_t sizePages = 0, residentPages = 0;
  statm >> sizePages >> residentPages;
  EXPECT_GT(bytes, residentPages * std::uint64_t(sysconf(_SC_PAGESIZE)));
}

TEST(LowerCaseCyrillic, Windows1251Bytes) {
  // "C:\ПРОГРАММЫ\Ёж.EXE" in Windows-1251.
  const std::string in = "C:\\\xCF\xD0\xCE\xC3\xD0\xC0\xCC\xCC\xDB\\\xA8\xE6.EXE 1-9";
  const std::string out = LowerCaseCyrillic(in);
  EXPECT_EQ(out, "c:\\\xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xFB\\\xA8\xE6.exe 1-9");
  EXPECT_EQ(out.size(), in.size());
  EXPECT_EQ(LowerCaseCyrillic("\xC0\xDF\xE0\xFF"), "\xE0\xFF\xE0\xFF");
}

TEST(LowerCaseCyrillic, Utf8Text) {
  EXPECT_EQ(LowerCaseCyrillicUtf8("/Программы/АБВЯ/Ёж/Corvina"), "/программы/абвя/Ёж/corvina");
  EXPECT_EQ(LowerCaseCyrillicUtf8("ПРСТ"), "прст");
  EXPECT_EQ(LowerCaseCyrillicUtf8("\xD0"), "\xD0");  // a cut sequence is kept
}

TEST(ChangeFileExt, LastExtensionOfTheFileNameOnly) {
  EXPECT_EQ(ChangeFileExt("/opt/meter/corvina", ".cfg"), "/opt/meter/corvina.cfg");
  EXPECT_EQ(ChangeFileExt("/opt/meter.d/corvina", ".dat"), "/opt/meter.d/corvina.dat");
  EXPECT_EQ(ChangeFileExt("/opt/corvina.tar.gz", ".dump"), "/opt/corvina.tar.dump");
  EXPECT_EQ(ChangeFileExt("/opt/.hidden", ".cfg"), "/opt/.hidden.cfg");
  EXPECT_EQ(ChangeFileExt("meter.exe", ".dat"), "meter.dat");
}

TEST(ExecutablePath, IsThisProcessUnlessSet) {
  EXPECT_EQ(fs::path(ExecutablePath()).filename(), "netinfo_sysutilTest");
  SetExecutablePath("/tmp/x/Corvina");
  EXPECT_EQ(ExecutableFileWithExt(".dat"), "/tmp/x/Corvina.dat");
  SetExecutablePath("");
}

TEST_F(TempDir, SetAutoStartWritesReplacesAndRemovesTheEntry) {
  setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
  const fs::path entry = dir / "autostart" / "corvina.desktop";
  SetAutoStart("corvina", "/opt/meter/corvina", false);  // nothing there: nothing happens
  EXPECT_FALSE(fs::exists(entry));
  SetAutoStart("corvina", "/opt/meter/corvina", true);
  EXPECT_NE(test::ReadFileBytes(entry).find("\nExec=/opt/meter/corvina\n"), std::string::npos);
  SetAutoStart("corvina", "/opt/my meter/corvina", true);
  EXPECT_NE(test::ReadFileBytes(entry).find("\nExec=\"/opt/my meter/corvina\"\n"),
            std::string::npos);
  SetAutoStart("corvina", "/opt/meter/corvina", false);
  EXPECT_FALSE(fs::exists(entry));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "autostart"), fs::directory_iterator()), 0);
  unsetenv("XDG_CONFIG_HOME");
}

// Reads an Exec value back as a desktop does: string escapes first, then the
// field codes ("%%" a literal percent sign) and the quoting of arguments.
std::vector<std::string> ExecArguments(const std::string& value) {
  std::string text;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char c = value[i] == '\\' && i + 1 < value.size() ? value[++i] : '\0';
    text += !c         ? value[i]
            : c == 's' ? ' '
            : c == 'n' ? '\n'
            : c == 't' ? '\t'
            : c == 'r' ? '\r'
                       : c;
  }
  std::vector<std::string> args(1);
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i], next = i + 1 < text.size() ? text[i + 1] : '\0';
    if (c == '%') {
      if (next == '%') args.back() += c;  // any other field code stands for no file here
      ++i;
    } else if (quoted && c == '\\' && std::string("\"`$\\").find(next) != std::string::npos) {
      args.back() += text[++i];
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == ' ' && !quoted) {
      args.emplace_back();
    } else {
      args.back() += c;
    }
  }
  return args;
}

std::string ExecValueOf(const fs::path& entry) {
  const std::string text = test::ReadFileBytes(entry);
  const std::size_t at = text.find("\nExec=") + 6;
  return text.substr(at, text.find('\n', at) - at);
}

// The entry must run the very file, whatever characters its folders hold.
TEST_F(TempDir, SetAutoStartEntryRunsAPathWithReservedCharacters) {
  setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
  const fs::path entry = dir / "autostart" / "corvina.desktop";
  const std::string odd = (dir / "Мои \"программы\" 100% a\\new $x`y`\t/corvina").string();
  SetAutoStart("corvina", odd, true);
  EXPECT_EQ(ExecArguments(ExecValueOf(entry)), std::vector<std::string>{odd});

  // The desktop's own launcher, on a path it can run: GLib looks for the
  // program before it expands "%%", so no path with a percent sign runs there.
  const fs::path folder = dir / "Мои \"программы\" a\\new";
  const fs::path program = folder / "corvina";
  fs::create_directories(folder);
  std::ofstream(program) << "#!/bin/sh\nprintf '%s' \"$0\" > \"${0%/*}/launched\"\n";
  fs::permissions(program, fs::perms::owner_all);
  SetAutoStart("corvina", program.string(), true);
  unsetenv("XDG_CONFIG_HOME");
  if (std::system("command -v gio >/dev/null 2>&1") != 0) GTEST_SKIP() << "no gio launcher";
  ASSERT_EQ(std::system(("gio launch '" + entry.string() + "'").c_str()), 0);
  const fs::path launched = folder / "launched";
  for (int i = 0; i < 500 && test::ReadFileBytes(launched).empty(); ++i) usleep(10000);
  EXPECT_EQ(test::ReadFileBytes(launched), program.string());
}

TEST_F(TempDir, AutostartFolderWithoutUsableVariablesIsInTheAccountsHome) {
  const std::string home = getenv("HOME") ? getenv("HOME") : "";
  setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
  setenv("HOME", "", 1);
  const passwd* account = getpwuid(getuid());
  ASSERT_NE(account, nullptr);
  EXPECT_EQ(AutostartFolder(), std::string(account->pw_dir) + "/.config/autostart");
  setenv("HOME", home.c_str(), 1);
  unsetenv("XDG_CONFIG_HOME");
}

TEST_F(TempDir, SetAutoStartReportsAFailedWriteWithTheFile) {
  setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
  test::WriteFileBytes(dir / "autostart", "a file where the folder should be");
  try {
    SetAutoStart("corvina", "/x", true);
    ADD_FAILURE() << "no error";
  } catch (const EAutoStartError& e) {
    EXPECT_EQ(std::string(e.what()), "Failed to set data for 'corvina' in \"" + dir.string() +
                                         "/autostart/corvina.desktop\". Not a directory");
  }
  unsetenv("XDG_CONFIG_HOME");
}

TEST_F(TempDir, SaveResourceToFileWritesTheExactBytes) {
  const fs::path target = dir / "copy.bin";
  SaveResourceToFile("sample", "bin", target.string());  // names in any case
  const std::string expected =
      test::ReadFileBytes(fs::path(CORVINA_TEST_SOURCE_DIR) / "sample.bin");
  EXPECT_EQ(test::ReadFileBytes(target), expected);
  std::ofstream(target)
      << "older content, longer than the resource itself .........................";
  SaveResourceToFile("SAMPLE", "BIN", target.string());
  EXPECT_EQ(test::ReadFileBytes(target), expected);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()),
            1);  // no temp left
}

TEST_F(TempDir, SaveResourceToFileErrors) {
  try {
    SaveResourceToFile("NOPE", "BIN", (dir / "x").string());
    FAIL();
  } catch (const EResNotFound& e) {
    EXPECT_STREQ(e.what(), "Resource NOPE not found");
  }
  const std::string missing = (dir / "no-such-folder" / "x.dat").string();
  try {
    SaveResourceToFile("SAMPLE", "BIN", missing);
    FAIL();
  } catch (const EFCreateError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot create file \"" + missing + "\". No such file or directory");
  }
}
