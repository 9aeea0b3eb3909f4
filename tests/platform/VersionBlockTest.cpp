#include <gtest/gtest.h>

#include <fstream>

#include "platform/System.h"
#include "platform/VersionBlock.h"

using namespace corvina;

namespace {
__attribute__((section(".corvina_version"), used)) const char kBlock[] =
    "\\VarFileInfo\\Translation=041904E3\n"
    "\\StringFileInfo\\041904E3\\FileVersion=1.2.3.4\n"
    "\\StringFileInfo\\041904E3\\Comments=Тест\n";
}  // namespace

TEST(VersionBlock, ReadsTheBlockOfAnExecutableFile) {
  const auto block = ReadVersionBlock(ExecutablePath());
  ASSERT_TRUE(block);
  EXPECT_EQ(*block, kBlock);
  EXPECT_EQ(QueryVersionValue(*block, "\\VarFileInfo\\Translation"), "041904E3");
  EXPECT_EQ(QueryVersionValue(*block, "\\StringFileInfo\\041904E3\\Comments"), "Тест");
  EXPECT_FALSE(
      QueryVersionValue(*block, "\\StringFileInfo\\041904E3\\File"));  // a prefix is not a key
  EXPECT_FALSE(QueryVersionValue(*block, "\\StringFileInfo\\04090000\\FileVersion"));
}

TEST(VersionBlock, FilesWithoutOneGiveNothing) {
  EXPECT_FALSE(ReadVersionBlock("/bin/sh"));  // an ELF file without the section
  EXPECT_FALSE(ReadVersionBlock("/nonexistent/corvina"));
  const std::string text = testing::TempDir() + "not-elf.txt";
  std::ofstream(text) << "\x7f"
                         "ELF but not really";
  EXPECT_FALSE(ReadVersionBlock(text));
}
