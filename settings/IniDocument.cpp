#include "settings/IniDocument.h"

#include <algorithm>

namespace corvina {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view s) {
  const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The key of a name in the indexes: two names match when their keys are equal.
std::string Key(std::string_view name) {
  std::string key(name);
  for (char& c : key) c = LowerAscii(c);
  return key;
}

// The name part of a "name=value" line; nullopt for a line without "=".
std::optional<std::string_view> LineName(std::string_view line) {
  const std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return line.substr(0, eq);
}

}  // namespace

bool SameTextAscii(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

void TIniDocument::Clear() {
  sections_.clear();
  sectionIndex_.clear();
}

void TIniDocument::TSection::Append(std::string line) {
  if (const auto name = LineName(line)) FirstLine.try_emplace(Key(*name), Lines.size());
  Lines.push_back(std::move(line));
}

void TIniDocument::Load(std::string_view text) {
  Clear();
  if (text.starts_with(kUtf8Bom)) text.remove_prefix(kUtf8Bom.size());
  TSection* current = nullptr;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find_first_of("\r\n"), text.size());
    const std::string_view line = Trim(text.substr(0, end));
    std::size_t next = end;
    if (next < text.size()) next += text.compare(next, 2, "\r\n") == 0 ? 2 : 1;
    text.remove_prefix(next);

    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
      current = &SectionForWrite(Trim(line.substr(1, line.size() - 2)));
      continue;
    }
    if (!current) continue;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      current->Append(std::string(line));
    } else {
      std::string entry(Trim(line.substr(0, eq)));
      entry += '=';
      entry += Trim(line.substr(eq + 1));
      current->Append(std::move(entry));
    }
  }
}

std::string TIniDocument::Text() const {
  std::string text;
  for (const TSection& section : sections_) {
    text += '[' + section.Name + "]\r\n";
    for (const std::string& line : section.Lines) text += line + "\r\n";
    text += "\r\n";
  }
  return text;
}

std::optional<std::string> TIniDocument::Read(std::string_view section,
                                              std::string_view name) const {
  const TSection* s = FindSection(section);
  if (!s) return std::nullopt;
  const auto it = s->FirstLine.find(Key(name));
  if (it == s->FirstLine.end()) return std::nullopt;
  return s->Lines[it->second].substr(name.size() + 1);
}

void TIniDocument::Write(std::string_view section, std::string_view name, std::string_view value) {
  std::string entry(name);
  entry += '=';
  entry += value;
  TSection& s = SectionForWrite(section);
  if (const auto it = s.FirstLine.find(Key(name)); it != s.FirstLine.end())
    s.Lines[it->second] = std::move(entry);
  else
    s.Append(std::move(entry));
}

const TIniDocument::TSection* TIniDocument::FindSection(std::string_view name) const {
  const auto it = sectionIndex_.find(Key(name));
  return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

TIniDocument::TSection& TIniDocument::SectionForWrite(std::string_view name) {
  const auto [it, added] = sectionIndex_.try_emplace(Key(name), sections_.size());
  if (added) sections_.push_back(TSection{std::string(name), {}, {}});
  return sections_[it->second];
}

}  // namespace corvina
