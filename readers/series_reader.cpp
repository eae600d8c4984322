// The series reader: trrw's calling protocol, kept in one place.
#include "readers/series_reader.h"

#include "readers/decade_line.h"

namespace corvane {

std::string SeriesStep::limit_message() const {
  return corvane::limit_message(limit, series.id, limit_n_);
}

SeriesReader::SeriesReader(LineFile& file, LayoutCode code, Sink& console, ReaderObserver* observer)
    : file_(file),
      code_(code),
      console_(console),
      observer_(observer),
      values_(new float[kMaxValues]) {}

SeriesStep SeriesReader::next() {
  SeriesStep step;
  if (ended_) return step;
  SeriesId id;
  id.fill(' ');
  std::int32_t first_year = 0, n = 0;
  bool self_describing = false;
  const std::span<float> values(values_.get(), static_cast<std::size_t>(kMaxValues));
  step.limit = trrw(id, first_year, n, values, counter_, file_, console_, code_, self_describing,
                    observer_, &step.counts, &formats_);
  step.series.id = id;
  if (step.limit != ReadLimit::none) {
    step.kind = SeriesStep::Kind::limit;
    step.limit_n_ = n;
    return step;
  }
  if (counter_ <= 0) {
    ended_ = true;
    return step;
  }
  step.kind = SeriesStep::Kind::series;
  step.series.self_describing = self_describing;
  step.series.year_sign = !self_describing && sign_in_id(code_, id[7]);
  step.series.first_year = step.series.year_sign ? -first_year : first_year;
  step.series.values = std::span<const float>(values_.get(), static_cast<std::size_t>(n));
  return step;
}

}  // namespace corvane
