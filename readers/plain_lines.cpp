// Runs of plain full lines, converted word at a time or with vector instructions chosen when
// the program starts. Each way is one loop with no call inside it.
#include <cstdlib>
#include <limits>

#include "readers/decade_line.h"

#if defined(__x86_64__) || defined(__i386__)
#define CORVANE_X86 1
#include <immintrin.h>
#endif

namespace corvane::decade {

namespace {

constexpr float kMeasurementUnit = 0.01f;
constexpr float kIndexUnit = 0.001f;

// The values of plain fields keep a double sum exact (sums_exactly) within these bounds, the
// conversion to float being monotone: a measurement when below 51200 (0 and 0.01 upwards are
// exact), an index when 0 or 8 and above (its four columns never reach the upper bound).
constexpr std::int32_t kMeasurementExactBelow = 51200;
constexpr std::int32_t kIndexExactFrom = 8;
static_assert(sums_exactly(0.0f) && sums_exactly(1 * kMeasurementUnit));
static_assert(sums_exactly(static_cast<float>(kMeasurementExactBelow - 1) * kMeasurementUnit));
static_assert(!sums_exactly(static_cast<float>(kMeasurementExactBelow) * kMeasurementUnit));
static_assert(!sums_exactly(static_cast<float>(kIndexExactFrom - 1) * kIndexUnit));
static_assert(sums_exactly(static_cast<float>(kIndexExactFrom) * kIndexUnit));
static_assert(sums_exactly(9999 * kIndexUnit));
static_assert(kMaxValues <= kExactTerms);

template <LayoutCode Code>
constexpr float unit() {
  return Code == LayoutCode::mr ? kMeasurementUnit : kIndexUnit;
}

template <LayoutCode Code>
constexpr bool exact_value(std::int32_t v) {
  if constexpr (Code == LayoutCode::mr) {
    return v < kMeasurementExactBelow;
  } else {
    return static_cast<std::uint32_t>(v - 1) >= static_cast<std::uint32_t>(kIndexExactFrom - 1);
  }
}

// Word at a time: the column test and the conversion of read_decade_line. The floats, their
// sum and the exactness test go four values at a time through the compiler's vector extension.
using Floats = float __attribute__((vector_size(16)));
using FloatPair = float __attribute__((vector_size(8)));
using Doubles = double __attribute__((vector_size(16)));

inline Doubles widened(FloatPair f) { return __builtin_convertvector(f, Doubles); }

// The lanes' running record for the exactness test: the greatest value (measurements), or
// the least value less one taken as unsigned (indices; kept with its top bit flipped, so that
// signed comparisons order it).
template <LayoutCode Code, class V>
V tracked(V seen, V v) {
  if constexpr (Code == LayoutCode::mr) {
    const V more = v > seen;
    return (seen & ~more) | (v & more);
  } else {
    const V key = (v - 1) ^ std::numeric_limits<std::int32_t>::min();
    const V less = key < seen;
    return (seen & ~less) | (key & less);
  }
}

template <LayoutCode Code, bool kChecked>
PlainRun words_run(std::string_view text, float* out, std::int32_t max_lines,
                   const PlainCheck* check) {
  constexpr const auto& table = column_table<Code>();
  constexpr float u = unit<Code>();
  const char* const base = text.data();
  const char* p = base;
  const char* last = base;
  std::size_t room = text.size();
  std::int32_t lines = 0;
  Doubles sum_a{}, sum_b{}, sum_c{}, sum_d{}, sum_e{};
  constexpr std::int32_t start =
      Code == LayoutCode::mr ? 0 : std::numeric_limits<std::int32_t>::max();
  Quad seen = {start, start, start, start};
  Pair seen_c = {start, start};
  while (lines < max_lines) {
    const std::size_t end = full_line_end<Code>(p, room);
    if (end == 0 || !plain_full_line<Code>(p)) break;
    if (kChecked && !meets<Code>(p, *check, lines)) break;
    const auto value = [&](std::size_t k) {
      const char* field = p + value_field(Code, k).start;
      return Code == LayoutCode::mr ? convert6(field) : convert4(field);
    };
    const Quad a = {value(0), value(1), value(2), value(3)};
    const Quad b = {value(4), value(5), value(6), value(7)};
    const Pair c = {value(8), value(9)};
    Quad marked;
    Pair marked_c;
    if constexpr (Code == LayoutCode::mr) {
      marked = (a == kHundredthsEnd) | (b == kHundredthsEnd);
      marked_c = c == kHundredthsEnd;
    } else {
      marked = (a >= kIndexEnd) | (b >= kIndexEnd);
      marked_c = c >= kIndexEnd;
    }
    if constexpr (kChecked) {
      marked |= (a == 0) | (b == 0);
      marked_c |= c == 0;
    }
    std::uint64_t words[3];
    std::memcpy(words, &marked, sizeof marked);
    std::memcpy(words + 2, &marked_c, sizeof marked_c);
    if ((words[0] | words[1] | words[2]) != 0) break;
    const Floats fa = __builtin_convertvector(a, Floats) * u;
    const Floats fb = __builtin_convertvector(b, Floats) * u;
    const FloatPair fc = __builtin_convertvector(c, FloatPair) * u;
    std::memcpy(out, &fa, sizeof fa);
    std::memcpy(out + 4, &fb, sizeof fb);
    std::memcpy(out + 8, &fc, sizeof fc);
    sum_a += widened(__builtin_shufflevector(fa, fa, 0, 1));
    sum_b += widened(__builtin_shufflevector(fa, fa, 2, 3));
    sum_c += widened(__builtin_shufflevector(fb, fb, 0, 1));
    sum_d += widened(__builtin_shufflevector(fb, fb, 2, 3));
    sum_e += widened(fc);
    seen = tracked<Code>(tracked<Code>(seen, a), b);
    seen_c = tracked<Code>(seen_c, c);
    out += 10;
    last = p;
    ++lines;
    p += table.extent + end;
    room -= table.extent + end;
  }
  PlainRun run;
  run.bytes = static_cast<std::size_t>(p - base);
  run.lines = lines;
  run.last = static_cast<std::size_t>(last - base);
  const Doubles total = ((sum_a + sum_b) + (sum_c + sum_d)) + sum_e;
  run.sum = total[0] + total[1];
  const std::int32_t lanes[6] = {seen[0], seen[1], seen[2], seen[3], seen_c[0], seen_c[1]};
  for (const std::int32_t lane : lanes) {
    const auto v =
        Code == LayoutCode::mr
            ? lane
            : static_cast<std::int32_t>((static_cast<std::uint32_t>(lane) ^ 0x80000000u) + 1u);
    run.exact = run.exact && exact_value<Code>(v);
  }
  return run;
}

#ifdef CORVANE_X86

// The vector loops below are one function each, compiled for their instructions; what they
// share is inlined into them. The constants are made once a run of lines.

struct SseConstants {
  __m128i zero_char, nine, blank, pair_weights, four_weights, join_weights, six, six_last, four,
      four_last, marker, one;
  __m128 scale;
};

// Shuffles: six-digit fields into 8-byte slots whose first two bytes are 0; four-digit fields
// into 4-byte slots (0x80 gives a 0). Two fields from each sixteen bytes loaded.
constexpr char Z = static_cast<char>(0x80);

template <LayoutCode Code>
[[gnu::target("sse4.1")]] inline SseConstants sse_constants() {
  SseConstants k;
  k.zero_char = _mm_set1_epi8('0');
  k.nine = _mm_set1_epi8(9);
  k.blank = _mm_set1_epi8(' ');
  k.pair_weights = _mm_set1_epi16(0x010A);      // ten and one
  k.four_weights = _mm_set1_epi32(0x00010064);  // a hundred and one
  k.join_weights = _mm_set1_epi32(0x00012710);  // ten thousand and one
  k.six = _mm_setr_epi8(Z, Z, 0, 1, 2, 3, 4, 5, Z, Z, 6, 7, 8, 9, 10, 11);
  k.six_last = _mm_setr_epi8(Z, Z, 4, 5, 6, 7, 8, 9, Z, Z, 10, 11, 12, 13, 14, 15);
  k.four = _mm_setr_epi8(0, 1, 2, 3, 7, 8, 9, 10, Z, Z, Z, Z, Z, Z, Z, Z);
  k.four_last = _mm_setr_epi8(2, 3, 4, 5, 9, 10, 11, 12, Z, Z, Z, Z, Z, Z, Z, Z);
  k.marker = _mm_set1_epi32(Code == LayoutCode::mr ? kHundredthsEnd : kIndexEnd - 1);
  k.one = _mm_set1_epi32(1);
  k.scale = _mm_set1_ps(unit<Code>());
  return k;
}

[[gnu::target("sse4.1")]] inline __m128i load16(const char* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

[[gnu::target("avx2")]] inline __m256i load32(const char* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

[[gnu::target("avx2")]] inline __m256i wide(__m128i v) { return _mm256_broadcastsi128_si256(v); }

// The constants of the AVX2 loop: each of the SSE4.1 constants twice over.
struct AvxConstants {
  __m256i zero_char, nine, blank, pair_weights, four_weights, join_weights, six, four, marker, one;
  __m256 scale;
};

[[gnu::target("avx2")]] inline AvxConstants avx_constants(const SseConstants& k) {
  return {wide(k.zero_char),
          wide(k.nine),
          wide(k.blank),
          wide(k.pair_weights),
          wide(k.four_weights),
          wide(k.join_weights),
          wide(k.six),
          wide(k.four),
          wide(k.marker),
          wide(k.one),
          _mm256_set_m128(k.scale, k.scale)};
}

// The column test of plain_fields, sixteen or thirty-two columns at a time: each column a
// digit, or a blank that begins its field or follows a blank.
[[gnu::target("sse4.1")]] inline __m128i plain16(const char* line, std::size_t at,
                                                 const unsigned char* starts,
                                                 const SseConstants& k) {
  const __m128i c = load16(line + at);
  const __m128i d = _mm_sub_epi8(c, k.zero_char);
  const __m128i digit = _mm_cmpeq_epi8(_mm_min_epu8(d, k.nine), d);
  const __m128i open = _mm_or_si128(_mm_cmpeq_epi8(load16(line + at - 1), k.blank),
                                    load16(reinterpret_cast<const char*>(starts)));
  return _mm_or_si128(digit, _mm_and_si128(_mm_cmpeq_epi8(c, k.blank), open));
}

[[gnu::target("avx2")]] inline __m256i plain32(const char* line, std::size_t at,
                                               const unsigned char* starts, const AvxConstants& k) {
  const __m256i c = load32(line + at);
  const __m256i d = _mm256_sub_epi8(c, k.zero_char);
  const __m256i digit = _mm256_cmpeq_epi8(_mm256_min_epu8(d, k.nine), d);
  const __m256i open = _mm256_or_si256(_mm256_cmpeq_epi8(load32(line + at - 1), k.blank),
                                       load32(reinterpret_cast<const char*>(starts)));
  return _mm256_or_si256(digit, _mm256_and_si256(_mm256_cmpeq_epi8(c, k.blank), open));
}

// The column groups of the test: measurement columns 9-72 as four of 16 or two of 32; index
// columns 7-80 as five of 16 (the last overlapping) or three of 32 (likewise).
template <LayoutCode Code>
[[gnu::target("sse4.1")]] inline bool plain_sse(const char* p, const SseConstants& k) {
  constexpr const auto& table = column_table<Code>();
  constexpr std::size_t first = table.first;
  const unsigned char* s = table.starts.data();
  __m128i ok = _mm_and_si128(plain16(p, first, s, k), plain16(p, first + 16, s + 16, k));
  ok = _mm_and_si128(ok, plain16(p, first + 32, s + 32, k));
  ok = _mm_and_si128(ok, plain16(p, first + 48, s + 48, k));
  if constexpr (Code == LayoutCode::ir) ok = _mm_and_si128(ok, plain16(p, first + 58, s + 58, k));
  return _mm_movemask_epi8(ok) == 0xFFFF;
}

template <LayoutCode Code>
[[gnu::target("avx2")]] inline bool plain_avx2(const char* p, const AvxConstants& k) {
  constexpr const auto& table = column_table<Code>();
  constexpr std::size_t first = table.first;
  const unsigned char* s = table.starts.data();
  __m256i ok = _mm256_and_si256(plain32(p, first, s, k), plain32(p, first + 32, s + 32, k));
  if constexpr (Code == LayoutCode::ir) {
    ok = _mm256_and_si256(ok, plain32(p, first + 42, s + 42, k));
  }
  return _mm256_movemask_epi8(ok) == -1;
}

// The digits of the bytes (blanks and the zeros of a shuffle read 0), joined in pairs, then
// in fours: one 32-bit value per four-byte slot.
[[gnu::target("sse4.1")]] inline __m128i fours16(__m128i bytes, const SseConstants& k) {
  const __m128i digits = _mm_subs_epu8(bytes, k.zero_char);
  return _mm_madd_epi16(_mm_maddubs_epi16(digits, k.pair_weights), k.four_weights);
}

[[gnu::target("avx2")]] inline __m256i fours32(__m256i bytes, const AvxConstants& k) {
  const __m256i digits = _mm256_subs_epu8(bytes, k.zero_char);
  return _mm256_madd_epi16(_mm256_maddubs_epi16(digits, k.pair_weights), k.four_weights);
}

// Six-digit fields from the 32-bit halves of their slots (the first two digits, the last
// four), packed in 16-bit lanes and joined.
[[gnu::target("sse4.1")]] inline __m128i join16(__m128i a, __m128i b, const SseConstants& k) {
  return _mm_madd_epi16(_mm_packus_epi32(a, b), k.join_weights);
}

[[gnu::target("avx2")]] inline __m256i join32(__m256i a, __m256i b, const AvxConstants& k) {
  return _mm256_madd_epi16(_mm256_packus_epi32(a, b), k.join_weights);
}

[[gnu::target("sse4.1")]] inline __m128i shuffled16(const char* p, std::size_t off, __m128i mask) {
  return _mm_shuffle_epi8(load16(p + off), mask);
}

// Sixteen bytes from `p + lo` and sixteen from `p + hi` side by side, each shuffled by `mask`.
[[gnu::target("avx2")]] inline __m256i shuffled32(const char* p, std::size_t lo, std::size_t hi,
                                                  __m256i mask) {
  const __m256i v =
      _mm256_inserti128_si256(_mm256_castsi128_si256(load16(p + lo)), load16(p + hi), 1);
  return _mm256_shuffle_epi8(v, mask);
}

// The ten values of a plain line, SSE4.1: values 1-4 in `a`, 5-8 in `b`, 9 and 10 in the low
// lanes of `c` and 0 above them.
template <LayoutCode Code>
[[gnu::target("sse4.1")]] inline void values_sse(const char* p, const SseConstants& k, __m128i& a,
                                                 __m128i& b, __m128i& c) {
  if constexpr (Code == LayoutCode::mr) {
    a = join16(fours16(shuffled16(p, 12, k.six), k), fours16(shuffled16(p, 24, k.six), k), k);
    b = join16(fours16(shuffled16(p, 36, k.six), k), fours16(shuffled16(p, 48, k.six), k), k);
    c = join16(fours16(shuffled16(p, 56, k.six_last), k), _mm_setzero_si128(), k);
  } else {
    a = fours16(_mm_unpacklo_epi64(shuffled16(p, 10, k.four), shuffled16(p, 24, k.four)), k);
    b = fours16(_mm_unpacklo_epi64(shuffled16(p, 38, k.four), shuffled16(p, 52, k.four)), k);
    c = fours16(shuffled16(p, 64, k.four_last), k);
  }
}

// The same, AVX2: values 1-8 in `a`.
template <LayoutCode Code>
[[gnu::target("avx2")]] inline void values_avx2(const char* p, const AvxConstants& w,
                                                const SseConstants& k, __m256i& a, __m128i& c) {
  if constexpr (Code == LayoutCode::mr) {
    a = join32(fours32(shuffled32(p, 12, 36, w.six), w), fours32(shuffled32(p, 24, 48, w.six), w),
               w);
    c = join16(fours16(shuffled16(p, 56, k.six_last), k), _mm_setzero_si128(), k);
  } else {
    a = fours32(_mm256_unpacklo_epi64(shuffled32(p, 10, 38, w.four), shuffled32(p, 24, 52, w.four)),
                w);
    c = fours16(shuffled16(p, 64, k.four_last), k);
  }
}

// End markers among values (none is below 0: the fields hold no "-").
template <LayoutCode Code>
[[gnu::target("sse4.1")]] inline __m128i markers16(__m128i v, const SseConstants& k) {
  if constexpr (Code == LayoutCode::mr) {
    return _mm_cmpeq_epi32(v, k.marker);
  } else {
    return _mm_cmpgt_epi32(v, k.marker);
  }
}

template <LayoutCode Code>
[[gnu::target("avx2")]] inline __m256i markers32(__m256i v, const AvxConstants& k) {
  if constexpr (Code == LayoutCode::mr) {
    return _mm256_cmpeq_epi32(v, k.marker);
  } else {
    return _mm256_cmpgt_epi32(v, k.marker);
  }
}

// What the exactness of the sum needs to know of the values, lane by lane: the greatest
// (measurements), or the least less one, unsigned, so that 0 counts as the greatest
// (indices). Lanes that hold 0 for no value change neither.
template <LayoutCode Code>
[[gnu::target("sse4.1")]] inline __m128i track16(__m128i seen, __m128i v, const SseConstants& k) {
  if constexpr (Code == LayoutCode::mr) {
    return _mm_max_epi32(seen, v);
  } else {
    return _mm_min_epu32(seen, _mm_sub_epi32(v, k.one));
  }
}

template <LayoutCode Code>
[[gnu::target("sse4.1")]] inline __m128i track_start() {
  return Code == LayoutCode::mr ? _mm_setzero_si128() : _mm_set1_epi32(-1);
}

template <LayoutCode Code>
[[gnu::target("sse4.1")]] inline bool exact_seen(__m128i seen) {
  alignas(16) std::int32_t lanes[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(lanes), seen);
  bool exact = true;
  for (const std::int32_t lane : lanes) {
    const auto v = Code == LayoutCode::mr
                       ? lane
                       : static_cast<std::int32_t>(static_cast<std::uint32_t>(lane) + 1u);
    exact = exact && exact_value<Code>(v);
  }
  return exact;
}

template <LayoutCode Code>
constexpr std::size_t kYearEnd = column_table<Code>().fields[0].start
                                 + column_table<Code>().fields[0].width - 1;

// The tests of a plain full line that come before its fields'.
template <LayoutCode Code>
inline std::size_t line_end_if_printable(const char* p, std::size_t room) {
  const std::size_t end = full_line_end<Code>(p, room);
  if (end == 0 || !printable8(p) || static_cast<unsigned char>(p[kYearEnd<Code>] - '0') > 9) {
    return 0;
  }
  return end;
}

template <LayoutCode Code, bool kChecked>
[[gnu::target("sse4.1")]] PlainRun sse41_run(std::string_view text, float* out,
                                             std::int32_t max_lines, const PlainCheck* check) {
  constexpr std::size_t width = column_table<Code>().extent;
  const SseConstants k = sse_constants<Code>();
  const char* const base = text.data();
  const char* p = base;
  const char* last = base;
  std::size_t room = text.size();
  std::int32_t lines = 0;
  __m128d sum_a = _mm_setzero_pd(), sum_b = _mm_setzero_pd(), sum_c = _mm_setzero_pd();
  __m128d sum_d = _mm_setzero_pd(), sum_e = _mm_setzero_pd();
  __m128i seen = track_start<Code>();
  while (lines < max_lines) {
    const std::size_t end = line_end_if_printable<Code>(p, room);
    if (end == 0 || !plain_sse<Code>(p, k)) break;
    if (kChecked && !meets<Code>(p, *check, lines)) break;
    __m128i a, b, c;
    values_sse<Code>(p, k, a, b, c);
    __m128i marked = _mm_or_si128(_mm_or_si128(markers16<Code>(a, k), markers16<Code>(b, k)),
                                  markers16<Code>(c, k));
    // A check's lines hold no 0 (lanes 3 and 4 of `c` hold none of the line's values).
    if constexpr (kChecked) {
      const __m128i zero = _mm_setzero_si128();
      marked = _mm_or_si128(
          marked, _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi32(a, zero), _mm_cmpeq_epi32(b, zero)),
                               _mm_unpacklo_epi64(_mm_cmpeq_epi32(c, zero), zero)));
    }
    if (!_mm_testz_si128(marked, marked)) break;
    const __m128 fa = _mm_mul_ps(_mm_cvtepi32_ps(a), k.scale);
    const __m128 fb = _mm_mul_ps(_mm_cvtepi32_ps(b), k.scale);
    const __m128 fc = _mm_mul_ps(_mm_cvtepi32_ps(c), k.scale);
    _mm_storeu_ps(out, fa);
    _mm_storeu_ps(out + 4, fb);
    _mm_storel_pi(reinterpret_cast<__m64*>(out + 8), fc);
    sum_a = _mm_add_pd(sum_a, _mm_cvtps_pd(fa));
    sum_b = _mm_add_pd(sum_b, _mm_cvtps_pd(_mm_movehl_ps(fa, fa)));
    sum_c = _mm_add_pd(sum_c, _mm_cvtps_pd(fb));
    sum_d = _mm_add_pd(sum_d, _mm_cvtps_pd(_mm_movehl_ps(fb, fb)));
    sum_e = _mm_add_pd(sum_e, _mm_cvtps_pd(fc));
    seen = track16<Code>(track16<Code>(track16<Code>(seen, a, k), b, k), c, k);
    out += 10;
    last = p;
    ++lines;
    p += width + end;
    room -= width + end;
  }
  PlainRun run;
  run.bytes = static_cast<std::size_t>(p - base);
  run.lines = lines;
  run.last = static_cast<std::size_t>(last - base);
  alignas(16) double lanes[2];
  _mm_store_pd(lanes,
               _mm_add_pd(_mm_add_pd(_mm_add_pd(sum_a, sum_b), _mm_add_pd(sum_c, sum_d)), sum_e));
  run.sum = lanes[0] + lanes[1];
  run.exact = exact_seen<Code>(seen);
  return run;
}

template <LayoutCode Code, bool kChecked>
[[gnu::target("avx2")]] PlainRun avx2_run(std::string_view text, float* out, std::int32_t max_lines,
                                          const PlainCheck* check) {
  constexpr std::size_t width = column_table<Code>().extent;
  const SseConstants k = sse_constants<Code>();
  const AvxConstants w = avx_constants(k);
  const char* const base = text.data();
  const char* p = base;
  const char* last = base;
  std::size_t room = text.size();
  std::int32_t lines = 0;
  __m256d sum_a = _mm256_setzero_pd(), sum_b = _mm256_setzero_pd();
  __m128d sum_c = _mm_setzero_pd();
  __m128i seen_c = track_start<Code>();
  __m256i seen = wide(seen_c);
  while (lines < max_lines) {
    const std::size_t end = line_end_if_printable<Code>(p, room);
    if (end == 0 || !plain_avx2<Code>(p, w)) break;
    if (kChecked && !meets<Code>(p, *check, lines)) break;
    __m256i a;
    __m128i c;
    values_avx2<Code>(p, w, k, a, c);
    __m256i marked =
        _mm256_or_si256(markers32<Code>(a, w), _mm256_zextsi128_si256(markers16<Code>(c, k)));
    // A check's lines hold no 0 (lanes 3 and 4 of `c` hold none of the line's values).
    if constexpr (kChecked) {
      const __m128i zero = _mm_setzero_si128();
      marked = _mm256_or_si256(
          marked, _mm256_or_si256(
                      _mm256_cmpeq_epi32(a, _mm256_setzero_si256()),
                      _mm256_zextsi128_si256(_mm_unpacklo_epi64(_mm_cmpeq_epi32(c, zero), zero))));
    }
    if (!_mm256_testz_si256(marked, marked)) break;
    const __m256 fa = _mm256_mul_ps(_mm256_cvtepi32_ps(a), w.scale);
    const __m128 fc = _mm_mul_ps(_mm_cvtepi32_ps(c), k.scale);
    _mm256_storeu_ps(out, fa);
    _mm_storel_pi(reinterpret_cast<__m64*>(out + 8), fc);
    sum_a = _mm256_add_pd(sum_a, _mm256_cvtps_pd(_mm256_castps256_ps128(fa)));
    sum_b = _mm256_add_pd(sum_b, _mm256_cvtps_pd(_mm256_extractf128_ps(fa, 1)));
    sum_c = _mm_add_pd(sum_c, _mm_cvtps_pd(fc));
    if constexpr (Code == LayoutCode::mr) {
      seen = _mm256_max_epi32(seen, a);
    } else {
      seen = _mm256_min_epu32(seen, _mm256_sub_epi32(a, w.one));
    }
    seen_c = track16<Code>(seen_c, c, k);
    out += 10;
    last = p;
    ++lines;
    p += width + end;
    room -= width + end;
  }
  PlainRun run;
  run.bytes = static_cast<std::size_t>(p - base);
  run.lines = lines;
  run.last = static_cast<std::size_t>(last - base);
  const __m256d s = _mm256_add_pd(sum_a, sum_b);
  const __m128d t =
      _mm_add_pd(_mm_add_pd(_mm256_castpd256_pd128(s), _mm256_extractf128_pd(s, 1)), sum_c);
  alignas(16) double lanes[2];
  _mm_store_pd(lanes, t);
  run.sum = lanes[0] + lanes[1];
  const __m128i lo = _mm256_castsi256_si128(seen), hi = _mm256_extracti128_si256(seen, 1);
  if constexpr (Code == LayoutCode::mr) {
    run.exact = exact_seen<Code>(_mm_max_epi32(_mm_max_epi32(lo, hi), seen_c));
  } else {
    run.exact = exact_seen<Code>(_mm_min_epu32(_mm_min_epu32(lo, hi), seen_c));
  }
  return run;
}

#endif  // CORVANE_X86

// Each way as a run's reader and as a check's, chosen once a run of lines.
template <LayoutCode Code>
PlainRun plain_words(std::string_view text, float* out, std::int32_t max_lines,
                     const PlainCheck* check) {
  return check != nullptr ? words_run<Code, true>(text, out, max_lines, check)
                          : words_run<Code, false>(text, out, max_lines, nullptr);
}

#ifdef CORVANE_X86
template <LayoutCode Code>
PlainRun plain_sse41(std::string_view text, float* out, std::int32_t max_lines,
                     const PlainCheck* check) {
  return check != nullptr ? sse41_run<Code, true>(text, out, max_lines, check)
                          : sse41_run<Code, false>(text, out, max_lines, nullptr);
}

template <LayoutCode Code>
PlainRun plain_avx2_lines(std::string_view text, float* out, std::int32_t max_lines,
                          const PlainCheck* check) {
  return check != nullptr ? avx2_run<Code, true>(text, out, max_lines, check)
                          : avx2_run<Code, false>(text, out, max_lines, nullptr);
}
#endif

VectorPath chosen_path() {
  VectorPath best = VectorPath::none;
  for (const VectorPath p : {VectorPath::sse41, VectorPath::avx2}) {
    if (supports(p)) best = p;
  }
  if (const char* forced = std::getenv("CORVANE_VECTOR")) {
    for (const VectorPath p : {VectorPath::none, VectorPath::sse41, VectorPath::avx2}) {
      if (path_name(p) == forced && p < best) best = p;
    }
  }
  return best;
}

}  // namespace

bool supports(VectorPath path) {
  switch (path) {
    case VectorPath::none:
      return true;
#ifdef CORVANE_X86
    case VectorPath::sse41:
      return __builtin_cpu_supports("sse4.1");
    case VectorPath::avx2:
      return __builtin_cpu_supports("avx2");
#else
    default:
      return false;
#endif
  }
  return false;
}

VectorPath vector_path() {
  static const VectorPath path = chosen_path();
  return path;
}

std::string_view path_name(VectorPath path) {
  switch (path) {
    case VectorPath::none:
      break;
    case VectorPath::sse41:
      return "sse41";
    case VectorPath::avx2:
      return "avx2";
  }
  return "none";
}

PlainLines plain_lines(LayoutCode code, VectorPath path) {
  const bool mr = code == LayoutCode::mr;
  switch (path) {
    case VectorPath::none:
      break;
#ifdef CORVANE_X86
    case VectorPath::sse41:
      return mr ? plain_sse41<LayoutCode::mr> : plain_sse41<LayoutCode::ir>;
    case VectorPath::avx2:
      return mr ? plain_avx2_lines<LayoutCode::mr> : plain_avx2_lines<LayoutCode::ir>;
#else
    default:
      break;
#endif
  }
  return mr ? plain_words<LayoutCode::mr> : plain_words<LayoutCode::ir>;
}

}  // namespace corvane::decade
