#include <gtest/gtest.h>

#include "settings/IniDocument.h"

namespace corvina {
namespace {

using namespace std::string_literals;

TEST(IniDocument, WritesSectionsInOrderWithCrLfAndEmptyLineAfterEach) {
  TIniDocument doc;
  doc.Write("VAR_TYPES", "FormLeft", "3");
  doc.Write("VAR_VALUES", "FormLeft", "120");
  doc.Write("var_types", "FormTop", "3");
  EXPECT_EQ(doc.Text(),
            "[VAR_TYPES]\r\nFormLeft=3\r\nFormTop=3\r\n\r\n[VAR_VALUES]\r\nFormLeft=120\r\n\r\n");
}

TEST(IniDocument, ReplacesInPlaceTakingNewNameCaseAndAppendsNewNames) {
  TIniDocument doc;
  doc.Write("S", "a", "1");
  doc.Write("S", "b", "2");
  doc.Write("s", "A", "3");
  doc.Write("S", "c", "4");
  EXPECT_EQ(doc.Text(), "[S]\r\nA=3\r\nb=2\r\nc=4\r\n\r\n");
  EXPECT_EQ(doc.Read("s", "B"), "2");
  EXPECT_EQ(doc.Read("S", "x"), std::nullopt);
  EXPECT_EQ(doc.Read("T", "a"), std::nullopt);
}

TEST(IniDocument, LoadsByTheLineRules) {
  TIniDocument doc;
  doc.Load(
      "\xEF\xBB\xBF"
      "orphan=before any section\r\n"
      "  [ Main ]  \r"
      "; a comment\n"
      "\t name  =  value with blanks  \r\n"
      "no equals sign here\n"
      "\n"
      "empty=\n"
      "dup=first\n"
      "dup=second\n"
      "k=a=b\n"
      "[Other]\n"
      "x=1\n"
      "[MAIN]\n"
      "late=2");
  EXPECT_EQ(doc.Text(),
            "[Main]\r\nname=value with blanks\r\nno equals sign here\r\nempty=\r\ndup=first\r\n"
            "dup=second\r\nk=a=b\r\nlate=2\r\n\r\n[Other]\r\nx=1\r\n\r\n");
  EXPECT_EQ(doc.Read("main", "NAME"), "value with blanks");
  EXPECT_EQ(doc.Read("Main", "dup"), "first");
  EXPECT_EQ(doc.Read("Main", "k"), "a=b");
  EXPECT_EQ(doc.Read("Main", "empty"), "");
  EXPECT_EQ(doc.Read("Main", "no equals sign here"), std::nullopt);
  EXPECT_EQ(doc.Read("Main", "orphan"), std::nullopt);
  doc.Write("Main", "dup", "third");  // only the first duplicate is replaced
  EXPECT_NE(doc.Text().find("dup=third\r\ndup=second\r\n"), std::string::npos);
}

TEST(IniDocument, SurvivesGarbageAndNulBytes) {
  const std::string garbage = "[\0]\n=\n[]\n[\n]\n\0\0a\0=b\0\n\xff\xfe=\x01\n"s;
  TIniDocument doc;
  doc.Load(garbage);
  doc.Load(doc.Text());
  const std::string once = doc.Text();
  doc.Load(once);
  EXPECT_EQ(doc.Text(), once);
  EXPECT_EQ(doc.Read("", "a"), "b");
  EXPECT_EQ(doc.Read("", "\xff\xfe"), "");
}

TEST(IniDocument, WrittenTextLoadsBackByteIdentical) {
  TIniDocument doc;
  doc.Load("[A]\nx=1\nfree text\n[B]\ny = 2\n");
  const std::string text = doc.Text();
  TIniDocument again;
  again.Load(text);
  EXPECT_EQ(again.Text(), text);
  EXPECT_EQ(again, doc);
}

TEST(IniDocument, LoadsTenMegabytes) {
  std::string text = "[VAR_VALUES]\r\n";
  for (int i = 0; text.size() < 10 * 1024 * 1024; ++i)
    text += "Name" + std::to_string(i) + "=" + std::string(40, 'v') + "\r\n";
  TIniDocument doc;
  doc.Load(text);
  EXPECT_EQ(doc.Read("VAR_VALUES", "name0"), std::string(40, 'v'));
  EXPECT_EQ(doc.Text(), text + "\r\n");
}

TEST(IniDocument, AHandMadeFileOfHalfAMillionSectionsLoadsAndAnswers) {
  // Look-ups that scanned every section would take hours here, past the test's time limit.
  std::string text;
  for (int i = 0; i < 500000; ++i)
    text += "[S" + std::to_string(i) + "]\r\nName" + std::to_string(i) + "=" + std::to_string(i) +
            "\r\n";
  text += "[s0]\r\nname0=later\r\n";  // the section goes on; a name's first line counts
  TIniDocument doc;
  doc.Load(text);
  EXPECT_EQ(doc.Read("s499999", "NAME499999"), "499999");
  EXPECT_EQ(doc.Read("S0", "Name0"), "0");
  doc.Write("s0", "NAME0", "new");
  EXPECT_EQ(doc.Read("S0", "name0"), "new");
  EXPECT_EQ(doc.Text().substr(0, 38), "[S0]\r\nNAME0=new\r\nname0=later\r\n\r\n[S1]\r\n");
}

}  // namespace
}  // namespace corvina
