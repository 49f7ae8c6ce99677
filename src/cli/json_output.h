// The machine-readable result of a console run (--format json), one checked
// pair at a time: both configurations line by line (text, marks,
// annotation) with their counts, every duplicate pair with its list and
// both rules' texts, and the report path. The whole document and its rules
// are in docs/json-output.md, its schema in docs/json-output.schema.json.
//
// The document is written as a stream, one value at a time, through a
// buffer of fixed size, from what the check holds (the parser's line
// records among it): writing allocates nothing, so a lack of memory can no
// longer cut a document short, and a pair of any size takes no memory
// beyond the check's own.
//
// Configuration bytes are not converted. A string taken from them is the
// bytes read as UTF-8, with U+FFFD for every byte that is no part of a valid
// sequence; when that happened, a member beside it holds the exact bytes in
// base64: "bytes" beside a line's "text", "<key>_bytes" beside any other
// member "<key>".
#ifndef DORVEX_CLI_JSON_OUTPUT_H_
#define DORVEX_CLI_JSON_OUTPUT_H_

#include <cstddef>
#include <iosfwd>
#include <string_view>

#include "parser/check_modes.h"
#include "workspace/check_workspace.h"

namespace dorvex {

// Length of the UTF-8 sequence starting at `text[at]`, or 0 when the bytes
// there are no valid sequence (overlong forms, surrogates and values past
// U+10FFFF are invalid too).
std::size_t utf8SequenceLength(std::string_view text, std::size_t at);

// Writes JSON to a stream through a buffer of its own; allocates nothing.
// A failed write is seen by the stream's state, as for every other output.
class JsonWriter {
 public:
  explicit JsonWriter(std::ostream& out) : out(out) {}
  JsonWriter(const JsonWriter&) = delete;
  JsonWriter& operator=(const JsonWriter&) = delete;

  void raw(std::string_view text);
  void number(long long value);
  // `bytes` as a JSON string, read as UTF-8, each byte outside a valid
  // sequence replaced by U+FFFD. Returns whether any was.
  bool text(std::string_view bytes);
  // `bytes` in base64 (RFC 4648, with padding) as a JSON string.
  void base64(std::string_view bytes);
  // ,"key": before a member; the first member of an object has no comma.
  void key(std::string_view name, bool first = false);
  // The member "key" set to the text of `bytes`, and "<bytesKey>" to the
  // bytes themselves when they are not UTF-8.
  void textMember(std::string_view name, std::string_view bytes, std::string_view bytesKey,
                  bool first = false);
  // Hands what the buffer holds to the stream and flushes it. Returns false
  // when the stream has failed.
  bool flush();

 private:
  void put(char c) {
    if (used == sizeof buffer) drain();
    buffer[used++] = c;
  }
  void drain();

  std::ostream& out;
  char buffer[1 << 16];
  std::size_t used = 0;
};

// The document's start, up to and with the opening of its checks array.
void writeDocumentStart(JsonWriter& json, CheckModes modes);

// The check entry of a pair the check finished: the two configurations
// under their file paths, the duplicate pairs, the report path
// (`reportPath` empty: none written) and `exitStatus`.
// REQUIRES: the check ran with the annotated texts and with its pairs
// recorded (CheckWorkspace::recordPairs).
void writeCheck(JsonWriter& json, const CheckWorkspace& workspace, std::string_view sourcePath,
                std::string_view settingPath, std::string_view reportPath, int exitStatus);

// The check entry of a pair that ended in trouble (exit status 2): the file
// paths and the message.
void writeFailedCheck(JsonWriter& json, std::string_view sourcePath, std::string_view settingPath,
                      std::string_view message);

}  // namespace dorvex

#endif  // DORVEX_CLI_JSON_OUTPUT_H_
