#include "netinfo/sysutil.h"

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "platform/Resources.h"
#include "platform/System.h"

namespace corvina {
namespace {

std::string Unquoted(std::string v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    v = v.substr(1, v.size() - 2);
  return v;
}

// A desktop entry string value: backslash, line breaks and tabs escaped.
std::string DesktopString(const std::string& value) {
  std::string out;
  for (char c : value) {
    if (c == '\\')
      out += "\\\\";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\r')
      out += "\\r";
    else if (c == '\t')
      out += "\\t";
    else
      out += c;
  }
  return out;
}

// An Exec value running one program without arguments: quoted when it holds
// a reserved character, '%' doubled (field codes), then escaped as a string,
// which is why a backslash of the path ends up as four.
std::string DesktopExecValue(const std::string& command) {
  std::string exec;
  if (command.find_first_of(" \t\n\r\"'\\<>~|&;$*?#()`") == std::string::npos) {
    exec = command;
  } else {
    exec = "\"";
    for (char c : command) {
      if (c == '"' || c == '`' || c == '$' || c == '\\') exec += '\\';
      exec += c;
    }
    exec += '"';
  }
  std::string out;
  for (char c : exec) out += c == '%' ? "%%" : std::string(1, c);
  return DesktopString(out);
}

}  // namespace

std::string FormatByteCount(std::int64_t count, const TFormatSettings& fs) {
  const double value = static_cast<double>(count);
  if (value / 1024 > 1) return FormatGrouped(value / 1024, 1, fs) + " Кб";
  if (value > 1) return FormatGrouped(value, 0, fs) + " байт";
  return std::to_string(count);
}

std::string GetWindowsVersionText(unsigned platformId, unsigned major, unsigned minor,
                                  std::uint32_t build, const std::string& servicePack) {
  std::string name;
  if (platformId == 0) {
    name = " 3.1 with Win32s";
  } else if (platformId == 1 && major == 4) {
    if (minor == 0) name = " 95";
    if (minor == 10) name = " 98";
    if (minor == 90) name = " Me";
  } else if (platformId == 2) {
    if (major == 3 && minor == 51) name = " NT 3.51";
    if (major == 4 && minor == 0) name = " NT 4.0";
    if (major == 5 && minor == 0) name = " 2000";
    if (major == 5 && minor == 1) name = " XP";
    if (major == 5 && minor == 2) name = " Server 2003";
  }
  return "Windows" + name + " (Build " + std::to_string(build) + ": " + servicePack + ")";
}

std::string FormatLinuxVersionText(const std::string& prettyName, const std::string& release,
                                   const std::string& machine) {
  return (prettyName.empty() ? "Linux" : prettyName) + " (Build " + release + ": " + machine + ")";
}

std::string ParseOsReleasePrettyName(const std::string& osRelease) {
  std::istringstream in(osRelease);
  std::string line, pretty, name;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq);
    const std::string value = Unquoted(line.substr(eq + 1));
    if (key == "PRETTY_NAME") pretty = value;
    if (key == "NAME") name = value;
  }
  if (!pretty.empty()) return pretty;
  return name.empty() ? "Linux" : name;
}

std::string GetSystemVersionText() {
  const TOsVersion v = QueryOsVersion();
  return FormatLinuxVersionText(v.PrettyName, v.Release, v.Machine);
}

std::uint64_t GetTotalPhysicalMemory() { return TotalPhysicalMemory(); }

std::string LowerCaseCyrillic(const std::string& text) {
  std::string out = text;
  for (char& ch : out) {
    const unsigned char b = static_cast<unsigned char>(ch);
    if ((b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDF)) ch = static_cast<char>(b + 0x20);
  }
  return out;
}

std::string LowerCaseCyrillicUtf8(const std::string& text) {
  std::string out = text;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const unsigned char b = static_cast<unsigned char>(out[i]);
    if (b >= 'A' && b <= 'Z') {
      out[i] = static_cast<char>(b + 0x20);
    } else if (b == 0xD0 && i + 1 < out.size()) {
      // А..П are D0 90..D0 9F -> D0 B0..D0 BF; Р..Я are D0 A0..D0 AF -> D1 80..D1 8F.
      const unsigned char c = static_cast<unsigned char>(out[i + 1]);
      if (c >= 0x90 && c <= 0x9F) {
        out[i + 1] = static_cast<char>(c + 0x20);
      } else if (c >= 0xA0 && c <= 0xAF) {
        out[i] = static_cast<char>(0xD1);
        out[i + 1] = static_cast<char>(c - 0x20);
      }
      ++i;
    }
  }
  return out;
}

void SetAutoStart(const std::string& name, const std::string& command, bool enabled) {
  const auto folder = AutostartFolder();
  if (!folder) return;
  const std::string path = *folder + "/" + name + ".desktop";
  std::error_code ec;
  if (!enabled) {
    std::filesystem::remove(path, ec);
    return;
  }
  std::filesystem::create_directories(*folder, ec);
  const std::string entry = "[Desktop Entry]\nType=Application\nName=" + DesktopString(name) +
                            "\nExec=" + DesktopExecValue(command) +
                            "\nTerminal=false\nX-GNOME-Autostart-enabled=true\n";
  if (const int error = ReplaceFileContents(path, entry))
    throw EAutoStartError("Failed to set data for '" + name + "' in \"" + path + "\". " +
                          SystemErrorText(error));
}

void SaveResourceToFile(const std::string& resName, const std::string& resType,
                        const std::string& fileName) {
  const TResource* res = FindResource(resName, resType);
  if (!res) throw EResNotFound("Resource " + resName + " not found");
  if (const int error =
          ReplaceFileContents(fileName, {reinterpret_cast<const char*>(res->data), res->size}))
    throw EFCreateError("Cannot create file \"" + fileName + "\". " + SystemErrorText(error));
}

std::string ChangeFileExt(const std::string& path, const std::string& ext) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = path.find_last_of('.');
  // A leading dot names a hidden file; it is not an extension.
  if (dot == std::string::npos || dot <= nameStart) return path + ext;
  return path.substr(0, dot) + ext;
}

std::string ExecutableFileWithExt(const std::string& ext) {
  return ChangeFileExt(ExecutablePath(), ext);
}

}  // namespace corvina
