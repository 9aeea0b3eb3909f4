#pragma once
// An INI document held in memory: ordered sections of ordered "name=value"
// lines. Names match without regard to ASCII letter case. It knows no file;
// the settings store decides where its text comes from and goes to. Look-ups
// go through indexes, so a hand-made file of a million lines or sections
// costs no more per look-up than one of ten.

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace corvina {

class TIniDocument {
 public:
  // Replaces the content with the lines of text (CR LF, CR or LF line ends;
  // a leading UTF-8 byte-order mark is skipped). Lines are trimmed of blanks
  // and control characters; empty lines, ";" comments and lines before the
  // first section are dropped; "name = value" becomes "name=value"; a line
  // without "=" stays in its section as it is and matches no name. A section
  // header seen again continues the section of that name.
  void Load(std::string_view text);
  void Clear();

  // The file text: per section "[name]", its lines, one empty line; every
  // line ends with CR LF.
  std::string Text() const;

  // The value of the first line of section that has name; nullopt when there is none.
  std::optional<std::string> Read(std::string_view section, std::string_view name) const;
  // Replaces the first line with that name in place (taking the new name's
  // letter case), else appends it to the section; a missing section is
  // created at the end of the document.
  void Write(std::string_view section, std::string_view name, std::string_view value);

  bool operator==(const TIniDocument&) const = default;

 private:
  struct TSection {
    std::string Name;
    std::vector<std::string> Lines;
    // The position of each name's first line, by the name in lower case.
    std::unordered_map<std::string, std::size_t> FirstLine;
    bool operator==(const TSection&) const = default;
    void Append(std::string line);
  };
  const TSection* FindSection(std::string_view name) const;
  TSection& SectionForWrite(std::string_view name);

  std::vector<TSection> sections_;
  std::unordered_map<std::string, std::size_t> sectionIndex_;  // by the name in lower case
};

// ASCII letters compared without regard to case; all other bytes must be equal.
bool SameTextAscii(std::string_view a, std::string_view b);

}  // namespace corvina
