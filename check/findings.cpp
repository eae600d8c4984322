// Names, severities, order and the written form of findings.
#include "check/findings.h"

#include <algorithm>
#include <array>
#include <limits>

#include "textio/textio.h"

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

FindingStream::FindingStream(Console& out, std::string_view file, std::int64_t cap)
    : out_(out), file_(escaped(file)), cap_(cap) {}

void FindingStream::add(std::int64_t line, Code code, std::string message) {
  ++tally_[static_cast<std::size_t>(severity(code))];
  const auto c = static_cast<std::size_t>(code);
  const std::int64_t n = ++count_[c];
  if (cap_ > 0 && n > cap_) {
    // Only counted. A code's findings come in the order of their lines, so this is the first
    // one past the cap in the order they are written too.
    if (n == cap_ + 1) {
      over_at_[c] = line;
      hold_from_ = std::min(hold_from_, line);
    }
    return;
  }
  open_.push_back(Finding{line, code, std::move(message)});
}

void FindingStream::release(std::int64_t line) {
  if (open_.empty()) return;
  sort_findings(open_);
  const std::int64_t until = std::min(line, hold_from_);
  std::size_t i = 0;
  for (; i < open_.size() && open_[i].line < line; ++i) {
    if (open_[i].line < until) {
      write(open_[i]);
    } else {
      kept_.push_back(std::move(open_[i]));
    }
  }
  open_.erase(open_.begin(), open_.begin() + static_cast<std::ptrdiff_t>(i));
  flush();
}

void FindingStream::finish() {
  // kept_ came before open_, so that the order of arrival stays among equals.
  kept_.insert(kept_.end(), std::make_move_iterator(open_.begin()),
               std::make_move_iterator(open_.end()));
  open_.clear();
  sort_findings(kept_);
  struct More {
    std::int64_t line;
    Code code;
  };
  std::vector<More> more;
  for (int c = 0; c < kCodeCount; ++c) {
    const auto k = static_cast<std::size_t>(c);
    if (cap_ > 0 && count_[k] > cap_) more.push_back(More{over_at_[k], static_cast<Code>(c)});
  }
  std::stable_sort(more.begin(), more.end(),
                   [](const More& a, const More& b) { return a.line < b.line; });
  std::size_t m = 0;
  const auto more_before = [&](std::int64_t line) {
    for (; m < more.size() && more[m].line < line; ++m) {
      text_ += file_;
      text_ += ':';
      text_ += std::to_string(more[m].line);
      text_ += ": note: ";
      text_ += std::to_string(count_[static_cast<std::size_t>(more[m].code)] - cap_);
      text_ += " more findings of this code [more]\n";
    }
  };
  for (const Finding& f : kept_) {
    more_before(f.line);
    write(f);
  }
  more_before(std::numeric_limits<std::int64_t>::max());
  kept_.clear();
  flush();
}

void FindingStream::write(const Finding& finding) {
  append_finding(text_, file_, finding);
  if (text_.size() >= (1u << 16)) flush();
}

void FindingStream::flush() {
  if (text_.empty()) return;
  out_.write(text_);
  text_.clear();
}

}  // namespace corvane
