// The two choices a check is made with: the statement language the parser
// reads (Syntax) and the test by which the duplication check decides that a
// source rule covers a setting rule (Cover). They are plain values that the
// front ends pass down; the classic values are the default everywhere and
// give, byte for byte, what a check gave before there were modes.
#ifndef DORVEX_PARSER_CHECK_MODES_H_
#define DORVEX_PARSER_CHECK_MODES_H_

#include <cstdint>

namespace dorvex {

enum class Syntax : std::uint8_t {
  classic,  // numbered rules, list openings and their rules, nothing else
  full,     // also sequence numbers, remarks, prefixes and the other forms of
            // running configurations (statement_parser.h)
};

enum class Cover : std::uint8_t {
  classic,  // the source rule's wildcards, a symmetric protocol test, the
            // port table of the classic check, option words never decide
  exact,    // every packet the setting rule matches, the source rule matches
  list,     // the source list, read in order with its implicit deny, gives
            // every packet the setting rule matches the setting rule's action
};

// The word that names a cover in options, reports and documents.
constexpr const char* coverName(Cover cover) {
  return cover == Cover::list ? "list" : cover == Cover::exact ? "exact" : "classic";
}

struct CheckModes {
  Syntax syntax = Syntax::classic;
  Cover cover = Cover::classic;
  // Also the within analysis: each configuration's unreachable and redundant
  // lines, list by list (dupcheck/list_check.h).
  bool within = false;
  // Also the change review: what the setting config (the new revision)
  // changes from the source config (the old one), list by list, both ways
  // (dupcheck/change_review.h).
  bool diff = false;
  bool isDefault() const {
    return syntax == Syntax::classic && cover == Cover::classic && !within && !diff;
  }
};

}  // namespace dorvex

#endif  // DORVEX_PARSER_CHECK_MODES_H_
