#include "core/profile.h"

#include <vector>

namespace tallyrun {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

struct Line {
  std::size_t begin;    // offset of the first byte
  std::size_t content;  // offset just past the text, before CR LF
  std::size_t end;      // offset just past the line end
};

enum class Kind { kOther, kSection, kKey };

struct Parsed {
  Kind kind = Kind::kOther;
  std::string_view name;   // section name or key
  std::string_view value;  // raw value, trimmed
};

Parsed Parse(std::string_view text) {
  const std::string_view t = Trim(text);
  if (t.empty() || t.front() == ';') return {};
  if (t.front() == '[') {
    std::string_view name = t.substr(1);
    const std::size_t close = name.find(']');
    if (close != std::string_view::npos) name = name.substr(0, close);
    return {Kind::kSection, Trim(name), {}};
  }
  const std::size_t eq = t.find('=');
  if (eq == std::string_view::npos) return {};
  return {Kind::kKey, Trim(t.substr(0, eq)), Trim(t.substr(eq + 1))};
}

std::vector<Line> SplitLines(std::string_view text) {
  std::vector<Line> lines;
  std::size_t pos = text.substr(0, kBom.size()) == kBom ? kBom.size() : 0;
  while (pos < text.size()) {
    const std::size_t nl = text.find('\n', pos);
    const std::size_t end = nl == std::string_view::npos ? text.size() : nl + 1;
    std::size_t content = nl == std::string_view::npos ? text.size() : nl;
    if (content > pos && text[content - 1] == '\r') --content;
    lines.push_back({pos, content, end});
    pos = end;
  }
  return lines;
}

std::string_view Unquote(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    return v.substr(1, v.size() - 2);
  }
  return v;
}

// A last line without its line end gets one; a CR already there is its start,
// and left alone it would become part of that line's value.
void FinishLastLine(std::string& out) {
  if (out.empty() || out.back() == '\n') return;
  out.append(out.back() == '\r' ? "\n" : "\r\n");
}

// Where the first section of the name starts and ends, by line index.
struct SectionSpan {
  std::size_t header;
  std::size_t after;  // first line past the section
};

std::optional<SectionSpan> FindSection(std::string_view text, const std::vector<Line>& lines,
                                       std::string_view section) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const Parsed p = Parse(text.substr(lines[i].begin, lines[i].content - lines[i].begin));
    if (p.kind != Kind::kSection || !EqualsIgnoringCase(p.name, section)) continue;
    std::size_t j = i + 1;
    for (; j < lines.size(); ++j) {
      if (Parse(text.substr(lines[j].begin, lines[j].content - lines[j].begin)).kind ==
          Kind::kSection) {
        break;
      }
    }
    return SectionSpan{i, j};
  }
  return std::nullopt;
}

std::string EncodeValue(std::string_view value) {
  const bool padded = !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()));
  const bool looks_quoted = Unquote(value).size() != value.size();
  const bool quote = padded || looks_quoted;
  std::string encoded;
  encoded.reserve(value.size() + 2);
  if (quote) encoded.push_back('"');
  encoded.append(value);
  if (quote) encoded.push_back('"');
  return encoded;
}

}  // namespace

std::optional<std::string> ProfileValue(std::string_view text, std::string_view section,
                                        std::string_view key) {
  const std::vector<Line> lines = SplitLines(text);
  const std::optional<SectionSpan> span = FindSection(text, lines, section);
  if (!span) return std::nullopt;
  for (std::size_t i = span->header + 1; i < span->after; ++i) {
    const Parsed p = Parse(text.substr(lines[i].begin, lines[i].content - lines[i].begin));
    if (p.kind == Kind::kKey && EqualsIgnoringCase(p.name, key)) {
      return std::string(Unquote(p.value));
    }
  }
  return std::nullopt;
}

std::string WithProfileValue(std::string_view text, std::string_view section, std::string_view key,
                             std::string_view value) {
  const std::vector<Line> lines = SplitLines(text);
  const std::string encoded = EncodeValue(value);
  std::string out;
  out.reserve(text.size() + section.size() + key.size() + encoded.size() + 8);

  const std::optional<SectionSpan> span = FindSection(text, lines, section);
  if (!span) {
    out.append(text);
    FinishLastLine(out);
    out.append("[").append(section).append("]\r\n");
    out.append(key).append("=").append(encoded).append("\r\n");
    return out;
  }

  for (std::size_t i = span->header + 1; i < span->after; ++i) {
    const Line& line = lines[i];
    const Parsed p = Parse(text.substr(line.begin, line.content - line.begin));
    if (p.kind != Kind::kKey || !EqualsIgnoringCase(p.name, key)) continue;
    out.append(text.substr(0, line.begin));
    out.append(p.name).append("=").append(encoded);
    out.append(text.substr(line.content));
    return out;
  }

  // A new key goes after the section's last non-blank line, before any blank
  // lines that set it apart from the next section.
  std::size_t last = span->header;
  for (std::size_t i = span->header + 1; i < span->after; ++i) {
    const Line& line = lines[i];
    if (!Trim(text.substr(line.begin, line.content - line.begin)).empty()) last = i;
  }
  const Line& anchor = lines[last];
  out.append(text.substr(0, anchor.end));
  FinishLastLine(out);
  out.append(key).append("=").append(encoded).append("\r\n");
  out.append(text.substr(anchor.end));
  return out;
}

}  // namespace tallyrun
