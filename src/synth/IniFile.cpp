#include "synth/IniFile.h"

#include <cstdio>

#include "shell/UserFile.h"

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

std::string Bounded(std::string_view text, std::size_t bufferSize) {
  if (bufferSize == 0) return {};
  return std::string(text.substr(0, bufferSize - 1));
}

// A value keeps one line: anything from the first line break on cannot be stored.
std::string_view OneLine(std::string_view value) {
  const std::size_t end = value.find_first_of("\r\n");
  return end == std::string_view::npos ? value : value.substr(0, end);
}

}  // namespace

std::string IniFile::Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

void IniFile::Classify(Line& line) {
  const std::string_view t = Trim(line.text);
  line.name.clear();
  if (t.empty()) {
    line.kind = LineKind::Blank;
  } else if (t.front() == ';') {
    line.kind = LineKind::Comment;
  } else if (t.front() == '[') {
    const std::size_t close = t.find(']');
    line.kind = LineKind::Section;
    line.name = Lower(Trim(t.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1)));
  } else if (const std::size_t eq = t.find('='); eq != std::string_view::npos) {
    line.kind = LineKind::Key;
    line.name = Lower(Trim(t.substr(0, eq)));
  } else {
    line.kind = LineKind::Other;
  }
}

IniFile IniFile::FromText(std::string_view text) {
  IniFile ini;
  ini.Parse(text);
  return ini;
}

void IniFile::Parse(std::string_view text) {
  lines_.clear();
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    Line line;
    if (end == std::string_view::npos) {
      line.text.assign(text.substr(start));
      start = text.size();
    } else {
      std::size_t contentEnd = end;
      line.ending = Ending::Lf;
      if (contentEnd > start && text[contentEnd - 1] == '\r') {
        --contentEnd;
        line.ending = Ending::CrLf;
      }
      line.text.assign(text.substr(start, contentEnd - start));
      start = end + 1;
    }
    Classify(line);
    lines_.push_back(std::move(line));
  }
  Reindex();
}

void IniFile::Reindex() {
  sections_.clear();
  keys_.clear();
  int section = -1;
  std::string sectionName;
  bool firstOfName = false;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    Line& line = lines_[i];
    if (line.kind == LineKind::Section) {
      section = static_cast<int>(i);
      sectionName = line.name;
      firstOfName = sections_.emplace(line.name, section).second;
    }
    line.section = section;
    // Keys before the first section and keys of a repeated section are never found.
    if (line.kind == LineKind::Key && section >= 0 && firstOfName) {
      keys_.emplace(sectionName + '\n' + line.name, static_cast<int>(i));
    }
  }
}

bool IniFile::Load(const std::string& path) {
  lines_.clear();
  Reindex();
  std::string text;
  const UserFile::Result result = UserFile::ReadWhole(path, kMaxFileSize, &text);
  exists_ = result != UserFile::Result::kMissing;
  refused_ = result == UserFile::Result::kRefused;
  if (result != UserFile::Result::kRead) return false;
  Parse(text);
  return true;
}

bool IniFile::Save(const std::string& path) const {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = true;
  const std::string text = ToText();
  ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  ok = std::fflush(file) == 0 && ok;
  ok = std::fclose(file) == 0 && ok;
  return ok;
}

int IniFile::FindSection(std::string_view lowerSection) const {
  const auto it = sections_.find(std::string(lowerSection));
  return it == sections_.end() ? -1 : it->second;
}

int IniFile::FindKey(int sectionLine, std::string_view lowerKey) const {
  if (sectionLine < 0) return -1;
  const auto it = keys_.find(lines_[static_cast<std::size_t>(sectionLine)].name + '\n' + std::string(lowerKey));
  return it == keys_.end() ? -1 : it->second;
}

std::string IniFile::Get(std::string_view section, std::string_view key, std::string_view fallback,
                         std::size_t bufferSize) const {
  const int line = FindKey(FindSection(Lower(Trim(section))), Lower(Trim(key)));
  if (line < 0) return Bounded(fallback, bufferSize);
  const std::string& text = lines_[static_cast<std::size_t>(line)].text;
  std::string_view value = Trim(std::string_view(text).substr(text.find('=') + 1));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return Bounded(value, bufferSize);
}

bool IniFile::Has(std::string_view section, std::string_view key) const {
  return FindKey(FindSection(Lower(Trim(section))), Lower(Trim(key))) >= 0;
}

IniFile::Ending IniFile::NewLineEnding() const {
  // Follow the file's own convention.
  for (const Line& line : lines_) {
    if (line.ending != Ending::None) return line.ending;
  }
  return Ending::Lf;
}

IniFile::Line IniFile::MakeLine(std::string text, Ending ending) {
  Line line;
  line.text = std::move(text);
  line.ending = ending;
  Classify(line);
  return line;
}

std::string IniFile::Bracketed(std::string_view name) {
  std::string text;
  text.reserve(name.size() + 2);
  text.push_back('[');
  text.append(name);
  text.push_back(']');
  return text;
}

void IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
  const std::string_view sectionName = Trim(section);
  const std::string_view keyName = Trim(key);
  if (sectionName.empty() || keyName.empty()) return;
  std::string keyText(keyName);
  keyText.push_back('=');
  keyText.append(OneLine(value));
  Line keyLine = MakeLine(std::move(keyText), NewLineEnding());

  const int header = FindSection(Lower(sectionName));
  if (header < 0) {
    if (!lines_.empty() && lines_.back().ending == Ending::None) lines_.back().ending = keyLine.ending;
    lines_.push_back(MakeLine(Bracketed(sectionName), keyLine.ending));
    lines_.push_back(std::move(keyLine));
    Reindex();
    return;
  }
  if (const int existing = FindKey(header, Lower(keyName)); existing >= 0) {
    Line& line = lines_[static_cast<std::size_t>(existing)];
    line.text = std::move(keyLine.text);
    Classify(line);
    Reindex();
    return;
  }
  // After the last key of the section, else right after its header.
  std::size_t at = static_cast<std::size_t>(header) + 1;
  for (std::size_t i = at; i < lines_.size() && lines_[i].kind != LineKind::Section; ++i) {
    if (lines_[i].kind == LineKind::Key || lines_[i].kind == LineKind::Other) at = i + 1;
  }
  if (lines_[at - 1].ending == Ending::None) lines_[at - 1].ending = keyLine.ending;
  if (at == lines_.size()) keyLine.ending = lines_[at - 1].ending;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::move(keyLine));
  Reindex();
}

void IniFile::RemoveKeys(std::string_view section) {
  const std::string_view sectionName = Trim(section);
  if (sectionName.empty()) return;
  const int header = FindSection(Lower(sectionName));
  if (header < 0) {
    // An emptied section still shows its header, as it does after its keys were removed.
    const Ending ending = NewLineEnding();
    if (!lines_.empty() && lines_.back().ending == Ending::None) lines_.back().ending = ending;
    lines_.push_back(MakeLine(Bracketed(sectionName), ending));
    Reindex();
    return;
  }
  std::size_t end = static_cast<std::size_t>(header) + 1;
  while (end < lines_.size() && lines_[end].kind != LineKind::Section) ++end;
  std::vector<Line> kept;
  kept.reserve(lines_.size());
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const bool inSection = i > static_cast<std::size_t>(header) && i < end;
    if (inSection && (lines_[i].kind == LineKind::Key || lines_[i].kind == LineKind::Other)) continue;
    kept.push_back(std::move(lines_[i]));
  }
  lines_ = std::move(kept);
  Reindex();
}

std::string IniFile::ToText() const {
  std::string text;
  for (const Line& line : lines_) {
    text += line.text;
    if (line.ending == Ending::CrLf) text += '\r';
    if (line.ending != Ending::None) text += '\n';
  }
  return text;
}
