#pragma once
// The version block an executable carries: language and code page plus named
// texts, stored on Linux in the ELF section ".corvina_version" as lines
//   \VarFileInfo\Translation=041904E3
//   \StringFileInfo\041904E3\FileVersion=1.0.0.190
// so that another program can read it from the file without running it.

#include <optional>
#include <string>

namespace corvina {

constexpr const char* kVersionSectionName = ".corvina_version";

// The raw block of the named executable; nullopt when the file cannot be read
// or carries no block.
std::optional<std::string> ReadVersionBlock(const std::string& fileName);

// The value of one path in a block ("\VarFileInfo\Translation",
// "\StringFileInfo\041904E3\ProductName"); nullopt when absent.
std::optional<std::string> QueryVersionValue(const std::string& block, const std::string& path);

}  // namespace corvina
