#include "dupcheck/option_cover.h"

namespace dorvex {

namespace {

// Whether a setting rule's `value` meets the source rule's `required`.
bool meets(int required, int value) { return required == kNotSet || required == value; }

}  // namespace

bool optionsCover(const RuleOptions& source, const RuleOptions& setting) {
  return (!source.established || setting.established) && (!source.fragments || setting.fragments) &&
         meets(source.icmpType, setting.icmpType) && meets(source.icmpCode, setting.icmpCode) &&
         (source.timeRange.empty() || source.timeRange == setting.timeRange) &&
         meets(source.tos, setting.tos) && meets(source.precedence, setting.precedence) &&
         meets(source.dscp, setting.dscp) &&
         (source.tcpFlags == 0 || source.tcpFlags == setting.tcpFlags);
}

}  // namespace dorvex
