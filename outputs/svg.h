// A segment plot of the series catalogue as a standalone SVG 1.1 picture.
#ifndef CORVANE_OUTPUTS_SVG_H
#define CORVANE_OUTPUTS_SVG_H

#include <cstdint>
#include <string>
#include <string_view>

#include "outputs/series_table.h"
#include "textio/textio.h"

namespace corvane {

/// Appends text for XML character data or a quoted attribute: &, <, >, " and ' escaped; bytes
/// that are not well-formed UTF-8, and control characters, each replaced by "?".
void append_xml_text(std::string& out, std::string_view text);

/// A round step for about `target` ticks over `range` units: 1, 2 or 5 times a power of ten,
/// at least 1.
std::int64_t round_step(std::int64_t range, std::int64_t target);

/// Writes the segment plot: a title line naming the input and the summary's figures (span,
/// series, optimum, years, series included, rings), a legend, a year axis with round-numbered
/// ticks, the optimum common interval as a shaded band labelled with its years (no band when
/// there is none), and one horizontal segment per series in catalogue order from the top,
/// covering its years from the start of its first to the end of its last; series that run
/// through the optimum in one colour (group "in-optimum"), the others in a quieter one (group
/// "other-series"), each segment one <path> element. Row spacing and segment thickness follow
/// the number of series, so that the picture stays within some 1300 pixels in height; IDs label
/// the rows while they have room, series numbers otherwise. The size grows linearly with the
/// number of series (some 35 bytes each beyond a few hundred).
void write_svg(Sink& out, const SeriesTable& table, const Optimum& optimum,
               std::string_view input_name);

}  // namespace corvane

#endif  // CORVANE_OUTPUTS_SVG_H
