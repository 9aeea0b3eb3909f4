#pragma once
// The line-and-word text form shared by report definitions and prepared
// reports: one statement per line, words separated by blanks, values with
// blanks in double quotes (\" \\ \n inside them), ';' starting a comment line.

#include <istream>
#include <stdexcept>
#include <string>
#include <vector>

namespace corvina {

// A definition or prepared report that cannot be read, or a report that
// cannot be prepared; the message says what and where.
class EReportError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TLineReader {
 public:
  explicit TLineReader(std::istream& in) : in_(in) {}
  // The next line that is neither blank nor a comment, trimmed.
  bool Next(std::string& line);
  // The next line as it is, without its line break.
  bool NextRaw(std::string& line);
  int LineNumber() const { return lineNumber_; }
  // An EReportError naming the current line.
  [[noreturn]] void Fail(const std::string& what) const;

 private:
  std::istream& in_;
  int lineNumber_ = 0;
};

std::string Trim(const std::string& text);
// Splits a line into words; a quoted part is unquoted and may hold blanks
// (key="a b" gives the word key=a b). EReportError for an unclosed quote.
std::vector<std::string> SplitWords(const std::string& line);
// The value in double quotes, escaped so SplitWords gives it back.
std::string Quoted(const std::string& value);
// "key=value" into its two parts; a word without '=' is a key with no value.
void SplitOption(const std::string& word, std::string& key, std::string& value);

// Numbers in the text form use '.' whatever the locale.
double ParseNumber(const std::string& text);  // EReportError when it is none
std::string FormatNumber(double value);

}  // namespace corvina
