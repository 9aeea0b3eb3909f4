#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>

#include "settings/CfgIntf.h"
#include "support/TempFolder.h"

namespace corvina {

// Readable failure messages for values.
void PrintTo(const Variant& v, std::ostream* os) {
  *os << VarTypeName(v.Kind());
  if (!v.IsNull() && !v.IsEmpty() && v.Kind() < varArray)
    *os << " " << v.AsString(TFormatSettings{});
}

namespace {

using namespace std::string_literals;

using test::ReadFileBytes;
using test::WriteFileBytes;

// The in-memory store with its document text in view.
class TProbeCfg : public TDynamicCfgIntf {
 public:
  using TDynamicCfgIntf::TDynamicCfgIntf;
  std::string Text() const { return IniDocument.Text(); }
};

class CfgStore : public ::testing::Test {
 protected:
  void TearDown() override { SetNowFunction({}); }
  // A file store over the given file text.
  TLocalCfgIntf Load(const std::string& text, const TFormatSettings& fs = TFormatSettings{}) {
    WriteFileBytes(file_, text);
    return TLocalCfgIntf(file_, fs);
  }
  test::TTempFolder dir_;
  std::string file_ = dir_.File("corvina.cfg");
};

TEST_F(CfgStore, EmptyStoreWritesTheDocumentedFileAndReadsItBackByteIdentical) {
  TLocalCfgIntf cfg(file_);
  EXPECT_TRUE(cfg.GetValue("FormLeft").IsNull());
  EXPECT_FALSE(std::filesystem::exists(file_));
  cfg.BeginUpdate();
  cfg.SetValue("FormLeft", Variant::FromInteger(120));
  cfg.SetValue("FormTop", Variant::FromInteger(80));
  cfg.SetValue("MacBind", Variant::FromString("00-00-00-00-00-00"));
  cfg.EndUpdate();
  const std::string expected =
      "[VAR_TYPES]\r\nFormLeft=3\r\nFormTop=3\r\nMacBind=256\r\n\r\n"
      "[VAR_VALUES]\r\nFormLeft=120\r\nFormTop=80\r\nMacBind=00-00-00-00-00-00\r\n\r\n";
  EXPECT_EQ(ReadFileBytes(file_), expected);

  TLocalCfgIntf again(file_);
  EXPECT_EQ(again.GetValue("formleft"), Variant::FromInteger(120));
  EXPECT_EQ(again.GetValue("MACBIND"), Variant::FromString("00-00-00-00-00-00"));
  again.EndUpdate();
  EXPECT_EQ(ReadFileBytes(file_), expected);
}

TEST_F(CfgStore, ReadsTypeCodesWithTheirDefaults) {
  SetNowFunction([] { return 45000.25; });
  TLocalCfgIntf cfg = Load(
      "\xEF\xBB\xBF[VAR_TYPES]\rInt=3\rHex=3\rDollar=$3\rBig=3\rBool2=11\rBoolX=11\rDate=7\r"
      "Text=256\rFloat=5\rBadFloat=5\rOther=9\rJunk=abc\rHexCode=$100\r\0=3\r[VAR_VALUES]\r"
      "Int=-42\rHex=0x1F\rDollar=$ff\rBig=99999999999\rBool2=2\rBoolX=yes\rFloat=1.5\r"
      "BadFloat=1,5\rOther=1\rJunk=1\rHexCode=abc\rUntyped=5\r"s);
  EXPECT_EQ(cfg.GetValue("Int"), Variant::FromInteger(-42));
  EXPECT_EQ(cfg.GetValue("Hex"), Variant::FromInteger(31));
  EXPECT_EQ(cfg.GetValue("Dollar"), Variant::FromInteger(255));
  EXPECT_EQ(cfg.GetValue("Big"), Variant::FromInteger(0));
  EXPECT_EQ(cfg.GetValue("Bool2"), Variant::FromBoolean(true));
  EXPECT_EQ(cfg.GetValue("BoolX"), Variant::FromBoolean(false));
  EXPECT_EQ(cfg.GetValue("Date"), Variant::FromDate(45000.25));
  EXPECT_EQ(cfg.GetValue("Text"), Variant::FromString(""));
  EXPECT_EQ(cfg.GetValue("Float"), Variant::FromFloat(1.5));
  EXPECT_EQ(cfg.GetValue("BadFloat"), Variant::FromFloat(0));
  EXPECT_EQ(cfg.GetValue("HexCode"), Variant::FromString("abc"));
  for (const char* name : {"Other", "Junk", "Untyped", "Missing"})
    EXPECT_TRUE(cfg.GetValue(name).IsNull()) << name;
}

TEST_F(CfgStore, FoldsVariantKindsIntoTypeCodes) {
  const TFormatSettings fs;
  TProbeCfg cfg(fs);
  const TDateTime date = EncodeDateTime({2024, 2, 29, 13, 5, 7, 0});
  cfg.SetValue("Small", Variant::FromInteger(-5, varSmallint));
  cfg.SetValue("Long", Variant::FromInteger(0xFFFFFFFF, varLongWord));
  cfg.SetValue("Wide", Variant::FromInteger(0x100000002, varInt64));
  cfg.SetValue("Single", Variant::FromFloat(0.25, varSingle));
  cfg.SetValue("Money", Variant::FromFloat(12.5, varCurrency));
  cfg.SetValue("When", Variant::FromDate(date));
  cfg.SetValue("Midnight", Variant::FromDate(EncodeDate(2024, 3, 1)));
  cfg.SetValue("Wide text", Variant::FromString("w", varOleStr));
  cfg.SetValue("Flag", Variant::FromBoolean(true));
  EXPECT_EQ(cfg.Text(),
            "[VAR_TYPES]\r\nSmall=3\r\nLong=3\r\nWide=3\r\nSingle=5\r\nMoney=5\r\nWhen=7\r\n"
            "Midnight=7\r\nWide text=256\r\nFlag=11\r\n\r\n"
            "[VAR_VALUES]\r\nSmall=-5\r\nLong=-1\r\nWide=2\r\nSingle=0.25\r\nMoney=12.5\r\n"
            "When=29/02/2024 13:05:07\r\nMidnight=01/03/2024\r\nWide text=w\r\nFlag=1\r\n\r\n");
  EXPECT_EQ(cfg.GetValue("When"), Variant::FromDate(date));
  EXPECT_EQ(cfg.GetValue("Money"), Variant::FromFloat(12.5));
}

TEST_F(CfgStore, KindsItDoesNotHoldChangeNothing) {
  TProbeCfg cfg;
  cfg.SetValue("Keep", Variant::FromInteger(7));
  const std::string before = cfg.Text();
  for (const Variant& v : {Variant(), Variant::Null(), Variant::OfKind(varArray | varInteger),
                           Variant::OfKind(varByRef | varString), Variant::OfKind(varDispatch)})
    cfg.SetValue("Keep", v);
  EXPECT_EQ(cfg.Text(), before);
}

TEST_F(CfgStore, ANewKindReplacesBothLinesInPlace) {
  TProbeCfg cfg;
  cfg.SetValue("A", Variant::FromInteger(1));
  cfg.SetValue("B", Variant::FromInteger(2));
  cfg.SetValue("a", Variant::FromString("text"));
  EXPECT_EQ(cfg.Text(), "[VAR_TYPES]\r\na=256\r\nB=3\r\n\r\n[VAR_VALUES]\r\na=text\r\nB=2\r\n\r\n");
  EXPECT_EQ(cfg.GetValue("A"), Variant::FromString("text"));
}

TEST_F(CfgStore, BlanksAroundATextAreLostOnceTheFileIsReadBack) {
  TLocalCfgIntf cfg(file_);
  cfg.SetValue("T", Variant::FromString("  padded\t"));
  EXPECT_EQ(cfg.GetValue("T"), Variant::FromString("  padded\t"));
  cfg.EndUpdate();
  EXPECT_EQ(TLocalCfgIntf(file_).GetValue("T"), Variant::FromString("padded"));
}

// Line breaks are refused so that no value can forge other lines of the file.
TEST_F(CfgStore, RefusesLineBreaksAndNamesThatWouldNotReadBack) {
  TProbeCfg cfg;
  cfg.SetValue("T", Variant::FromString("old"));
  const std::string before = cfg.Text();
  for (const char* text : {"a\r\nFormLeft=1", "a\nb", "a\rb"})
    EXPECT_THROW(cfg.SetValue("T", Variant::FromString(text)), ECfgError) << text;
  for (const char* name : {"", "a=b", "a\nb", " a", "a ", ";a", "[a]"})
    EXPECT_THROW(cfg.SetValue(name, Variant::FromInteger(1)), ECfgError) << name;
  EXPECT_EQ(cfg.Text(), before);
}

TEST_F(CfgStore, FloatsAndDatesFollowTheRegionalSettings) {
  SetNowFunction([] { return 1000.0; });
  const TFormatSettings ru = TFormatSettings::Russian();
  {
    TLocalCfgIntf cfg(file_, ru);
    cfg.SetValue("F", Variant::FromFloat(1.5));
    cfg.SetValue("D", Variant::FromDate(EncodeDateTime({2023, 12, 31, 23, 59, 58, 0})));
    cfg.EndUpdate();
  }
  EXPECT_NE(ReadFileBytes(file_).find("F=1,5\r\nD=31.12.2023 23:59:58\r\n"), std::string::npos);
  TLocalCfgIntf same(file_, ru);
  EXPECT_EQ(same.GetValue("F"), Variant::FromFloat(1.5));
  EXPECT_EQ(same.GetValue("D"), Variant::FromDate(EncodeDateTime({2023, 12, 31, 23, 59, 58, 0})));
  TFormatSettings iso;
  iso.ShortDateFormat = "yyyy/mm/dd";
  TLocalCfgIntf other(file_, iso);
  EXPECT_EQ(other.GetValue("F"), Variant::FromFloat(0));
  EXPECT_EQ(other.GetValue("D"), Variant::FromDate(1000.0));
}

TEST_F(CfgStore, CancelRestoresTheDocumentExactlyTwiceInARow) {
  TProbeCfg cfg;
  cfg.SetValue("A", Variant::FromString(" spaced "));
  cfg.SetValue("B", Variant::FromInteger(2));
  const std::string before = cfg.Text();
  for (int round = 0; round < 2; ++round) {
    cfg.BeginUpdate();
    cfg.SetValue("A", Variant::FromInteger(9));
    cfg.SetValue("C", Variant::FromBoolean(true));
    cfg.CancelUpdate();
    EXPECT_EQ(cfg.Text(), before);
    EXPECT_EQ(cfg.GetValue("A"), Variant::FromString(" spaced "));
    EXPECT_TRUE(cfg.GetValue("C").IsNull());
  }
}

TEST_F(CfgStore, NestedBeginKeepsTheOuterSnapshotAndStrayCancelDoesNothing) {
  TProbeCfg cfg;
  cfg.SetValue("A", Variant::FromInteger(1));
  cfg.CancelUpdate();  // no snapshot held
  EXPECT_EQ(cfg.GetValue("A"), Variant::FromInteger(1));
  cfg.BeginUpdate();
  cfg.SetValue("A", Variant::FromInteger(2));
  cfg.BeginUpdate();
  cfg.SetValue("A", Variant::FromInteger(3));
  cfg.CancelUpdate();
  EXPECT_EQ(cfg.GetValue("A"), Variant::FromInteger(1));
  cfg.BeginUpdate();
  cfg.SetValue("A", Variant::FromInteger(4));
  cfg.EndUpdate();
  cfg.CancelUpdate();  // the commit dropped the snapshot
  EXPECT_EQ(cfg.GetValue("A"), Variant::FromInteger(4));
}

TEST_F(CfgStore, FailedWriteLeavesTheOldFileWholeAndTheEditUndoable) {
  TLocalCfgIntf cfg(file_);
  cfg.SetValue("A", Variant::FromInteger(1));
  cfg.EndUpdate();
  const std::string old = ReadFileBytes(file_);

  cfg.BeginUpdate();
  cfg.SetValue("Long", Variant::FromString(std::string(4096, 'x')));
  // A file size limit below the new file's size stands in for a full disk.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 1024;
  setrlimit(RLIMIT_FSIZE, &small);
  try {
    cfg.EndUpdate();
    ADD_FAILURE() << "EndUpdate did not fail";
  } catch (const ECfgError& e) {
    EXPECT_NE(std::string(e.what()).find(file_), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("too large"), std::string::npos) << e.what();
  }
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, SIG_DFL);

  EXPECT_EQ(ReadFileBytes(file_), old);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()), {}), 1)
      << "temporary file left behind";
  cfg.CancelUpdate();
  EXPECT_TRUE(cfg.GetValue("Long").IsNull());
  EXPECT_EQ(cfg.GetValue("A"), Variant::FromInteger(1));
}

TEST_F(CfgStore, AFileThatCannotBeReadOrReplacedIsAClearError) {
  std::filesystem::create_directory(file_);
  EXPECT_THROW(
      {
        try {
          TLocalCfgIntf cfg(file_);
        } catch (const ECfgError& e) {
          EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + file_ + "\". Is a directory");
          throw;
        }
      },
      ECfgError);
  TLocalCfgIntf missing(dir_.File("absent.cfg"));
  std::filesystem::create_directory(dir_.File("absent.cfg"));
  missing.SetValue("A", Variant::FromInteger(1));
  EXPECT_THROW(missing.EndUpdate(), ECfgError);
  EXPECT_EQ(missing.GetValue("A"), Variant::FromInteger(1));
}

TEST_F(CfgStore, APipeInTheFilesPlaceIsAClearErrorAtOnce) {
  ASSERT_EQ(mkfifo(file_.c_str(), 0600), 0);  // no writer: reading it would wait for ever
  try {
    TLocalCfgIntf cfg(file_);
    ADD_FAILURE() << "no error";
  } catch (const ECfgError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + file_ + "\". Not a regular file");
  }
}

TEST_F(CfgStore, KeepsThePermissionBitsOfAnExistingFile) {
  WriteFileBytes(file_, "");
  std::filesystem::permissions(
      file_, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  TLocalCfgIntf cfg(file_);
  cfg.SetValue("A", Variant::FromInteger(1));
  cfg.EndUpdate();
  EXPECT_EQ(std::filesystem::status(file_).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST(CfgFileName, LowersTheFileNameOnly) {
  EXPECT_EQ(CfgFileNameFor("/Opt/My Dir.D/Corvina.EXE"), "/Opt/My Dir.D/corvina.cfg");
  EXPECT_EQ(CfgFileNameFor("/Opt/Bin/CORVINA"), "/Opt/Bin/corvina.cfg");
  EXPECT_EQ(CfgFileNameFor("/Opt/Bin/Über.Bin"), "/Opt/Bin/Über.cfg");
}

}  // namespace
}  // namespace corvina
