#include "settings/CfgIntf.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <limits>

#include "framework/DateTime.h"
#include "netinfo/sysutil.h"
#include "platform/System.h"

namespace corvina {
namespace {

constexpr const char* kTypesSection = "VAR_TYPES";
constexpr const char* kValuesSection = "VAR_VALUES";

// Type codes of the file: the Variant kind numbers the store keeps.
enum TCfgTypeCode : std::int64_t {
  ctInteger = varInteger,
  ctDouble = varDouble,
  ctDate = varDate,
  ctBoolean = varBoolean,
  ctString = varString,
};

std::optional<TCfgTypeCode> TypeCodeOf(std::uint16_t kind) {
  switch (kind) {
    case varSmallint:
    case varInteger:
    case varShortInt:
    case varByte:
    case varWord:
    case varLongWord:
    case varInt64:
      return ctInteger;
    case varSingle:
    case varDouble:
    case varCurrency:
      return ctDouble;
    case varDate:
      return ctDate;
    case varBoolean:
      return ctBoolean;
    case varOleStr:
    case varString:
      return ctString;
    default:  // Empty, Null, arrays, references and the kinds the store does not hold
      return std::nullopt;
  }
}

std::optional<std::int64_t> ToInt64(const std::optional<std::string>& text) {
  std::int64_t value = 0;
  if (!text || !TryStrToInt64(*text, value)) return std::nullopt;
  return value;
}

bool HasLineBreak(const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; }

// A name must read back from the file as the same name: no "=", no line
// break, no blanks at the ends, and not mistaken for a comment or a section.
void CheckName(const std::string& name) {
  const bool ok = !name.empty() && name.find('=') == std::string::npos && !HasLineBreak(name) &&
                  static_cast<unsigned char>(name.front()) > ' ' &&
                  static_cast<unsigned char>(name.back()) > ' ' && name.front() != ';' &&
                  name.front() != '[';
  if (!ok) throw ECfgError("Invalid setting name \"" + name + "\"");
}

[[noreturn]] void ThrowFileError(const char* what, const std::string& fileName, int error) {
  throw ECfgError(std::string(what) + " \"" + fileName + "\". " + SystemErrorText(error));
}

// The whole file; nullopt when it does not exist; ECfgError when it exists
// but cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& fileName) {
  // Not blocking: a pipe in the file's place would hold up the start until someone writes to it.
  const int fd = open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return std::nullopt;
    ThrowFileError("Cannot open file", fileName, errno);
  }
  struct stat info {};
  if (fstat(fd, &info) == 0 && !S_ISREG(info.st_mode)) {
    close(fd);
    if (S_ISDIR(info.st_mode)) ThrowFileError("Cannot open file", fileName, EISDIR);
    throw ECfgError("Cannot open file \"" + fileName + "\". Not a regular file");
  }
  std::string text;
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      close(fd);
      ThrowFileError("Cannot open file", fileName, error);
    }
    text.append(buffer, static_cast<std::size_t>(n));
  }
  close(fd);
  return text;
}

}  // namespace

TDynamicCfgIntf::TDynamicCfgIntf(const TFormatSettings& fs) : fs_(fs) {}

void TDynamicCfgIntf::BeginUpdate() {
  // A nested call keeps the outer snapshot: rolling back must reach the
  // state before the first call.
  if (!Snapshot) Snapshot = IniDocument;
}

void TDynamicCfgIntf::EndUpdate() { Snapshot.reset(); }

void TDynamicCfgIntf::CancelUpdate() {
  if (!Snapshot) return;
  IniDocument = std::move(*Snapshot);
  Snapshot.reset();
}

Variant TDynamicCfgIntf::GetValue(const std::string& name) {
  const std::int64_t code = ToInt64(IniDocument.Read(kTypesSection, name)).value_or(0);
  const std::optional<std::string> text = IniDocument.Read(kValuesSection, name);
  switch (code) {
    case ctInteger: {
      const std::int64_t v = ToInt64(text).value_or(0);
      const bool fits = v >= std::numeric_limits<std::int32_t>::min() &&
                        v <= std::numeric_limits<std::int32_t>::max();
      return Variant::FromInteger(fits ? v : 0, varInteger);
    }
    case ctDouble:
      return Variant::FromFloat(text ? TryStrToFloat(*text, fs_).value_or(0.0) : 0.0);
    case ctDate: {
      const auto date = text ? TryStrToDateTime(*text, fs_) : std::nullopt;
      return Variant::FromDate(date ? *date : Now());
    }
    case ctBoolean:
      return Variant::FromBoolean(ToInt64(text).value_or(0) != 0);
    case ctString:
      return Variant::FromString(text.value_or(""));
    default:
      return Variant::Null();
  }
}

// A value with a line break is refused rather than changed: written as it
// is, it would split into lines that read back as other settings, and any
// replacement would read back as a value nobody wrote.
void TDynamicCfgIntf::SetValue(const std::string& name, const Variant& value) {
  const std::optional<TCfgTypeCode> code = TypeCodeOf(value.Kind());
  if (!code) return;
  CheckName(name);
  std::string text;
  switch (*code) {
    case ctInteger:
      text = std::to_string(value.AsInteger(fs_));
      break;
    case ctDouble:
      text = FloatToStr(value.AsDouble(fs_), fs_);
      break;
    case ctDate:
      text = DateTimeToStr(value.AsDate(fs_), fs_);
      break;
    case ctBoolean:
      text = value.AsBoolean(fs_) ? "1" : "0";
      break;
    case ctString:
      text = value.AsString(fs_);
      break;
  }
  if (HasLineBreak(text))
    throw ECfgError("The value of setting \"" + name + "\" contains a line break");
  IniDocument.Write(kTypesSection, name, std::to_string(*code));
  IniDocument.Write(kValuesSection, name, text);
}

TLocalCfgIntf::TLocalCfgIntf(std::string fileName, const TFormatSettings& fs)
    : TDynamicCfgIntf(fs), fileName_(std::move(fileName)) {
  if (const auto text = ReadWholeFile(fileName_)) IniDocument.Load(*text);
}

void TLocalCfgIntf::EndUpdate() {
  if (const int error = ReplaceFileContents(fileName_, IniDocument.Text()))
    ThrowFileError("Cannot create file", fileName_, error);
  TDynamicCfgIntf::EndUpdate();
}

std::string CfgFileNameFor(const std::string& executablePath) {
  std::string path = ChangeFileExt(executablePath, ".cfg");
  const std::size_t slash = path.find_last_of('/');
  for (std::size_t i = slash == std::string::npos ? 0 : slash + 1; i < path.size(); ++i)
    if (path[i] >= 'A' && path[i] <= 'Z') path[i] = static_cast<char>(path[i] - 'A' + 'a');
  return path;
}

std::string LocalCfgFileName() { return CfgFileNameFor(ExecutablePath()); }

std::shared_ptr<ICfgIntf> GetLocalCfgIntf() {
  static std::shared_ptr<ICfgIntf> store;
  // Assigned only after construction succeeded, so a failed call leaves the next one to try again.
  if (!store) store = std::make_shared<TLocalCfgIntf>(LocalCfgFileName());
  return store;
}

}  // namespace corvina
