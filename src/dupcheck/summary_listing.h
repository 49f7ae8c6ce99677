// The summary listing of a configuration: every line of its text, numbered,
// with the marks of the entry that came from it.
//
//   "001:E---:!" "\r\n" "002:--DO:access-list 101 permit icmp any any echo" ...
//
// The number is at least three digits ("%03d"); the mark field holds E
// (error), U (unsupported), D (duplicate) and O (shared option word) in
// their places, "-" where the bit is not set. Lines are joined by CR LF, with
// none after the last; an LF that ends the text starts no line of its own.
#ifndef DORVEX_DUPCHECK_SUMMARY_LISTING_H_
#define DORVEX_DUPCHECK_SUMMARY_LISTING_H_

#include <string_view>

#include "parser/acl_config.h"
#include "text/text_cursor.h"

namespace dorvex {

// Appends the summary listing of `config` to `output`, from the line records
// of its parse (AclConfig::lines()): a line shows the marks of the entry it
// committed, blank marks when there is none. A text not parsed is listed
// with blank marks, and its input left at its end, as a parse leaves it.
void writeSummary(AclConfig& config, TextCursor& output);

// The four marks of an entry with `flags`, as its summary line shows them
// ("E---", "--DO"): for every other text that names the marks.
std::string_view markLetters(unsigned flags);

}  // namespace dorvex

#endif  // DORVEX_DUPCHECK_SUMMARY_LISTING_H_
