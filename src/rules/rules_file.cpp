#include <fstream>
#include <iterator>

#include "frame/atomic_file.h"
#include "frame/event_log.h"
#include "rules/printing_rule.h"

namespace {

void AppendUtf8(std::string &out, uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// UTF-16 text (after its byte-order mark) as UTF-8; unpaired surrogates become '?'.
std::string FromUtf16(const std::string &bytes, bool bigEndian) {
  auto unit = [&](std::size_t i) -> uint32_t {
    auto hi = static_cast<unsigned char>(bytes[bigEndian ? i : i + 1]);
    auto lo = static_cast<unsigned char>(bytes[bigEndian ? i + 1 : i]);
    return (uint32_t{hi} << 8) | lo;
  };
  std::string out;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    uint32_t code = unit(i);
    if (code >= 0xD800 && code < 0xDC00 && i + 3 < bytes.size()) {
      uint32_t low = unit(i + 2);
      if (low >= 0xDC00 && low < 0xE000) {
        AppendUtf8(out, 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
        continue;
      }
    }
    AppendUtf8(out, code >= 0xD800 && code < 0xE000 ? '?' : code);
  }
  return out;
}

// The file's text without its byte-order mark.
std::string DecodeText(const std::string &bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF"))
    return bytes.substr(3);
  if (bytes.starts_with("\xFF\xFE"))
    return FromUtf16(bytes.substr(2), false);
  if (bytes.starts_with("\xFE\xFF"))
    return FromUtf16(bytes.substr(2), true);
  return bytes;
}

// Lines end in CR LF, LF or CR; a last line without an end counts, a final
// line end does not start another line.
std::vector<std::string> SplitLines(const std::string &text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
  }
  return lines;
}

} // namespace

bool LoadRules(PrintingRules &list, const std::string &path) {
  list.Clear();
  std::ifstream file(path, std::ios::binary);
  if (!file)
    return false;
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::vector<PrintingRule> rules;
  for (const std::string &line : SplitLines(DecodeText(bytes))) {
    PrintingRule rule = ParseRule(line);
    if (LabelOf(GammaLabels(), rule.GammaIndex).empty() ||
        LabelOf(ContrastLabels(), rule.ContrastIndex).empty())
      WriteLog("WARNING, LoadRules, rule " + std::to_string(rules.size() + 1) + " (" +
               rule.AETitle + "): gamma index " + std::to_string(rule.GammaIndex) +
               ", contrast index " + std::to_string(rule.ContrastIndex) +
               " outside the lists, loaded as it is");
    rules.push_back(std::move(rule));
  }
  list.Replace(std::move(rules));
  return true;
}

bool SaveRules(const PrintingRules &list, const std::string &path) {
  std::string text;
  for (const PrintingRule &rule : list.Snapshot())
    text += FormatRule(rule) + "\r\n";
  std::string error;
  if (!WriteFileAtomically(path, reinterpret_cast<const uint8_t *>(text.data()), text.size(),
                           &error)) {
    WriteLog("ERROR, SaveRules, " + error);
    return false;
  }
  return true;
}

bool DeleteSelectedRule(PrintingRules &list, int selectedRow) {
  if (selectedRow < 1)
    return false;
  return list.Remove(static_cast<std::size_t>(selectedRow - 1));
}
