#include "cli/sarif_output.h"

#include <set>
#include <vector>

#include "cli/findings_view.h"
#include "cli/json_output.h"
#include "dorvex_version.h"

namespace dorvex {

namespace {

struct RuleText {
  const char* level;  // a dashboard's severity: what decides otherwise warns
  const char* description;
};

constexpr RuleText kRules[] = {
    {"warning",
     "A setting rule that the source list, read in order, decides otherwise for some "
     "packet, or whose list the source config lacks."},
    {"note", "A rule or change whose answer depends on traffic not exactly known."},
    {"warning", "A line that earlier lines of its list decide for every packet it matches."},
    {"note", "A line whose packets later lines decide alike: removing it changes no decision."},
    {"warning", "A decision the new revision changes: a packet decided otherwise than before."},
    {"warning", "A line that looks like an access-list statement but was not read."},
    {"warning", "A list that an interface, a line or a feature uses but no line defines."},
    {"note", "A list that is defined but that nothing in the configuration uses."},
};
// A kind of finding without its rule here would give results with no rule.
static_assert(sizeof kRules / sizeof kRules[0] == CheckFinding::kKinds);

// The kind's name as an identifier: "not read" is "not-read".
std::string ruleId(CheckFinding::Kind kind) {
  std::string id = findingKindName(kind);
  for (char& c : id) {
    if (c == ' ') c = '-';
  }
  return id;
}

void writeLocation(JsonWriter& json, std::string_view uri, int line) {
  json.raw("\"physicalLocation\":{\"artifactLocation\":{\"uri\":");
  json.text(uri);
  json.raw("}");
  if (line > 0) {
    json.raw(",\"region\":{\"startLine\":");
    json.number(line);
    json.raw("}");
  }
  json.raw("}");
}

// One run whose results are written as the pairs end; the invocation, with
// the troubles met, closes it.
class SarifOutput : public RunOutput {
 public:
  explicit SarifOutput(std::ostream& out) : json(out) {
    json.raw(
        "{\"$schema\":\"https://docs.oasis-open.org/sarif/sarif/v2.1.0/os/schemas/"
        "sarif-schema-2.1.0.json\",\"version\":\"2.1.0\",\"runs\":[{\"tool\":{\"driver\":{"
        "\"name\":\"Dorvex\",\"version\":");
    json.text(kDorvexVersion);
    json.raw(",\"rules\":[");
    for (int k = 0; k < CheckFinding::kKinds; ++k) {
      json.raw(k > 0 ? ",\n{\"id\":" : "\n{\"id\":");
      json.text(ruleId(static_cast<CheckFinding::Kind>(k)));
      json.raw(",\"shortDescription\":{\"text\":");
      json.text(kRules[k].description);
      json.raw("},\"defaultConfiguration\":{\"level\":\"");
      json.raw(kRules[k].level);
      json.raw("\"}}");
    }
    json.raw("]}},\"results\":[");
  }

  bool pair(const PairRun& run, CheckWorkspace& workspace) override {
    if (!run.checked) {
      troubles.push_back(run.error);
      return json.flush();
    }
    const std::string uris[2] = {artifactUri(run.sourcePath), artifactUri(run.settingPath)};
    for (const CheckFinding& finding :
         collectFindings(workspace, run.sourcePath, run.settingPath)) {
      const std::string message = "list " + finding.list + ": " + finding.text;
      // Each setting config is checked against the same source config: its
      // findings come once.
      std::string key = uris[finding.file] + '\n' + std::to_string(finding.line) + '\n' + message;
      if (!written.insert(std::move(key)).second) continue;
      json.raw(written.size() > 1 ? ",\n{\"ruleId\":" : "\n{\"ruleId\":");
      json.text(ruleId(finding.kind));
      json.raw(",\"ruleIndex\":");
      json.number(finding.kind);
      json.raw(",\"level\":\"");
      json.raw(kRules[finding.kind].level);
      json.raw("\",\"message\":{\"text\":");
      json.text(message);
      json.raw("},\"locations\":[{");
      writeLocation(json, uris[finding.file], finding.line);
      json.raw("}]");
      if (!finding.related.empty()) {
        json.raw(",\"relatedLocations\":[");
        for (std::size_t k = 0; k < finding.related.size(); ++k) {
          const CheckFinding::Related& related = finding.related[k];
          json.raw(k > 0 ? ",{\"id\":" : "{\"id\":");
          json.number(static_cast<long long>(k) + 1);
          json.raw(",");
          writeLocation(json, uris[related.file], related.line);
          json.raw(",\"message\":{\"text\":");
          json.text(related.role);
          json.raw("}}");
        }
        json.raw("]");
      }
      json.raw(",\"properties\":{\"list\":");
      json.text(finding.list);
      json.raw("}}");
    }
    return json.flush();
  }

  bool finish(int status) override {
    json.raw("\n],\"invocations\":[{\"executionSuccessful\":");
    json.raw(status == kExitTrouble ? "false" : "true");
    json.raw(",\"exitCode\":");
    json.number(status);
    if (!troubles.empty()) {
      json.raw(",\"toolExecutionNotifications\":[");
      for (std::size_t k = 0; k < troubles.size(); ++k) {
        json.raw(k > 0 ? ",{\"level\":\"error\",\"message\":{\"text\":"
                       : "{\"level\":\"error\",\"message\":{\"text\":");
        json.text(troubles[k]);
        json.raw("}}");
      }
      json.raw("]");
    }
    json.raw("}]}]}\n");
    return json.flush();
  }

 private:
  JsonWriter json;
  std::set<std::string> written;  // the results so far, by location and message
  std::vector<std::string> troubles;
};

}  // namespace

std::unique_ptr<RunOutput> makeSarifOutput(std::ostream& out) {
  return std::make_unique<SarifOutput>(out);
}

std::string artifactUri(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string uri;
  std::size_t at = 0;
  // "/etc/r1.cfg" and "C:\r1.cfg" name no place relative to anything.
  if (!path.empty() && path.front() == '/') {
    uri = "file://";
  } else if (path.size() > 2 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) {
    uri = "file:///";
    uri += path.substr(0, 2);
    at = 2;
  }
  for (; at < path.size(); ++at) {
    const char c = path[at];
    const unsigned char byte = static_cast<unsigned char>(c);
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '.' || c == '_' || c == '~' || c == '/') {
      uri += c;
#ifdef _WIN32
    } else if (c == '\\') {
      uri += '/';  // the separator of Windows paths
#endif
    } else {
      uri += '%';
      uri += kHex[byte >> 4];
      uri += kHex[byte & 15];
    }
  }
  return uri;
}

}  // namespace dorvex
