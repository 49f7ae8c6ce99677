// StatementParser: the config check of one configuration. It reads the input
// text of an AclConfig line by line, recognises in each line one access-list
// statement (a numbered rule, a list opening, or a rule of the list opened
// last), records it in the entry table through the operand parsers
// (operand_parsers.h), and writes the annotation: every line repeated as
// understood, after its "%03d: " line number, followed by "OK\r\n" or an
// error message.
//
// The open list is carried from line to line in the current entry of the
// configuration (acl_no and type), not in the parser: a parser holds only
// the word row of the line being read and the annotation writer.
#ifndef DORVEX_PARSER_STATEMENT_PARSER_H_
#define DORVEX_PARSER_STATEMENT_PARSER_H_

#include "parser/acl_config.h"
#include "parser/operand_parsers.h"
#include "parser/word_row.h"
#include "text/text_cursor.h"
#include "text/text_writer.h"

namespace dorvex {

class StatementParser {
 public:
  // A parser that fills `config` and writes the annotation to `annotation`,
  // appending; nullptr discards the annotation (the tables are filled the
  // same either way). Both must outlive the parser, and nothing else may
  // use `annotation` until the parser is gone.
  StatementParser(AclConfig& config, TextCursor* annotation);
  StatementParser(const StatementParser&) = delete;
  StatementParser& operator=(const StatementParser&) = delete;

  // Parses config.inputText() from its position to its end, one statement
  // per line; every line commits at most one entry, whose column is the
  // line's number. REQUIRES: config.reset() has run. Returns true.
  bool parseAll();

 private:
  enum class StatementKind { numberedRule, listOpening, listRule, notAcl, tooManyWords };
  // The kind of the line in `words`, by its first word.
  static StatementKind classify(const WordRow& words);

  // Each parses the line in `words` as its kind and writes its annotation up
  // to and including the "\r\n" that ends it.
  void parseNumberedRule();
  void parseListOpening();
  void parseListRule();
  void rejectNotAcl();
  void rejectTooManyWords();

  // Parts of a numbered rule after its list number and permission.
  void parseStandardRule(int& wordIndex);
  void parseExtendedRule(int& wordIndex);
  // Operands of an extended rule after the permission, up to the
  // destination port; false when one was rejected.
  bool parseExtendedOperands(int& wordIndex);
  // The list number or name of a list opening; false when the line was
  // rejected.
  bool parseListNumberOrName(int& wordIndex);
  // A rule of the open standard or extended list.
  void parseStandardListRule();
  void parseExtendedListRule();
  // True iff no word stands at wordIndex; otherwise the line is rejected
  // with its first extra word.
  bool endCheck(int wordIndex);

  // The writer lives in the target, so that the operand parsers reach it
  // at a fixed offset: every piece of the annotation is written through it.
  ParseTarget target;
  AclConfig& config = target.config;
  TextWriter& out = target.out;
  WordRow words;
};

}  // namespace dorvex

#endif  // DORVEX_PARSER_STATEMENT_PARSER_H_
