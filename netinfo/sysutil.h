#pragma once
// Small system helpers: byte-count text, system description, memory size,
// Cyrillic lower-casing, log-on autostart, resources to files, file names.

#include <cstdint>
#include <stdexcept>
#include <string>

#include "framework/FormatSettings.h"

namespace corvina {

class EResNotFound : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
class EFCreateError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
class EAutoStartError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "0", "1", "2 байт" .. "1 024 байт", then "1,0 Кб" and up, in fs's separators.
std::string FormatByteCount(std::int64_t count,
                            const TFormatSettings& fs = DefaultFormatSettings());

// The Windows version text for a version record.
std::string GetWindowsVersionText(unsigned platformId, unsigned major, unsigned minor,
                                  std::uint32_t build, const std::string& servicePack);
// The same shape for Linux: "<pretty name> (Build <kernel release>: <machine>)".
std::string FormatLinuxVersionText(const std::string& prettyName, const std::string& release,
                                   const std::string& machine);
// The running system's text as the about box shows it.
std::string GetSystemVersionText();
// PRETTY_NAME of an os-release text, else NAME, else "Linux".
std::string ParseOsReleasePrettyName(const std::string& osRelease);

std::uint64_t GetTotalPhysicalMemory();

// Windows-1251 text: A..Z and А..Я (0xC0..0xDF) lowered, everything else, Ё included, kept.
std::string LowerCaseCyrillic(const std::string& text);
// The same mapping for UTF-8 text.
std::string LowerCaseCyrillicUtf8(const std::string& text);

// Enabled: writes or replaces the log-on autostart entry Name that runs
// Command. Disabled: removes it when present. Does nothing when the user's
// home cannot be found; a failed write raises EAutoStartError.
void SetAutoStart(const std::string& name, const std::string& command, bool enabled);

// Writes the embedded resource to fileName through a temporary file in the
// same folder, so a failed write never leaves a partial file behind.
void SaveResourceToFile(const std::string& resName, const std::string& resType,
                        const std::string& fileName);

// Replaces the last extension of the file name (not of a folder); appends
// ext when there is none. ext includes its dot.
std::string ChangeFileExt(const std::string& path, const std::string& ext);
// The running executable's path with its extension replaced.
std::string ExecutableFileWithExt(const std::string& ext);

}  // namespace corvina
