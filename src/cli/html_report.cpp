#include "cli/html_report.h"

#include <vector>

#include "cli/findings_view.h"
#include "cli/json_output.h"
#include "cli/run_output.h"
#include "dorvex_version.h"
#include "dupcheck/summary_listing.h"

namespace dorvex {

namespace {

enum class Charset { utf8, shiftJis };

// Length of the Shift-JIS character starting at `text[at]`, or 0 when the
// bytes there are none.
std::size_t shiftJisLength(std::string_view text, std::size_t at) {
  const unsigned char lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80 || (lead >= 0xA1 && lead <= 0xDF)) return 1;
  if (!((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC))) return 0;
  if (at + 1 >= text.size()) return 0;
  const unsigned char trail = static_cast<unsigned char>(text[at + 1]);
  return (trail >= 0x40 && trail <= 0x7E) || (trail >= 0x80 && trail <= 0xFC) ? 2 : 0;
}

std::size_t characterLength(Charset charset, std::string_view text, std::size_t at) {
  return charset == Charset::utf8 ? utf8SequenceLength(text, at) : shiftJisLength(text, at);
}

bool readsAs(Charset charset, std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = characterLength(charset, text, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

// The kind as a class name: "not read" is "not-read".
std::string kindClass(CheckFinding::Kind kind) {
  std::string name = findingKindName(kind);
  for (char& c : name) {
    if (c == ' ') c = '-';
  }
  return name;
}

// Colours of the kinds as the findings view gives them on a terminal: red
// for what decides otherwise, yellow for what is not known, cyan for lines
// a cleanup may take, magenta for lines not read; a list used but not
// there is red, one there but unused cyan.
constexpr const char* kKindBackgrounds[] = {"#fdd", "#ffc", "#dff", "#dff",
                                            "#fdd", "#fdf", "#fdd", "#dff"};
// A new kind of finding needs its colour here.
static_assert(sizeof kKindBackgrounds / sizeof kKindBackgrounds[0] == CheckFinding::kKinds);

constexpr char kStyle[] =
    "body{font:14px/1.4 sans-serif;margin:0 1em 2em;color:#222}"
    "h1{font-size:1.4em;margin:.6em 0 .2em}h2{font-size:1.1em;margin:1em 0 .3em}"
    "table{border-collapse:collapse;margin:.4em 0}"
    "td,th{border:1px solid #bbb;padding:1px 8px;text-align:right}"
    "td:first-child,th:first-child{text-align:left}"
    "#findings ol{padding-left:3em;margin:0}#findings li{margin:1px 0}"
    ".loc{font-family:monospace}.text{font-family:monospace;white-space:pre-wrap}"
    ".configs{display:flex;gap:1em;align-items:flex-start}.config{flex:1;min-width:0}"
    "pre{font:12px/1.35 monospace;margin:0;overflow-x:auto;border-top:1px solid #bbb}"
    "pre .l{display:block}"
    ".l:target,li:target{outline:2px solid #06c}"
    "a.b{margin-left:1em;font-family:sans-serif;font-size:11px}"
    ".x{color:#fff;background:#a33}"
    "input{margin:0 .4em 0 0}";

// The page, appended to as it is written.
class Page {
 public:
  explicit Page(Charset charset) : charset(charset) {}

  void raw(std::string_view text) { out += text; }
  void number(long long value) { out += std::to_string(value); }

  // Bytes of a configuration or a path as HTML text: markup characters as
  // references, a character of the page's encoding as it is, any other byte
  // (and a control byte) as \xNN, marked when `marked` (never inside
  // <title>, which holds text only).
  void text(std::string_view bytes, bool marked = true) {
    static constexpr char kHex[] = "0123456789abcdef";
    for (std::size_t at = 0; at < bytes.size();) {
      const unsigned char c = static_cast<unsigned char>(bytes[at]);
      const std::size_t length = characterLength(charset, bytes, at);
      if (c == '&') {
        out += "&amp;";
      } else if (c == '<') {
        out += "&lt;";
      } else if (c == '>') {
        out += "&gt;";
      } else if (c == '"') {
        out += "&quot;";
      } else if (length == 0 || (c < 0x20 && c != '\t') || c == 0x7F) {
        if (marked) out += "<span class=\"x\">";
        out += "\\x";
        out += kHex[c >> 4];
        out += kHex[c & 15];
        if (marked) out += "</span>";
      } else {
        out.append(bytes.substr(at, length));
        at += length;
        continue;
      }
      ++at;
    }
  }

  std::string out;

 private:
  Charset charset;
};

// "s12" in the source config, "t12" in the setting config.
std::string lineId(int file, int line) { return (file == 0 ? "s" : "t") + std::to_string(line); }

class Writer {
 public:
  Writer(const CheckWorkspace& workspace, std::string_view sourcePath, std::string_view settingPath,
         Charset charset)
      : workspace(workspace),
        charset(charset),
        page(charset),
        findings(collectFindings(workspace, sourcePath, settingPath)),
        files(workspace.single() ? 1 : 2) {
    paths[0] = sourcePath;
    paths[1] = settingPath;
    for (int f = 0; f < files; ++f) findingsAt[f].resize(config(f).lines().size() + 1);
    for (std::size_t k = 0; k < findings.size(); ++k) {
      const CheckFinding& finding = findings[k];
      if (finding.line > 0 &&
          static_cast<std::size_t>(finding.line) < findingsAt[finding.file].size())
        findingsAt[finding.file][finding.line].push_back(k);
    }
  }

  std::string write() {
    head();
    page.raw("<body>\n<h1>Dorvex report</h1>\n<p>");
    for (int f = 0; f < files; ++f) {
      page.raw(f == 0 ? "Source config <a href=\"#source\">"
                      : ", setting config <a href=\"#setting\">");
      page.text(paths[f]);
      page.raw("</a>");
    }
    const CheckModes& modes = workspace.modes();
    page.raw(modes.syntax == Syntax::full ? "; syntax full, cover " : "; syntax classic, cover ");
    page.raw(coverName(modes.cover));
    if (modes.within) page.raw(", within");
    if (modes.diff) page.raw(", diff");
    page.raw("; Dorvex ");
    page.raw(kDorvexVersion);
    page.raw(".</p>\n");
    counts();
    findingList();
    page.raw("<div class=\"configs\">\n");
    for (int f = 0; f < files; ++f) configLines(f);
    page.raw("</div>\n");
    page.raw(kScript);
    page.raw("</body>\n</html>\n");
    return std::move(page.out);
  }

 private:
  // Adds a box per kind to the counts, which hides that kind's findings:
  // the page reads the same without it.
  static constexpr char kScript[] =
      "<script>\n"
      "document.querySelectorAll(\"#counts tr[data-kind]\").forEach(function (row) {\n"
      "  var box = document.createElement(\"input\");\n"
      "  box.type = \"checkbox\";\n"
      "  box.checked = true;\n"
      "  box.title = \"show the findings of this kind\";\n"
      "  box.addEventListener(\"change\", function () {\n"
      "    document.body.classList.toggle(\"hide-\" + row.dataset.kind, !box.checked);\n"
      "  });\n"
      "  row.cells[0].prepend(box);\n"
      "});\n"
      "</script>\n";

  const AclConfig& config(int file) const {
    return file == 0 ? workspace.sourceConfig : workspace.settingConfig;
  }

  void head() {
    page.raw("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"");
    page.raw(charset == Charset::utf8 ? "utf-8" : "Shift_JIS");
    page.raw("\">\n<meta name=\"viewport\" content=\"width=device-width\">\n<title>Dorvex: ");
    page.text(paths[0], false);
    if (files > 1) {
      page.raw(" and ");
      page.text(paths[1], false);
    }
    page.raw("</title>\n<style>");
    page.raw(kStyle);
    for (int k = 0; k < CheckFinding::kKinds; ++k) {
      const std::string name = kindClass(static_cast<CheckFinding::Kind>(k));
      page.raw(".k-" + name + "{background:" + kKindBackgrounds[k] + "}");
      page.raw(".hide-" + name + " li.k-" + name + ",.hide-" + name + " a.b.k-" + name +
               "{display:none}");
    }
    page.raw("</style>\n</head>\n");
  }

  void counts() {
    long long byKind[CheckFinding::kKinds] = {};
    for (const CheckFinding& finding : findings) ++byKind[finding.kind];
    page.raw("<table id=\"counts\">\n<tr><th>kind</th><th>findings</th></tr>\n");
    for (int k = 0; k < CheckFinding::kKinds; ++k) {
      if (byKind[k] == 0) continue;
      const std::string name = kindClass(static_cast<CheckFinding::Kind>(k));
      page.raw("<tr data-kind=\"" + name + "\" class=\"k-" + name + "\"><td>");
      page.raw(findingKindName(static_cast<CheckFinding::Kind>(k)));
      page.raw("</td><td>");
      page.number(byKind[k]);
      page.raw("</td></tr>\n");
    }
    page.raw("<tr><td>all</td><td id=\"total\">");
    page.number(static_cast<long long>(findings.size()));
    page.raw("</td></tr>\n</table>\n");
    page.raw(
        "<table id=\"marks\">\n<tr><th>configuration</th><th>lines</th><th>rules read</th>"
        "<th>E</th><th>U</th><th>D</th><th>O</th></tr>\n");
    for (int f = 0; f < files; ++f) {
      const MarkCounts marks = countMarks(config(f));
      page.raw("<tr><td>");
      page.text(paths[f]);
      for (long long value : {static_cast<long long>(config(f).lines().size()), marks.rulesRead,
                              marks.error, marks.unsupported, marks.duplicate, marks.option}) {
        page.raw("</td><td>");
        page.number(value);
      }
      page.raw("</td></tr>\n");
    }
    page.raw("</table>\n<p>Duplicate pairs: ");
    page.number(workspace.duplicationCount());
    page.raw(".</p>\n");
  }

  // "setting.cfg:12", linked to its line when it has one.
  void place(int file, int line) {
    if (line > 0) page.raw("<a href=\"#" + lineId(file, line) + "\">");
    page.text(paths[file]);
    if (line > 0) page.raw(":" + std::to_string(line) + "</a>");
  }

  void findingList() {
    page.raw("<section id=\"findings\">\n<h2>Findings</h2>\n");
    if (findings.empty()) page.raw("<p>No findings.</p>\n");
    page.raw("<ol>\n");
    for (std::size_t k = 0; k < findings.size(); ++k) {
      const CheckFinding& finding = findings[k];
      const std::string name = kindClass(finding.kind);
      page.raw("<li id=\"f" + std::to_string(k + 1) + "\" class=\"k-" + name +
               "\"><span class=\"loc\">");
      place(finding.file, finding.line);
      page.raw("</span> <b>");
      page.raw(findingKindName(finding.kind));
      page.raw("</b> ");
      page.text(finding.list);
      page.raw(": <span class=\"text\">");
      page.text(finding.text);
      page.raw("</span>");
      for (std::size_t r = 0; r < finding.related.size(); ++r) {
        const CheckFinding::Related& related = finding.related[r];
        page.raw(r == 0 ? " &mdash; " : ", ");
        page.text(related.role);
        page.raw(" ");
        place(related.file, related.line);
      }
      page.raw("</li>\n");
    }
    page.raw("</ol>\n</section>\n");
  }

  void configLines(int file) {
    const AclConfig& lines = config(file);
    const std::size_t count = lines.lines().size();
    const std::size_t width = std::to_string(count).size();
    page.raw(file == 0 ? "<section class=\"config\" id=\"source\">\n<h2>Source config "
                       : "<section class=\"config\" id=\"setting\">\n<h2>Setting config ");
    page.text(paths[file]);
    page.raw("</h2>\n<pre>");
    for (std::size_t k = 0; k < count; ++k) {
      const LineRecord& line = lines.lines()[k];
      const std::vector<std::size_t>& here = findingsAt[file][k + 1];
      page.raw("<span class=\"l");
      for (std::size_t f : here) page.raw(" k-" + kindClass(findings[f].kind));
      page.raw("\" id=\"" + lineId(file, static_cast<int>(k + 1)) + "\">");
      const std::string number = std::to_string(k + 1);
      page.raw(std::string(width - number.size(), ' ') + number + " ");
      page.raw(markLetters(line.entry >= 0 ? lines.entryAt(line.entry)->flags : 0));
      page.raw(" ");
      page.text(lines.lineShown(line));
      for (std::size_t f : here) {
        const std::string name = kindClass(findings[f].kind);
        page.raw("<a class=\"b k-" + name + "\" href=\"#f" + std::to_string(f + 1) + "\">&larr; ");
        page.raw(findingKindName(findings[f].kind));
        page.raw("</a>");
      }
      page.raw("</span>");
    }
    page.raw("</pre>\n</section>\n");
  }

  const CheckWorkspace& workspace;
  Charset charset;
  Page page;
  std::vector<CheckFinding> findings;
  int files;
  std::string_view paths[2];
  std::vector<std::vector<std::size_t>> findingsAt[2];  // by file and line
};

// UTF-8 when every text of the page reads as such, else Shift-JIS when
// every one does, else UTF-8 with the bytes it cannot read shown as \xNN.
Charset pageCharset(const CheckWorkspace& workspace, std::string_view sourcePath,
                    std::string_view settingPath) {
  for (Charset charset : {Charset::utf8, Charset::shiftJis}) {
    bool all = readsAs(charset, sourcePath) && readsAs(charset, settingPath);
    for (const AclConfig* config : {&workspace.sourceConfig, &workspace.settingConfig}) {
      if (config == &workspace.settingConfig && workspace.single()) break;
      for (const LineRecord& line : config->lines()) {
        if (!all) break;
        all = readsAs(charset, config->lineText(line));
      }
    }
    if (all) return charset;
  }
  return Charset::utf8;
}

}  // namespace

std::string htmlReport(const CheckWorkspace& workspace, std::string_view sourcePath,
                       std::string_view settingPath) {
  return Writer(workspace, sourcePath, settingPath, pageCharset(workspace, sourcePath, settingPath))
      .write();
}

}  // namespace dorvex
