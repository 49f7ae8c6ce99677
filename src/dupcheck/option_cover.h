// The option part of the exact cover test (Cover::exact): whether a source
// rule's typed options (parser/rule_options.h) admit every packet that a
// setting rule's options admit.
//
// A source rule's restriction is met only by the same restriction on the
// setting rule (an ICMP type alone also by that type with a code; the TCP
// flag words as one set, met by the same set); restrictions of the setting
// rule alone make it narrower and leave it covered.
#ifndef DORVEX_DUPCHECK_OPTION_COVER_H_
#define DORVEX_DUPCHECK_OPTION_COVER_H_

#include "parser/rule_options.h"

namespace dorvex {

// True iff every restriction of `source` is met by `setting`; words not
// understood are left to the caller.
bool optionsCover(const RuleOptions& source, const RuleOptions& setting);

}  // namespace dorvex

#endif  // DORVEX_DUPCHECK_OPTION_COVER_H_
