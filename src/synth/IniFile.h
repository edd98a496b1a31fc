#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// A small INI document with the observable behaviour of the desktop private-profile functions:
//   - "[Section]" headers and "key=value" lines; sections and keys match without regard to ASCII
//     letter case, white space around names and values is ignored, a value wrapped in one pair of
//     matching quotes loses them; lines starting with ';' are comments;
//   - the first section of a name and the first key of a name within it win;
//   - values are read into bounded buffers: at most bufferSize - 1 characters;
//   - a write replaces one key's line in place (or adds the key at the end of its section, or adds
//     the section at the end of the file) and keeps every other line as it was, line ends included;
//   - removing a section's keys keeps its header, its comments and its blank lines (and adds the
//     header of a missing section);
//   - a missing file reads as an empty document, so every key reads as its default.
class IniFile {
 public:
  // Larger files are not read (every key reads as its default) and never rewritten.
  static constexpr std::size_t kMaxFileSize = 64u * 1024u * 1024u;

  IniFile() = default;

  // Parses text as the contents of a file.
  static IniFile FromText(std::string_view text);

  // Reads path. Answers false (document left empty) when the file does not exist, cannot be read,
  // is not a regular file or is larger than kMaxFileSize; Exists() tells the first case apart.
  bool Load(const std::string& path);
  // Writes the document to path, replacing the file. Answers false when it cannot be written.
  bool Save(const std::string& path) const;
  // Whether the file existed at the last Load.
  bool Exists() const { return exists_; }
  // Whether the last Load refused the file (unreadable or too large): such a document must not be
  // saved over the file it came from.
  bool Refused() const { return refused_; }

  // The value of section/key, at most bufferSize - 1 characters of it; fallback (bounded the same
  // way) when the key is absent. bufferSize 0 gives "".
  std::string Get(std::string_view section, std::string_view key, std::string_view fallback,
                  std::size_t bufferSize) const;
  bool Has(std::string_view section, std::string_view key) const;

  void Set(std::string_view section, std::string_view key, std::string_view value);
  // Removes every key of the section; the header stays, and is added when the section is missing.
  void RemoveKeys(std::string_view section);

  std::string ToText() const;

 private:
  enum class LineKind { Blank, Comment, Section, Key, Other };
  enum class Ending { None, Lf, CrLf };
  struct Line {
    std::string text;              // without the line end
    Ending ending = Ending::None;  // None only for a last line without one
    LineKind kind = LineKind::Other;
    std::string name;    // lower-case section or key name
    int section = -1;    // index of the section header line this line belongs to, -1 before any
  };

  static void Classify(Line& line);
  static std::string Lower(std::string_view text);
  void Parse(std::string_view text);
  void Reindex();
  // Index of the header line of the first section of this name, or -1.
  int FindSection(std::string_view lowerSection) const;
  // Index of the first key line of this name in the section, or -1.
  int FindKey(int sectionLine, std::string_view lowerKey) const;
  Ending NewLineEnding() const;
  static Line MakeLine(std::string text, Ending ending);
  static std::string Bracketed(std::string_view name);

  std::vector<Line> lines_;
  // Lower-case section name -> header line of its first occurrence.
  std::unordered_map<std::string, int> sections_;
  // Lower-case "section\nkey" -> first key line within the first section of that name.
  std::unordered_map<std::string, int> keys_;
  bool exists_ = false;
  bool refused_ = false;
};
