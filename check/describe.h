// The wording of a check's findings: one sentence for the facts of each finding.
#ifndef CORVANE_CHECK_DESCRIBE_H
#define CORVANE_CHECK_DESCRIBE_H

#include <string>

#include "check/facts.h"

namespace corvane {

/// The message of a finding with these facts: one English sentence without a final full stop,
/// texts and IDs of the file quoted and escaped.
std::string describe(const Fact& fact);

}  // namespace corvane

#endif  // CORVANE_CHECK_DESCRIBE_H
