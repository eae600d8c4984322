// Names, severities, order and the written form of findings.
#include "check/findings.h"

#include <algorithm>
#include <array>

namespace corvane {

namespace {

struct CodeInfo {
  std::string_view name;
  Severity severity;
};

constexpr std::array<CodeInfo, kCodeCount> kCodes = {{
    {"open", Severity::error},
    {"text-limit", Severity::error},
    {"too-long", Severity::error},
    {"sd-bad-count", Severity::error},
    {"catalogue-full", Severity::error},
    {"text-in-series", Severity::warning},
    {"damaged-first-line", Severity::warning},
    {"decade-step", Severity::warning},
    {"id-change", Severity::warning},
    {"unterminated", Severity::warning},
    {"duplicate-id", Severity::warning},
    {"negative-value", Severity::warning},
    {"empty-series", Severity::warning},
    {"after-marker", Severity::warning},
    {"ignored-slot", Severity::warning},
    {"blank-value", Severity::warning},
    {"embedded-blank", Severity::warning},
    {"zero-line", Severity::warning},
    {"sd-bad-value", Severity::warning},
    {"sd-early-end", Severity::warning},
    {"sd-bad-format", Severity::warning},
    {"beyond-80", Severity::note},
    {"year-in-id", Severity::note},
    {"mixed-precision", Severity::note},
}};

const CodeInfo& info(Code code) { return kCodes[static_cast<std::size_t>(code)]; }

}  // namespace

std::string_view code_name(Code code) { return info(code).name; }

Severity severity(Code code) { return info(code).severity; }

std::string_view severity_name(Severity severity) {
  switch (severity) {
    case Severity::error:
      return "error";
    case Severity::warning:
      return "warning";
    case Severity::note:
      return "note";
  }
  return "note";
}

void sort_findings(std::vector<Finding>& findings) {
  std::stable_sort(findings.begin(), findings.end(), [](const Finding& a, const Finding& b) {
    return a.line != b.line ? a.line < b.line : a.code < b.code;
  });
}

void append_finding(std::string& out, std::string_view file, const Finding& finding) {
  out += file;
  out += ':';
  out += std::to_string(finding.line);
  out += ": ";
  out += severity_name(severity(finding.code));
  out += ": ";
  out += finding.message;
  out += " [";
  out += code_name(finding.code);
  out += "]\n";
}

std::string quoted(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string s = "\"";
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      s += '\\';
      s += c;
    } else if (c == '\t') {
      s += "\\t";
    } else if (u < 0x20 || u > 0x7E) {
      s += "\\x";
      s += kHex[u >> 4];
      s += kHex[u & 0xF];
    } else {
      s += c;
    }
  }
  s += '"';
  return s;
}

}  // namespace corvane
