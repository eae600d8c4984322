// The rules of the two decade layouts, for trrw and for the check that watches it: the column
// tables of a data line (fixed at compile time), the end markers, the decade blocks and the sign
// of a year in column 8. Reading a data line is trrw's hot path; the layout engine stays the
// reference.
#ifndef CORVANE_READERS_DECADE_LINE_H
#define CORVANE_READERS_DECADE_LINE_H

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>

#include "readers/readers.h"

namespace corvane {

/// End markers of the decade layouts: a measurement series ends at 999 (its values in
/// hundredths) or -9999 (in thousandths); an index series at any value of 9990 or more.
inline constexpr std::int32_t kHundredthsEnd = 999;
inline constexpr std::int32_t kThousandthsEnd = -9999;
inline constexpr std::int32_t kIndexEnd = 9990;

/// Whether `v` is an end marker of the layout `Code`.
template <LayoutCode Code>
constexpr bool is_end_marker(std::int32_t v) {
  if constexpr (Code == LayoutCode::mr) {
    return v == kHundredthsEnd || v == kThousandthsEnd;
  } else {
    return v >= kIndexEnd;
  }
}

/// is_end_marker for a layout code known only when running.
constexpr bool is_end_marker(LayoutCode code, std::int32_t v) {
  return code == LayoutCode::mr ? is_end_marker<LayoutCode::mr>(v)
                                : is_end_marker<LayoutCode::ir>(v);
}

/// The slot of a year in its decade block: the year modulo 10 in 0..9, also for negative years.
constexpr std::int32_t decade_offset(std::int32_t year) { return ((year % 10) + 10) % 10; }

/// The first year of the decade block that holds `year` (slot 0 of its line).
constexpr std::int32_t decade_block(std::int32_t year) { return year - decade_offset(year); }

/// Whether the ID's last column (column 8) gives the year its sign: a "-" there in the
/// measurement layout makes the year field negative (how years below -999 are written).
constexpr bool sign_in_id(LayoutCode code, char column8) {
  return code == LayoutCode::mr && column8 == '-';
}

/// The year of a data line whose ID ends in `column8` and whose year field reads `year`.
constexpr std::int32_t signed_year(LayoutCode code, char column8, std::int32_t year) {
  return sign_in_id(code, column8) ? -year : year;
}

/// The fields of one decade data line.
struct DecadeLine {
  SeriesId id{};  ///< measurement: columns 1-8; index: columns 1-6 followed by two blanks
  std::int32_t year = 0;
  std::array<std::int32_t, 10> values{};  ///< index layout: the values without their counts
  /// Index layout: bit k set when the four columns of value k + 1 are all blanks (the field
  /// reads 0 all the same). The measurement layout leaves it as it was (0 from the start).
  std::uint16_t blank_values = 0;
};

/// Reads `line` as a data line of the layout `Code`, with exactly the meaning that the layout
/// engine gives each field through decade_layout(Code): the ID as it stands, the year, the ten
/// values and (index layout) the ten sample counts by the integer-field rule. Only the first 80
/// columns count; a shorter line reads as if padded with blanks. A line is read where it lies:
/// when every field is a plain right-aligned number all its columns are checked at once and
/// each field is converted from one word; otherwise each field goes through the general integer
/// rule. False when a field fails to convert (the line is no data line; `out` then holds
/// nothing of use). Without `head` the ID and the year may be left as they were: they are
/// still checked, but a reader needs them from the first line of a series only. The blank
/// value fields of the index layout are told in `blank_values` whether or not `head` is set.
template <LayoutCode Code>
bool read_decade_line(std::string_view line, DecadeLine& out, bool head = true);

/// read_decade_line for a layout code known only when running.
bool read_decade_line(std::string_view line, LayoutCode code, DecadeLine& out);

/// The layout of the engine that read_decade_line stands for: a text field (8 columns for
/// "mr", 6 for "ir"), the 4-column year, then ten 6-column values ("mr") or ten pairs of a
/// 4-column value and a 3-column count ("ir").
const Layout& decade_layout(LayoutCode code);

// ---------------------------------------------------------------------------------------------
// Implementation
// ---------------------------------------------------------------------------------------------

namespace decade {

/// A number field: its first column (0-based) and its width.
struct Field {
  std::uint8_t start;
  std::uint8_t width;
};

/// The number fields of a layout, one after the other from column `First` to `Extent`, and
/// the columns that begin a field (0xFF there): a blank in any other column after a non-blank
/// makes the field no plain right-aligned number.
template <std::size_t Fields, std::size_t First, std::size_t Extent>
struct ColumnTable {
  static constexpr std::size_t first = First;
  static constexpr std::size_t extent = Extent;
  std::array<Field, Fields> fields{};
  std::array<unsigned char, Extent - First> starts{};

  constexpr explicit ColumnTable(const std::array<Field, Fields>& f) : fields(f) {
    std::size_t col = First;
    for (const Field& field : fields) {
      if (field.start != col || field.width == 0 || field.width > 8) throw "fields must follow";
      starts[col - First] = 0xFF;
      col += field.width;
    }
    if (col != Extent) throw "fields must end at the extent";
  }
};

/// "mr": ID in columns 1-8, year in 9-12, then ten values of 6 columns.
inline constexpr auto kMeasurement = [] {
  std::array<Field, 11> f{};
  f[0] = {8, 4};
  for (std::size_t k = 0; k < 10; ++k) f[1 + k] = {static_cast<std::uint8_t>(12 + 6 * k), 6};
  return ColumnTable<11, 8, 72>(f);
}();

/// "ir": ID in columns 1-6, year in 7-10, then ten pairs of a 4-column value and a 3-column
/// count.
inline constexpr auto kIndex = [] {
  std::array<Field, 21> f{};
  f[0] = {6, 4};
  for (std::size_t k = 0; k < 10; ++k) {
    f[1 + 2 * k] = {static_cast<std::uint8_t>(10 + 7 * k), 4};
    f[2 + 2 * k] = {static_cast<std::uint8_t>(14 + 7 * k), 3};
  }
  return ColumnTable<21, 6, kLineWidth>(f);
}();

static_assert(kMeasurement.extent <= kLineWidth && kIndex.extent <= kLineWidth);

/// What a number field of a decade line holds.
enum class FieldKind : std::uint8_t { year, value, count };

/// The number fields of a layout, in column order: the year, then the values (index layout:
/// each value followed by its count).
constexpr std::span<const Field> number_fields(LayoutCode code) {
  return code == LayoutCode::mr ? std::span<const Field>(kMeasurement.fields)
                                : std::span<const Field>(kIndex.fields);
}

/// What number field `i` (of number_fields) holds.
constexpr FieldKind field_kind(LayoutCode code, std::size_t i) {
  if (i == 0) return FieldKind::year;
  return code == LayoutCode::mr || i % 2 == 1 ? FieldKind::value : FieldKind::count;
}

/// The year field of a layout.
constexpr Field year_field(LayoutCode code) { return number_fields(code)[0]; }

/// The value field of slot `k` (0 to 9).
constexpr Field value_field(LayoutCode code, std::size_t k) {
  return number_fields(code)[code == LayoutCode::mr ? 1 + k : 1 + 2 * k];
}

/// The number of columns that begin a line before its first number field: the ID's.
constexpr std::size_t id_width(LayoutCode code) { return year_field(code).start; }

/// Sixteen columns as one value, through the vector extension of GCC and Clang (the compilers
/// the program is built with): one instruction handles all sixteen where the target has them.
using Columns = unsigned char __attribute__((vector_size(16)));
using ColumnFlags = signed char __attribute__((vector_size(16)));  ///< 0 or -1 per column

template <class V>
V load(const void* p) {
  V v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

/// True when `test(columns, the columns before them, starts)` is -1 for every column of the
/// table's fields (those from `first` to `extent`). Sixteen columns at a time, without a
/// branch; a last group that would run past the extent overlaps the one before instead.
template <class Table, class Test>
bool every_column(const char* line, const Table& table, Test test) {
  constexpr std::size_t kGroup = sizeof(Columns);
  constexpr std::size_t span = Table::extent - Table::first;
  static_assert(span >= kGroup && Table::first >= 1);
  const char* p = line + Table::first;
  ColumnFlags all = ~ColumnFlags{};
  const auto check = [&](std::size_t off) {
    const auto c = load<Columns>(p + off);
    const auto before = load<Columns>(p + off - 1);  // inside the line: first >= 1
    const auto starts = load<ColumnFlags>(table.starts.data() + off);
    all &= test(c, before, starts);
  };
  for (std::size_t off = 0; off + kGroup <= span; off += kGroup) check(off);
  if constexpr (span % kGroup != 0) check(span - kGroup);
  std::uint64_t halves[2];
  std::memcpy(halves, &all, sizeof halves);
  return (halves[0] & halves[1]) == ~std::uint64_t{0};
}

/// True when every field of the table is a plain right-aligned number: each column a digit,
/// or a blank that begins its field or follows a blank (a field of blanks reads 0).
template <class Table>
bool plain_fields(const char* line, const Table& table) {
  return every_column(line, table, [](Columns c, Columns before, ColumnFlags starts) {
    return (c - static_cast<unsigned char>('0') <= static_cast<unsigned char>(9)) |
           ((c == static_cast<unsigned char>(' ')) &
            ((before == static_cast<unsigned char>(' ')) | starts));
  });
}

/// True when some field of the table holds a blank after a non-blank column of its own: a
/// number with blanks in it, or one that is not right-aligned (a plain line has none).
template <class Table>
bool blank_inside_field(const char* line, const Table& table) {
  return !every_column(line, table, [](Columns c, Columns before, ColumnFlags starts) {
    return (c != static_cast<unsigned char>(' ')) | (before == static_cast<unsigned char>(' ')) |
           starts;
  });
}

/// A word loaded from memory with the byte at the lowest address in its lowest bits.
template <class W>
W load_little(const char* p) {
  W w;
  std::memcpy(&w, p, sizeof w);
  if constexpr (std::endian::native == std::endian::big) {
    W r = 0;
    for (std::size_t k = 0; k < sizeof w; ++k) {
      r = static_cast<W>((r << 8) | ((w >> (8 * k)) & 0xFF));
    }
    w = r;
  }
  return w;
}

/// A plain field of 4 columns: digits after leading blanks, which read as 0 (a blank is 0x20).
/// Each step joins neighbouring groups of digits by one multiplication.
inline std::int32_t convert4(const char* start) {
  std::uint32_t v = load_little<std::uint32_t>(start) & 0x0F0F0F0Fu;
  v = (v * (10u * 256u + 1u)) >> 8;                      // pairs of digits in bytes 0 and 2
  v = ((v & 0x00FF00FFu) * (100u * 65536u + 1u)) >> 16;  // four digits
  return static_cast<std::int32_t>(v);
}

/// A plain field of 6 columns, from the 8 bytes that end with it (the first two masked off).
inline std::int32_t convert6(const char* start) {
  std::uint64_t v = load_little<std::uint64_t>(start - 2) & 0x0F0F0F0F0F0F0000ULL;
  v = (v * (10u * 256u + 1u)) >> 8;
  v = ((v & 0x00FF00FF00FF00FFULL) * (100u * 65536u + 1u)) >> 16;
  v = ((v & 0x0000FFFF0000FFFFULL) * (10000ULL * 4294967296ULL + 1u)) >> 32;
  return static_cast<std::int32_t>(v);
}

/// Four values as one, for the vector extension.
using Quad = std::int32_t __attribute__((vector_size(16)));
using Pair = std::int32_t __attribute__((vector_size(8)));

/// The bits of the index layout's value fields whose four columns are blanks.
inline std::uint16_t blank_index_values(const char* line) {
  std::uint32_t blanks;
  std::memcpy(&blanks, "    ", sizeof blanks);
  std::uint16_t bits = 0;
  for (std::size_t k = 0; k < 10; ++k) {
    std::uint32_t w;
    std::memcpy(&w, line + kIndex.fields[1 + 2 * k].start, sizeof w);
    bits = static_cast<std::uint16_t>(bits | (w == blanks ? 1u << k : 0u));
  }
  return bits;
}

/// Whether any of the ten values is an end marker or below 0 (in the measurement layout a
/// missing-ring code, taken together with -9999): groups of four, four and two, looked at
/// without a branch. The vector form of is_end_marker, for trrw's hot path.
template <LayoutCode Code>
bool any_marker_or_code(const std::array<std::int32_t, 10>& v) {
  const auto a = load<Quad>(v.data());
  const auto b = load<Quad>(v.data() + 4);
  const auto c = load<Pair>(v.data() + 8);
  Quad found;
  Pair found_c;
  if constexpr (Code == LayoutCode::mr) {
    found = (a == kHundredthsEnd) | (a < 0) | (b == kHundredthsEnd) | (b < 0);
    found_c = (c == kHundredthsEnd) | (c < 0);
  } else {
    found = (a >= kIndexEnd) | (a < 0) | (b >= kIndexEnd) | (b < 0);
    found_c = (c >= kIndexEnd) | (c < 0);
  }
  std::uint64_t words[3];
  std::memcpy(words, &found, sizeof found);
  std::memcpy(words + 2, &found_c, sizeof found_c);
  return (words[0] | words[1] | words[2]) != 0;
}

/// Stores the ten values in groups (four, four, two) that later loads of the same groups
/// take straight from the stores.
inline void store_values(DecadeLine& out, Quad a, Quad b, std::int32_t v8, std::int32_t v9) {
  const Pair c = {v8, v9};
  std::memcpy(out.values.data(), &a, sizeof a);
  std::memcpy(out.values.data() + 4, &b, sizeof b);
  std::memcpy(out.values.data() + 8, &c, sizeof c);
}

/// The column table of a layout.
template <LayoutCode Code>
constexpr const auto& column_table() {
  if constexpr (Code == LayoutCode::mr) {
    return kMeasurement;
  } else {
    return kIndex;
  }
}

// --- Plain full lines ------------------------------------------------------------------------
//
// Nearly every line of a series' body is a plain full line: exactly the layout's extent long
// (72 columns "mr", 80 "ir"), ended by a line feed or by a carriage return and a line feed,
// its ID printable (so it holds no line end), every number field a plain right-aligned number
// and the year's last column a digit (so it is no blank line). Such a line is a data line that
// read_decade_line reads field by field as converted here, and whose values (no "-" among
// them) are below 0 never. A reader may take runs of them straight from the line file's
// buffer; every other line goes through the general rules.

/// The length of the line end after a full line of `Code` at `p`, in the `room` bytes from
/// `p` on: 1 for a line feed, 2 for a carriage return and a line feed, 0 for anything else.
template <LayoutCode Code>
inline std::size_t full_line_end(const char* p, std::size_t room) {
  constexpr std::size_t w = column_table<Code>().extent;
  if (room > w && p[w] == '\n') return 1;
  if (room > w + 1 && p[w] == '\r' && p[w + 1] == '\n') return 2;
  return 0;
}

/// Whether the first eight columns at `p` are printable ASCII (0x20 to 0x7E): a byte below
/// 0x20 leaves a borrow, one of 0x7F or more a high bit, in its own byte first.
inline bool printable8(const char* p) {
  const std::uint64_t x = load_little<std::uint64_t>(p);
  constexpr std::uint64_t ones = 0x0101010101010101ULL;
  return (((x - 0x20 * ones) | (x + ones) | x) & (0x80 * ones)) == 0;
}

/// The test of a plain full line apart from its line end: printable ID, a digit closing the
/// year, plain number fields (for a line of at least the layout's extent).
template <LayoutCode Code>
inline bool plain_full_line(const char* p) {
  constexpr const auto& table = column_table<Code>();
  constexpr std::size_t year_end = table.fields[0].start + table.fields[0].width - 1;
  return printable8(p) && static_cast<unsigned char>(p[year_end] - '0') <= 9 &&
         plain_fields(p, table);
}

/// What a run of plain full lines gave.
struct PlainRun {
  std::size_t bytes = 0;   ///< the bytes of the lines taken, their line ends included
  std::int32_t lines = 0;  ///< the lines taken
  std::size_t last = 0;    ///< where the last of them begins (when one was taken)
  double sum = 0.0;        ///< the sum of the values stored, in double precision, in any order
  bool exact = true;       ///< whether every value stored keeps that sum exact (sums_exactly)
};

/// What a check asks more of a run of plain full lines, so that it need not look at them one by
/// one: the ID (the line's first eight bytes under `id_mask`, a "-" there not taken for a sign)
/// is `id`; the years follow from `year` on, ten a line; no value is 0.
struct PlainCheck {
  std::uint64_t id = 0;
  std::uint64_t id_mask = 0;
  std::int32_t year = 0;
};

/// The ways the values of plain full lines are converted: word at a time, or with the vector
/// instructions of SSE4.1 or of AVX2.
enum class VectorPath : std::uint8_t { none, sse41, avx2 };

/// Takes plain full lines from the start of `text` on, at most `max_lines` of them and none
/// that holds an end marker, and stores the ten values of each, times the layout's unit, from
/// `out` on (room for 10 x max_lines). With `check`, only lines that meet it as well.
using PlainLines = PlainRun (*)(std::string_view text, float* out, std::int32_t max_lines,
                                const PlainCheck* check);

/// Whether the plain full line at `p` meets `check` as the `k`-th line of its run (from 0).
template <LayoutCode Code>
inline bool meets(const char* p, const PlainCheck& check, std::int32_t k) {
  return (load_little<std::uint64_t>(p) & check.id_mask) == check.id &&
         convert4(p + column_table<Code>().fields[0].start) == check.year + 10 * k;
}

/// The plain-line reader of a layout by a path (which the processor must support).
PlainLines plain_lines(LayoutCode code, VectorPath path);

/// Whether this processor can run `path`.
bool supports(VectorPath path);

/// The path the program reads with: the best that the processor supports, or a lesser one
/// that the environment variable CORVANE_VECTOR names ("avx2", "sse41", "none"). Chosen once.
VectorPath vector_path();

/// The name of a path, as CORVANE_VECTOR gives it.
std::string_view path_name(VectorPath path);

/// Every field by the general integer rule, from a line of at least the layout's extent.
bool read_general(const char* line, LayoutCode code, DecadeLine& out);

/// A line shorter than the layout's extent, padded with blanks and then read.
bool read_short(std::string_view line, LayoutCode code, DecadeLine& out);

/// The damaged-first-line rule: a text line read just before a series' first data line is most
/// likely that line, damaged, when its first columns hold the series' ID and its year field
/// reads as a year of the decade block before the series' own (`signed_first`), signed alike
/// by column 8. Gives that year, or nothing.
std::optional<std::int32_t> damaged_first_year(LayoutCode code, std::string_view text,
                                               std::string_view first_line,
                                               std::int32_t signed_first);

}  // namespace decade

template <LayoutCode Code>
inline bool read_decade_line(std::string_view line, DecadeLine& out, bool head) {
  using namespace decade;
  constexpr bool measurement = Code == LayoutCode::mr;
  constexpr const auto& table = column_table<Code>();
  if (line.size() < table.extent) return read_short(line, Code, out);
  const char* p = line.data();
  if (head) {
    std::memcpy(out.id.data(), p, table.first);  // the ID stands before the first number
    std::memset(out.id.data() + table.first, ' ', out.id.size() - table.first);
  }
  if constexpr (!measurement) out.blank_values = blank_index_values(p);
  if (!plain_fields(p, table)) return read_general(p, Code, out);
  if (head) out.year = convert4(p + table.fields[0].start);
  if constexpr (measurement) {
    const auto value = [&](std::size_t k) { return convert6(p + table.fields[1 + k].start); };
    store_values(out, Quad{value(0), value(1), value(2), value(3)},
                 Quad{value(4), value(5), value(6), value(7)}, value(8), value(9));
  } else {
    const auto value = [&](std::size_t k) { return convert4(p + table.fields[1 + 2 * k].start); };
    store_values(out, Quad{value(0), value(1), value(2), value(3)},
                 Quad{value(4), value(5), value(6), value(7)}, value(8), value(9));
  }
  return true;
}

}  // namespace corvane

#endif  // CORVANE_READERS_DECADE_LINE_H
