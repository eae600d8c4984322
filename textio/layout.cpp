// The layout engine: layouts flattened once into steps, then applied to values or lines.
#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "textio/field_rules.h"
#include "textio/layout_plan.h"
#include "textio/textio.h"

namespace corvane {

// --- builders ------------------------------------------------------------------------------

Item blanks(std::int32_t n) { return Item{Item::Kind::blanks, n, 0, 1, false, {}, {}}; }
Item literal(std::string_view t) {
  return Item{Item::Kind::literal, 0, 0, 1, false, std::string(t), {}};
}
Item integer(std::int32_t w) { return Item{Item::Kind::integer, w, 0, 1, false, {}, {}}; }
Item fixed(std::int32_t w, std::int32_t d) {
  return Item{Item::Kind::real, w, d, 1, false, {}, {}};
}
Item text() { return Item{Item::Kind::text, 0, 0, 1, false, {}, {}}; }
Item text(std::int32_t w) { return Item{Item::Kind::text_width, w, 0, 1, false, {}, {}}; }
Item column(std::int32_t n) { return Item{Item::Kind::column, n, 0, 1, false, {}, {}}; }
Item line_break() { return Item{Item::Kind::line_break, 0, 0, 1, false, {}, {}}; }
Item hold() { return Item{Item::Kind::hold, 0, 0, 1, false, {}, {}}; }
Item repeat(std::int32_t count, Item item) {
  Item r{Item::Kind::repeat, 0, 0, count, false, {}, {}};
  r.children.push_back(std::move(item));
  return r;
}
Item group(std::int32_t count, std::vector<Item> items) {
  Item r{Item::Kind::repeat, 0, 0, count, true, {}, std::move(items)};
  return r;
}
Item group(std::int32_t count, std::initializer_list<Item> items) {
  return group(count, std::vector<Item>(items));
}

// --- Layout --------------------------------------------------------------------------------

namespace {
constexpr std::size_t kMaxSteps = 1u << 20;

bool takes_value(Item::Kind k) {
  return k == Item::Kind::integer || k == Item::Kind::real || k == Item::Kind::text ||
         k == Item::Kind::text_width;
}
}  // namespace

namespace {

using Plan = detail::LayoutPlan;
using Step = Plan::Step;
using PlacedField = Plan::PlacedField;

void flatten(Plan& plan, const std::vector<Item>& items, bool top) {
  for (const Item& item : items) {
    if (item.kind == Item::Kind::repeat) {
      if (top && item.bracketed) plan.resume = plan.steps.size();
      for (std::int32_t k = 0; k < item.count; ++k) flatten(plan, item.children, false);
      continue;
    }
    if (plan.steps.size() >= kMaxSteps) throw std::length_error("layout too large");
    Step s{item.kind, item.width, item.decimals, 0};
    if (item.kind == Item::Kind::literal) {
      s.text_index = static_cast<std::uint32_t>(plan.texts.size());
      plan.texts.push_back(item.text);
    }
    if (takes_value(item.kind)) ++plan.field_count;
    plan.steps.push_back(s);
  }
}

void place_fields(Plan& plan) {
  std::vector<PlacedField> placed;
  std::int64_t col = 0;
  for (const Step& s : plan.steps) {
    switch (s.kind) {
      case Item::Kind::line_break:
      case Item::Kind::text:
        return;  // columns depend on the lines or the variables
      case Item::Kind::blanks:
        col += std::max(s.width, 0);
        break;
      case Item::Kind::column:
        col = s.width > 0 ? s.width - 1 : 0;
        break;
      case Item::Kind::integer:
      case Item::Kind::real:
      case Item::Kind::text_width: {
        // Narrow integer fields far enough from the line's start are read as one word.
        const std::int32_t w = std::max(s.width, 0);
        const std::int64_t end = col + w;
        std::uint8_t word = 0;
        if (s.kind == Item::Kind::integer && w >= 1) {
          if (w <= 4 && end >= 4) {
            word = 4;
          } else if (w <= 8 && end >= 8) {
            word = 8;
          }
        }
        placed.push_back({s.kind, static_cast<std::int32_t>(col), w, s.decimals, word});
        col += w;
        break;
      }
      default:
        break;
    }
    if (col > INT32_MAX / 2) return;
  }
  plan.placed = std::move(placed);
}

const std::shared_ptr<const Plan>& empty_plan() {
  static const std::shared_ptr<const Plan> plan = std::make_shared<const Plan>();
  return plan;
}

}  // namespace

Layout::Layout() : plan_(empty_plan()) {}

Layout::Layout(std::initializer_list<Item> items) : Layout(std::vector<Item>(items)) {}

Layout::Layout(const std::vector<Item>& items) {
  auto plan = std::make_shared<Plan>();
  flatten(*plan, items, true);
  plan->holds = !plan->steps.empty() && plan->steps.back().kind == Item::Kind::hold;
  // Resuming from a part without fields would never use another value: resume from the start.
  bool fields_after = false;
  for (std::size_t i = plan->resume; i < plan->steps.size(); ++i) {
    fields_after |= takes_value(plan->steps[i].kind);
  }
  if (!fields_after) plan->resume = 0;
  place_fields(*plan);
  plan_ = std::move(plan);
}

bool Layout::has_fields() const { return plan_->field_count > 0; }

bool Layout::holds() const { return plan_->holds; }

std::int32_t Layout::lines_for(std::int64_t values) const {
  const Plan& p = *plan_;
  if (values <= 0 || p.field_count == 0) return 0;
  std::int32_t lines = 1;
  std::size_t i = 0;
  for (;;) {
    if (i == p.steps.size()) {
      ++lines;
      i = p.resume;
      continue;
    }
    const Step& s = p.steps[i++];
    if (s.kind == Item::Kind::line_break) {
      ++lines;
    } else if (takes_value(s.kind) && --values == 0) {
      return lines;
    }
  }
}

// --- output --------------------------------------------------------------------------------

namespace {

// Puts `text` at 0-based column `col` of the line that begins at `line_start` of `out`.
void place(std::string& out, std::size_t line_start, std::size_t col, std::string_view text) {
  const std::size_t len = out.size() - line_start;
  if (col > len) out.append(col - len, ' ');
  const std::size_t at = line_start + col;
  const std::size_t overlap = std::min(text.size(), out.size() - at);
  out.replace(at, overlap, text.substr(0, overlap));
  out.append(text.substr(overlap));
}

void format_value(std::string& out, const Step& s, const Value& v) {
  switch (s.kind) {
    case Item::Kind::integer:
      if (v.kind == Value::Kind::integer) {
        format_integer(out, v.i, s.width);
      } else {
        out.append(static_cast<std::size_t>(std::max(s.width, 0)), '*');
      }
      break;
    case Item::Kind::real:
      if (v.kind == Value::Kind::text) {
        out.append(static_cast<std::size_t>(std::max(s.width, 0)), '*');
      } else {
        format_fixed(out, v.kind == Value::Kind::integer ? v.i : v.r, s.width, s.decimals);
      }
      break;
    case Item::Kind::text:
      out.append(v.kind == Value::Kind::text ? v.s : std::string_view());
      break;
    case Item::Kind::text_width: {
      const std::string_view t = v.kind == Value::Kind::text ? v.s : std::string_view();
      const auto w = static_cast<std::size_t>(std::max(s.width, 0));
      if (w >= t.size()) {
        out.append(w - t.size(), ' ');
        out.append(t);
      } else {
        out.append(t.substr(0, w));
      }
      break;
    }
    default:
      break;
  }
}

}  // namespace

void render_layout(std::string& out, const Layout& layout, std::span<const Value> values) {
  const auto steps = std::span<const Step>(layout.plan().steps);
  std::size_t line_start = out.size();
  std::size_t col = 0;
  std::size_t vi = 0;
  std::size_t i = 0;
  std::string scratch;
  auto end_line = [&] {
    out.push_back('\n');
    line_start = out.size();
    col = 0;
  };
  for (;;) {
    if (i == steps.size()) {
      if (vi < values.size() && layout.has_fields()) {
        end_line();
        i = layout.plan().resume;
        continue;
      }
      if (!layout.holds()) end_line();
      return;
    }
    const Step& s = steps[i++];
    switch (s.kind) {
      case Item::Kind::blanks:
        if (out.size() - line_start == col) {
          out.append(static_cast<std::size_t>(std::max(s.width, 0)), ' ');
        } else {
          place(out, line_start, col, std::string(static_cast<std::size_t>(s.width), ' '));
        }
        col += static_cast<std::size_t>(std::max(s.width, 0));
        break;
      case Item::Kind::literal: {
        const std::string_view t = layout.plan().literal_text(s);
        place(out, line_start, col, t);
        col += t.size();
        break;
      }
      case Item::Kind::column:
        col = s.width > 0 ? static_cast<std::size_t>(s.width - 1) : 0;
        break;
      case Item::Kind::line_break:
        end_line();
        break;
      case Item::Kind::hold:
        break;
      default: {  // a field that takes a value
        if (vi == values.size()) {
          end_line();
          return;
        }
        if (out.size() - line_start == col) {
          const std::size_t before = out.size();
          format_value(out, s, values[vi++]);
          col += out.size() - before;
        } else {
          scratch.clear();
          format_value(scratch, s, values[vi++]);
          place(out, line_start, col, scratch);
          col += scratch.size();
        }
        break;
      }
    }
  }
}

void write_layout(Sink& sink, const Layout& layout, std::span<const Value> values) {
  std::string out;
  render_layout(out, layout, values);
  sink.put(out);
}

void render_free_form(std::string& out, std::optional<std::string_view> text) {
  if (text) {
    out.push_back(' ');
    out.append(*text);
  }
  out.push_back('\n');
}

void write_free_form(Sink& sink, std::optional<std::string_view> text) {
  std::string out;
  render_free_form(out, text);
  sink.put(out);
}

// --- input ---------------------------------------------------------------------------------

namespace {

// Cursor over the variables, element by element.
struct VarCursor {
  std::span<const Var> vars;
  std::size_t vi = 0;
  std::int32_t ei = 0;
  bool done() const { return vi == vars.size(); }
  const Var& current() const { return vars[vi]; }
  void advance() {
    const Var& v = vars[vi];
    if (v.kind == Var::Kind::text || ++ei >= v.count) {
      ++vi;
      ei = 0;
      while (vi < vars.size() && vars[vi].kind != Var::Kind::text && vars[vi].count <= 0) ++vi;
    }
  }
};

// The field of width w at 0-based column col of a line; columns past the end are absent
// (blanks for every rule).
std::string_view field_at(std::string_view line, std::size_t col, std::int32_t w) {
  if (col >= line.size() || w <= 0) return {};
  return line.substr(col, static_cast<std::size_t>(w));
}

void store_text(const Var& v, std::string_view line, std::size_t col, std::size_t w) {
  // Columns beyond the line read as blanks.
  char* dst = static_cast<char*>(v.p);
  const auto len = static_cast<std::size_t>(v.count);
  const std::string_view src = col < line.size() ? line.substr(col, w) : std::string_view();
  if (w >= len) {
    // The rightmost len of the w characters.
    const std::size_t skip = w - len;
    for (std::size_t k = 0; k < len; ++k) {
      const std::size_t at = skip + k;
      dst[k] = at < src.size() ? src[at] : ' ';
    }
  } else {
    for (std::size_t k = 0; k < len; ++k) dst[k] = k < w && k < src.size() ? src[k] : ' ';
  }
}

template <class NextLine>
ReadResult read_impl(NextLine&& next_line, const Layout& layout, std::span<const Var> vars) {
  ReadResult r;
  VarCursor cur{vars};
  while (!cur.done() && cur.current().kind != Var::Kind::text && cur.current().count <= 0) {
    ++cur.vi;
  }
  std::optional<std::string_view> got = next_line();
  if (!got) {
    r.outcome = ReadOutcome::end_of_file;
    return r;
  }
  std::string_view line = *got;
  r.lines = 1;
  const auto steps = std::span<const Step>(layout.plan().steps);
  std::size_t i = 0;
  std::size_t col = 0;
  auto new_line = [&]() -> bool {
    got = next_line();
    if (!got) return false;
    line = *got;
    ++r.lines;
    col = 0;
    return true;
  };
  while (!cur.done()) {
    if (i == steps.size()) {
      if (!layout.has_fields() || !new_line()) {
        r.outcome = ReadOutcome::end_of_file;
        return r;
      }
      i = layout.plan().resume;
      continue;
    }
    const Step& s = steps[i++];
    switch (s.kind) {
      case Item::Kind::blanks:
        col += static_cast<std::size_t>(std::max(s.width, 0));
        break;
      case Item::Kind::column:
        col = s.width > 0 ? static_cast<std::size_t>(s.width - 1) : 0;
        break;
      case Item::Kind::line_break:
        if (!new_line()) {
          r.outcome = ReadOutcome::end_of_file;
          return r;
        }
        break;
      case Item::Kind::literal:
      case Item::Kind::hold:
      case Item::Kind::repeat:
        break;
      case Item::Kind::integer: {
        const Var& v = cur.current();
        std::int32_t value = 0;
        if (v.kind == Var::Kind::text ||
            !parse_integer_field(field_at(line, col, s.width), value)) {
          r.outcome = ReadOutcome::conversion_failure;
          r.failed_column = static_cast<std::int32_t>(col + 1);
          return r;
        }
        if (v.kind == Var::Kind::integer) {
          static_cast<std::int32_t*>(v.p)[cur.ei] = value;
        } else {
          static_cast<float*>(v.p)[cur.ei] = static_cast<float>(value);
        }
        ++r.values;
        cur.advance();
        col += static_cast<std::size_t>(std::max(s.width, 0));
        break;
      }
      case Item::Kind::real: {
        const Var& v = cur.current();
        float value = 0.0f;
        if (v.kind != Var::Kind::real ||
            !parse_real_field(field_at(line, col, s.width), s.decimals, value)) {
          r.outcome = ReadOutcome::conversion_failure;
          r.failed_column = static_cast<std::int32_t>(col + 1);
          return r;
        }
        static_cast<float*>(v.p)[cur.ei] = value;
        ++r.values;
        cur.advance();
        col += static_cast<std::size_t>(std::max(s.width, 0));
        break;
      }
      case Item::Kind::text:
      case Item::Kind::text_width: {
        const Var& v = cur.current();
        if (v.kind != Var::Kind::text) {
          r.outcome = ReadOutcome::conversion_failure;
          r.failed_column = static_cast<std::int32_t>(col + 1);
          return r;
        }
        const std::size_t w = s.kind == Item::Kind::text
                                  ? static_cast<std::size_t>(v.count)
                                  : static_cast<std::size_t>(std::max(s.width, 0));
        store_text(v, line, col, w);
        ++r.values;
        cur.advance();
        col += w;
        break;
      }
    }
  }
  return r;
}

}  // namespace

ReadResult read_layout(LineSource& source, const Layout& layout, std::span<const Var> vars) {
  return read_impl([&] { return source.next_line(); }, layout, vars);
}

namespace {

// One line read through a layout whose fields stand at known columns, for variables that the
// layout's first pass fills. This is the readers' hot path: no cursor, no per-step dispatch.
bool read_placed(std::string_view line, const Layout& layout, std::span<const Var> vars,
                 ReadResult& r) {
  const auto fields = std::span<const PlacedField>(layout.plan().placed);
  std::size_t total = 0;
  for (const Var& v : vars)
    total += v.kind == Var::Kind::text ? 1 : static_cast<std::size_t>(std::max(v.count, 0));
  if (fields.empty() || total > fields.size()) return false;
  r = ReadResult{};
  r.lines = 1;
  std::size_t f = 0;
  const auto fail = [&](const PlacedField& pf) {
    r.outcome = ReadOutcome::conversion_failure;
    r.failed_column = pf.column + 1;
    return true;
  };
  for (const Var& v : vars) {
    if (v.kind == Var::Kind::text) {
      const PlacedField& pf = fields[f++];
      if (pf.kind != Item::Kind::text_width) return fail(pf);
      store_text(v, line, static_cast<std::size_t>(pf.column), static_cast<std::size_t>(pf.width));
      ++r.values;
      continue;
    }
    if (v.kind == Var::Kind::integer) {
      // Integer fields into integer variables: the decade lines.
      auto* out = static_cast<std::int32_t*>(v.p);
      for (std::int32_t e = 0; e < v.count; ++e) {
        const PlacedField& pf = fields[f++];
        if (pf.kind != Item::Kind::integer) return fail(pf);
        const auto end = static_cast<std::size_t>(pf.column) + static_cast<std::size_t>(pf.width);
        std::uint32_t fast = 0;
        const auto width = static_cast<std::size_t>(pf.width);
        if (end <= line.size() &&
            ((pf.word == 4 &&
              detail::parse_right_aligned(
                  detail::load_field<std::uint32_t>(line.data(), end, width), fast)) ||
             (pf.word == 8 &&
              detail::parse_right_aligned(
                  detail::load_field<std::uint64_t>(line.data(), end, width), fast)))) {
          out[e] = static_cast<std::int32_t>(fast);
        } else if (!parse_integer_field(
                       field_at(line, static_cast<std::size_t>(pf.column), pf.width), out[e])) {
          return fail(pf);
        }
        ++r.values;
      }
      continue;
    }
    for (std::int32_t e = 0; e < v.count; ++e) {
      const PlacedField& pf = fields[f++];
      const std::string_view field = field_at(line, static_cast<std::size_t>(pf.column), pf.width);
      float* out = static_cast<float*>(v.p) + e;
      if (pf.kind == Item::Kind::integer) {
        std::int32_t value = 0;
        if (!parse_integer_field(field, value)) return fail(pf);
        *out = static_cast<float>(value);
      } else if (pf.kind == Item::Kind::real) {
        if (!parse_real_field(field, pf.decimals, *out)) return fail(pf);
      } else {
        return fail(pf);
      }
      ++r.values;
    }
  }
  return true;
}

}  // namespace

ReadResult read_layout_from_text(std::string_view text, const Layout& layout,
                                 std::span<const Var> vars) {
  ReadResult placed;
  if (read_placed(text, layout, vars, placed)) return placed;
  bool given = false;
  return read_impl(
      [&]() -> std::optional<std::string_view> {
        if (given) return std::nullopt;
        given = true;
        return text;
      },
      layout, vars);
}

// --- names ---------------------------------------------------------------------------------

std::string fit(std::string_view t, std::size_t width) {
  std::string s(t.substr(0, width));
  s.resize(width, ' ');
  return s;
}

std::string escaped(std::string_view text, Escaping form) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const bool quoted = form == Escaping::quoted;
  std::string s;
  s.reserve(text.size() + (quoted ? 2 : 0));
  if (quoted) s += '"';
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\\' || (quoted && c == '"')) {
      s += '\\';
      s += c;
    } else if (c == '\t') {
      s += "\\t";
    } else if (u < 0x20 || u == 0x7F || (quoted && u >= 0x80)) {
      s += "\\x";
      s += kHex[u >> 4];
      s += kHex[u & 0xF];
    } else {
      s += c;
    }
  }
  if (quoted) s += '"';
  return s;
}

}  // namespace corvane
