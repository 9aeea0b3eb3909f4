// A settings file as anyone may have edited it: the INI loader, the store's
// typed reads, and every read the meter window makes of it at start-up. Only
// the documented errors of a value that does not convert may leave a read.
//
// Input: a text value to store, then the file's text.

#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "capture/SnifferIPRange.h"
#include "fuzz/FuzzCheck.h"
#include "settings/CfgKeys.h"

using namespace corvina;

namespace {

// The store with its document loaded from a text instead of a file.
class TTextCfg : public TDynamicCfgIntf {
 public:
  explicit TTextCfg(const std::string& text) : TDynamicCfgIntf(TFormatSettings::Russian()) {
    IniDocument.Load(text);
  }
  std::string Text() const { return IniDocument.Text(); }
};

std::string TrimBlanks(const std::string& s) {
  std::size_t begin = 0, end = s.size();
  while (begin < end && static_cast<unsigned char>(s[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<unsigned char>(s[end - 1]) <= ' ') --end;
  return s.substr(begin, end - begin);
}

template <typename Read>
void ReadAllowingConversionErrors(Read read) {
  try {
    read();
  } catch (const EVariantError&) {
  } catch (const EConvertError&) {
  }
}

void ReadLikeTheMeterWindow(ICfgIntf& cfg) {
  for (const char* key : {kFormLeft, kFormTop, kAlphaBlend})
    ReadAllowingConversionErrors([&] { ReadInteger(cfg, key); });
  for (const char* key : {kAutoStart, kShowICMP, kShowUDP, kShowTCP})
    ReadAllowingConversionErrors([&] { ReadBoolean(cfg, key); });
  ReadAllowingConversionErrors([&] { ReadString(cfg, kMacBind); });
  for (const char* key : {kBackgroundColor, kFontColor})
    ReadAllowingConversionErrors([&] {
      if (const auto color = ReadColor(cfg, key))
        FUZZ_CHECK(StringToColor(ColorToString(*color)) == *color);
    });
  ReadAllowingConversionErrors([&] {
    // The cap's own value is a unit test's business; a low one keeps a huge count quick here.
    constexpr int kMaxRanges = 512;
    const auto ranges = ReadLocalIPRanges(cfg, kMaxRanges);
    if (!ranges) return;
    FUZZ_CHECK(ranges->size() <= std::size_t(kMaxRanges));
    TSnifferIPRangeList list;
    for (const TStoredIPRange& range : *ranges) list.AddRange(range.Start, range.End);
    FUZZ_CHECK(std::size_t(list.Count()) == ranges->size());
  });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string value = input.ConsumeRandomLengthString(256);
  const std::string text = input.ConsumeRemainingBytesAsString();

  // What the store writes, it reads back as the same document.
  TIniDocument document, again;
  document.Load(text);
  again.Load(document.Text());
  FUZZ_CHECK(again == document);

  TTextCfg cfg(text);
  ReadLikeTheMeterWindow(cfg);

  // A stored text reads back as it was, and without its outer blanks once
  // the file is read again; one with a line break is refused.
  try {
    cfg.SetValue("FuzzValue", Variant::FromString(value));
  } catch (const ECfgError&) {
    FUZZ_CHECK(value.find_first_of("\r\n") != std::string::npos);
    return 0;
  }
  FUZZ_CHECK(cfg.GetValue("FuzzValue").AsString() == value);
  TTextCfg reread(cfg.Text());
  FUZZ_CHECK(reread.GetValue("FuzzValue").AsString() == TrimBlanks(value));
  ReadLikeTheMeterWindow(reread);
  return 0;
}
