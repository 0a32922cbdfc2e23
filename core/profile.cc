#include "core/profile.h"

#include <vector>

#include "core/ascii.h"
#include "core/text_reading.h"
#include "core/utf16.h"

namespace tallyrun {
namespace {

// Windows trims these around names and values; ^Z ends many DOS-era files.
constexpr std::string_view kBlanks = " \t\n\v\f\r\x1A";
constexpr std::string_view kLineEnds = "\r\n";

struct Line {
  std::size_t begin;    // offset of the first byte
  std::size_t content;  // offset just past the text, before its line end
  std::size_t end;      // offset just past the line end: any run of CR and LF
};

enum class Kind { kOther, kSection, kKey };

struct Parsed {
  Kind kind = Kind::kOther;
  std::string_view name;                  // section name or key
  std::optional<std::string_view> value;  // trimmed; none for a key without "="
};

std::string_view UpToNul(std::string_view s) { return s.substr(0, s.find('\0')); }

// Windows never takes a name holding a NUL for the one asked for.
bool NamesMatch(std::string_view name, std::string_view asked) {
  return name.find('\0') == std::string_view::npos && EqualsIgnoringAsciiCase(name, asked);
}

bool IsCp932Lead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
bool IsCp932Trail(unsigned char c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

// A section name runs to the line's last "]", which in CP932 text is never
// the second byte of a double-byte character.
std::size_t LastClosingBracket(std::string_view t, bool cp932) {
  std::size_t last = std::string_view::npos;
  for (std::size_t i = 1; i < t.size(); ++i) {
    const auto c = static_cast<unsigned char>(t[i]);
    if (cp932 && IsCp932Lead(c) && i + 1 < t.size() &&
        IsCp932Trail(static_cast<unsigned char>(t[i + 1]))) {
      ++i;
    } else if (c == ']') {
      last = i;
    }
  }
  return last;
}

Parsed Parse(std::string_view text, bool cp932) {
  const std::string_view t = Trimmed(text, kBlanks);
  if (t.empty() || t.front() == ';') return {};
  if (t.front() == '[') {
    const std::size_t close = LastClosingBracket(t, cp932);
    if (close != std::string_view::npos) {
      return {Kind::kSection, Trimmed(t.substr(1, close - 1), kBlanks), {}};
    }
  }
  const std::size_t eq = t.find('=');
  if (eq == std::string_view::npos) return {Kind::kKey, Trimmed(t, kBlanks), {}};
  return {Kind::kKey, Trimmed(t.substr(0, eq), kBlanks),
          Trimmed(UpToNul(t.substr(eq + 1)), kBlanks)};
}

// A settings file as the parts the rules work on.
class Profile {
 public:
  // `converted` from UTF-16: no line of it is CP932.
  Profile(std::string_view text, bool converted)
      : text_(text), legacy_(!converted && !text.starts_with(kUtf8Mark)) {
    std::size_t pos = text.starts_with(kUtf8Mark) ? kUtf8Mark.size() : 0;
    while (pos < text.size()) {
      const std::size_t content = std::min(text.find_first_of(kLineEnds, pos), text.size());
      const std::size_t end = std::min(text.find_first_not_of(kLineEnds, content), text.size());
      lines_.push_back({pos, content, end});
      pos = end;
    }
  }

  const std::vector<Line>& lines() const { return lines_; }
  std::string_view text() const { return text_; }
  // Without a byte order mark, a line is read by the rule of text_reading.h,
  // line by line: a value written in one cannot change how the others read.
  Parsed At(std::size_t i) const {
    const std::string_view line =
        text_.substr(lines_[i].begin, lines_[i].content - lines_[i].begin);
    return Parse(line, legacy_ && ReadingOf(line) == Reading::kCp932);
  }

  // The lines of the first section of that name: from its header to the
  // next header.
  std::optional<std::pair<std::size_t, std::size_t>> Section(std::string_view name) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      const Parsed p = At(i);
      if (p.kind != Kind::kSection || !NamesMatch(p.name, name)) continue;
      std::size_t j = i + 1;
      while (j < lines_.size() && At(j).kind != Kind::kSection) ++j;
      return std::pair{i, j};
    }
    return std::nullopt;
  }

  // The first line of that key in the section; it hides every later one.
  std::optional<std::size_t> Key(std::pair<std::size_t, std::size_t> section,
                                 std::string_view key) const {
    for (std::size_t i = section.first + 1; i < section.second; ++i) {
      const Parsed p = At(i);
      if (p.kind == Kind::kKey && NamesMatch(p.name, key)) return i;
    }
    return std::nullopt;
  }

  // The file's own line end, for lines added to it.
  std::string_view LineEnd() const {
    if (lines_.empty()) return "\r\n";
    const std::string_view run = text_.substr(lines_[0].content, lines_[0].end - lines_[0].content);
    return run == "\n" || run == "\r" ? run : "\r\n";
  }

 private:
  std::string_view text_;
  bool legacy_;
  std::vector<Line> lines_;
};

std::string_view Unquote(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    return v.substr(1, v.size() - 2);
  }
  return v;
}

std::string EncodeValue(std::string_view value) {
  const bool padded = !value.empty() && (kBlanks.find(value.front()) != std::string_view::npos ||
                                         kBlanks.find(value.back()) != std::string_view::npos);
  const bool quote = padded || Unquote(value).size() != value.size();
  if (!quote) return std::string(value);
  std::string quoted;
  quoted.reserve(value.size() + 2);
  quoted.append(1, '"').append(value).append(1, '"');
  return quoted;
}

std::optional<std::string> ValueInBytes(std::string_view text, std::string_view section,
                                        std::string_view key, bool converted) {
  const Profile profile(text, converted);
  const auto span = profile.Section(section);
  if (!span) return std::nullopt;
  const std::optional<std::size_t> line = profile.Key(*span, key);
  if (!line) return std::nullopt;
  const std::optional<std::string_view> value = profile.At(*line).value;
  if (!value) return std::nullopt;
  return std::string(Unquote(*value));
}

// Where a new line goes after line `i`: past its first line end, so that
// blank lines setting a section apart stay after the new line.
std::size_t AfterFirstLineEnd(const Profile& profile, std::size_t i) {
  const Line& line = profile.lines()[i];
  const std::string_view run = profile.text().substr(line.content, line.end - line.content);
  return line.content + (run.starts_with("\r\n") ? 2 : run.empty() ? 0 : 1);
}

std::string WithValueInBytes(std::string_view text, std::string_view section, std::string_view key,
                             std::string_view value, bool converted) {
  const Profile profile(text, converted);
  const std::string entry = std::string(key) + "=" + EncodeValue(value);
  const std::string_view line_end = profile.LineEnd();
  const auto span = profile.Section(section);
  std::string out(text);
  if (!span) {
    if (!out.empty() && kLineEnds.find(out.back()) == std::string_view::npos) out += line_end;
    return out.append("[").append(section).append("]").append(line_end) + entry +
           std::string(line_end);
  }
  if (const std::optional<std::size_t> line = profile.Key(*span, key)) {
    const Line& at = profile.lines()[*line];
    return out.replace(at.begin, at.content - at.begin,
                       std::string(profile.At(*line).name) + entry.substr(key.size()));
  }
  // After the section's last line that holds anything.
  std::size_t last = span->first;
  for (std::size_t i = span->first + 1; i < span->second; ++i) {
    const Line& line = profile.lines()[i];
    if (!Trimmed(text.substr(line.begin, line.content - line.begin), kBlanks).empty()) last = i;
  }
  const std::size_t at = AfterFirstLineEnd(profile, last);
  const bool ended = at > profile.lines()[last].content;
  return out.insert(at, (ended ? "" : std::string(line_end)) + entry + std::string(line_end));
}

}  // namespace

std::optional<std::string> ProfileValue(std::string_view text, std::string_view section,
                                        std::string_view key) {
  if (const std::optional<ByteOrder> order = Utf16MarkOf(text)) {
    return ValueInBytes(Utf16ToUtf8(text.substr(2), *order), section, key, true);
  }
  return ValueInBytes(text, section, key, false);
}

std::string WithProfileValue(std::string_view text, std::string_view section, std::string_view key,
                             std::string_view value) {
  const std::optional<ByteOrder> order = Utf16MarkOf(text);
  if (!order) return WithValueInBytes(text, section, key, value, false);
  const std::string utf8 =
      WithValueInBytes(Utf16ToUtf8(text.substr(2), *order), section, key, value, true);
  std::string out(text.substr(0, 2));
  out += Utf8ToUtf16(utf8, *order);
  // A last odd byte belongs to no character; it stays where it was.
  if (text.size() % 2 != 0) out.push_back(text.back());
  return out;
}

}  // namespace tallyrun
