#include "platform/VersionBlock.h"

#include <elf.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

namespace corvina {
namespace {

// Reads size bytes at offset; false when the file is shorter.
bool ReadAt(std::ifstream& in, std::uint64_t offset, void* out, std::size_t size) {
  in.clear();
  in.seekg(static_cast<std::streamoff>(offset));
  in.read(static_cast<char*>(out), static_cast<std::streamsize>(size));
  return static_cast<std::size_t>(in.gcount()) == size;
}

}  // namespace

std::optional<std::string> ReadVersionBlock(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  Elf64_Ehdr header{};
  if (!in || !ReadAt(in, 0, &header, sizeof header)) return std::nullopt;
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64 ||
      header.e_shentsize != sizeof(Elf64_Shdr) || header.e_shstrndx >= header.e_shnum)
    return std::nullopt;
  std::vector<Elf64_Shdr> sections(header.e_shnum);
  if (!ReadAt(in, header.e_shoff, sections.data(), sections.size() * sizeof(Elf64_Shdr)))
    return std::nullopt;
  const Elf64_Shdr& names = sections[header.e_shstrndx];
  if (names.sh_size > (1u << 20)) return std::nullopt;
  std::string nameTable(names.sh_size, '\0');
  if (!ReadAt(in, names.sh_offset, nameTable.data(), nameTable.size())) return std::nullopt;
  for (const Elf64_Shdr& s : sections) {
    if (s.sh_name >= nameTable.size() ||
        std::strcmp(nameTable.c_str() + s.sh_name, kVersionSectionName) != 0)
      continue;
    if (s.sh_type == SHT_NOBITS || s.sh_size > (1u << 20)) return std::nullopt;
    std::string block(s.sh_size, '\0');
    if (!ReadAt(in, s.sh_offset, block.data(), block.size())) return std::nullopt;
    block.resize(std::strlen(block.c_str()));  // the block is stored zero-terminated
    return block;
  }
  return std::nullopt;
}

std::optional<std::string> QueryVersionValue(const std::string& block, const std::string& path) {
  std::istringstream lines(block);
  std::string line;
  while (std::getline(lines, line))
    if (line.size() > path.size() && line.compare(0, path.size(), path) == 0 &&
        line[path.size()] == '=')
      return line.substr(path.size() + 1);
  return std::nullopt;
}

}  // namespace corvina
