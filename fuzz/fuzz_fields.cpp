// The input rules of the layout engine: a field description and a line in, values or an
// outcome out. The word-at-a-time integer rule is checked against the general one, and runs
// of plain full lines by each vector conversion against the word-at-a-time one.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_util.h"
#include "readers/decade_line.h"
#include "textio/textio.h"

namespace {

// The integer field rule written plainly, to compare the program's fast paths with.
bool reference_integer(std::string_view field, std::int32_t& out) {
  std::int64_t acc = 0;
  bool neg = false, sign = false, digits = false;
  for (const char c : field) {
    if (c == ' ') continue;
    if (c >= '0' && c <= '9') {
      digits = true;
      acc = acc * 10 + (c - '0');
      if (acc > 2147483648LL) return false;
    } else if ((c == '+' || c == '-') && !sign && !digits) {
      sign = true;
      neg = c == '-';
    } else {
      return false;
    }
  }
  if (!digits) {
    if (sign) return false;
    out = 0;
    return true;
  }
  if (neg) acc = -acc;
  if (acc > 2147483647LL) return false;
  out = static_cast<std::int32_t>(acc);
  return true;
}

// Lines as the line files must give them: a byte-order mark at the start skipped; a line ends
// at a line feed, or at a run of carriage returns and at most one line feed after it.
std::vector<std::string> reference_lines(std::string_view in) {
  std::vector<std::string> lines;
  if (in.starts_with("\xEF\xBB\xBF")) in.remove_prefix(3);
  std::string line;
  std::size_t i = 0;
  while (i < in.size()) {
    const char c = in[i];
    if (c == '\n' || c == '\r') {
      lines.push_back(line);
      line.clear();
      if (c == '\r') {
        while (i < in.size() && in[i] == '\r') ++i;
        if (i < in.size() && in[i] == '\n') ++i;
      } else {
        ++i;
      }
      continue;
    }
    line.push_back(c);
    ++i;
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

// The line file over the input, read in pieces of a size the input picks, against the plain
// split, with a step back now and then; the line numbers must follow.
void check_line_file(std::string_view in) {
  corvane::testing::MemoryFiles files;
  files.add_file("f", in);
  files.read_in_pieces(in.empty() ? 1 : static_cast<unsigned char>(in[0]) % 17 + 1);
  int error = 0;
  corvane::LineFile file(files.open_input("f", error));
  const auto expected = reference_lines(in);
  std::size_t i = 0;
  while (const auto line = file.next_line()) {
    if (i >= expected.size() || *line != expected[i]) std::abort();
    if (file.line_number() != static_cast<std::int64_t>(i + 1)) std::abort();
    if ((i + line->size()) % 7 == 0) {
      file.step_back();
      if (file.next_line() != line) std::abort();
    }
    ++i;
  }
  if (i != expected.size()) std::abort();
}

// Layouts of one integer field at columns 1 to 12, widths 1 to 9, built once.
const std::vector<corvane::Layout>& placed_integers() {
  static const std::vector<corvane::Layout> layouts = [] {
    std::vector<corvane::Layout> v;
    for (std::int32_t col = 1; col <= 12; ++col) {
      for (std::int32_t w = 1; w <= 9; ++w)
        v.push_back({corvane::column(col), corvane::integer(w)});
    }
    return v;
  }();
  return layouts;
}

// Runs of plain full lines by every conversion the processor has, against the word-at-a-time
// one, and each line taken against the general line rule; with and without a check.
void check_plain_lines(std::string_view in) {
  using namespace corvane;
  const decade::PlainCheck check{0x2020202020202020ULL, ~std::uint64_t{0}, 0};
  for (const LayoutCode code : {LayoutCode::mr, LayoutCode::ir}) {
    const float unit = code == LayoutCode::mr ? 0.01f : 0.001f;
    const std::size_t width = code == LayoutCode::mr ? 72 : 80;
    for (const decade::PlainCheck* c : {static_cast<const decade::PlainCheck*>(nullptr), &check}) {
      std::vector<float> want(80), got(80);
      const decade::PlainRun ref =
          decade::plain_lines(code, decade::VectorPath::none)(in, want.data(), 8, c);
      std::string_view rest = in;
      for (std::int32_t k = 0; k < ref.lines; ++k) {
        DecadeLine fields;
        if (!read_decade_line(rest.substr(0, width), code, fields)) std::abort();
        for (std::size_t i = 0; i < 10; ++i) {
          if (static_cast<float>(fields.values[i]) * unit !=
              want[10 * static_cast<std::size_t>(k) + i])
            std::abort();
        }
        rest.remove_prefix(rest[width] == '\n' ? width + 1 : width + 2);
      }
      for (const auto path : {decade::VectorPath::sse41, decade::VectorPath::avx2}) {
        if (!decade::supports(path)) continue;
        const decade::PlainRun run = decade::plain_lines(code, path)(in, got.data(), 8, c);
        if (run.lines != ref.lines || run.bytes != ref.bytes || run.exact != ref.exact ||
            (run.exact && run.sum != ref.sum) ||
            !std::equal(got.begin(), got.begin() + 10 * static_cast<std::ptrdiff_t>(run.lines),
                        want.begin())) {
          std::abort();
        }
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view in = corvane::fuzz::as_text(data, size);
  check_line_file(in);
  check_plain_lines(in);

  // Every prefix of up to 12 bytes as an integer field, alone and placed in a line.
  for (std::size_t w = 0; w <= std::min<std::size_t>(in.size(), 12); ++w) {
    const std::string_view field = in.substr(0, w);
    std::int32_t a = 7, b = 7;
    const bool ok_a = corvane::parse_integer_field(field, a);
    const bool ok_b = reference_integer(field, b);
    if (ok_a != ok_b || (ok_a && a != b)) std::abort();
    float f = 0.0f;
    if (corvane::parse_real_field(field, 3, f) && std::isnan(f)) std::abort();
  }
  const std::size_t cut = in.find('\n');
  const std::string_view line = cut == std::string_view::npos ? in : in.substr(cut + 1);
  for (std::int32_t col = 1; col <= 12; ++col) {
    for (std::int32_t w = 1; w <= 9; ++w) {
      const corvane::Layout& layout =
          placed_integers()[static_cast<std::size_t>((col - 1) * 9 + (w - 1))];
      std::int32_t v = 7, ref = 7;
      const corvane::Var var = corvane::Var::of(v);
      const auto r = corvane::read_layout_from_text(line, layout, std::span(&var, 1));
      const std::string_view field =
          static_cast<std::size_t>(col - 1) < line.size()
              ? line.substr(static_cast<std::size_t>(col - 1), static_cast<std::size_t>(w))
              : std::string_view();
      const bool ok = reference_integer(field, ref);
      if (ok != (r.outcome == corvane::ReadOutcome::done) || (ok && v != ref)) std::abort();
    }
  }

  // The first line as a field description, applied to the rest.
  const std::string_view description = cut == std::string_view::npos ? in : in.substr(0, cut);
  if (const auto layout = corvane::parse_description(description)) {
    std::vector<float> values(64, -1.0f);
    const corvane::Var var = corvane::Var::of(std::span<float>(values));
    const auto r = corvane::read_layout_from_text(line, *layout, std::span(&var, 1));
    if (r.values < 0 || r.values > 64 || r.lines > 1) std::abort();
    if (layout->lines_for(64) < 1) std::abort();
    std::string out;
    std::vector<corvane::Value> shown;
    for (std::int32_t i = 0; i < r.values; ++i)
      shown.emplace_back(values[static_cast<std::size_t>(i)]);
    corvane::render_layout(out, *layout, shown);
  }
  return 0;
}
