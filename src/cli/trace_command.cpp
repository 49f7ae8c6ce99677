#include "cli/trace_command.h"

#include <cerrno>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <new>
#include <ostream>
#include <stdexcept>

#include "cli/console_driver.h"
#include "cli/json_output.h"
#include "dorvex_version.h"
#include "dupcheck/access_lists.h"
#include "dupcheck/flow_trace.h"
#include "platform/config_file.h"
#include "workspace/report_builder.h"

namespace dorvex {

namespace {

// A list the configurations do not decide alike: status 1, as a check's
// findings are.
constexpr int kExitDiffers = kExitDuplicates;

// One list's traces, a configuration's at its place among the paths.
using ListTraces = std::map<ListKey, std::vector<ListTrace>>;

// "ACL=101", as every details line names a list.
std::string listLabel(const ListKey& key) {
  TextCursor text;
  text.allocate(32);
  {
    TextWriter writer(&text);
    writeListName(writer, key);
  }
  return std::string(text.view().substr(1));  // without the blank before it
}

const char* actionName(Action action) { return action == Action::permit ? "permit" : "deny"; }
const char* comparisonName(TraceComparison comparison) {
  return comparison == TraceComparison::same      ? "same"
         : comparison == TraceComparison::differs ? "differs"
                                                  : "undecided";
}

// Reads and parses the configuration at `path`; false with the message in
// `problem` when it cannot be read.
bool loadConfig(const std::string& path, AclConfig& config, std::string& problem) {
  std::string text, reason;
  if (!readConfigFile(path, text, reason)) {
    problem = path + ": " + reason;
    return false;
  }
  if (text.empty() || text.front() == '\0') {
    problem = path + ": no configuration text (the file is empty)";
    return false;
  }
  config.reset(text, false, Syntax::full);
  config.setFileName(fileNamePart(path));
  config.checkConfig();
  return true;
}

std::string decisionText(const ListTrace& trace) {
  switch (trace.kind) {
    case TraceKind::noList: return "no-list";
    case TraceKind::undecided: return "undecided: " + trace.reason;
    case TraceKind::decided: break;
  }
  std::string text;
  for (int line : trace.lines) {
    if (!text.empty()) text += " or ";
    text += line > 0 ? "line " + std::to_string(line) : lineName(line);
  }
  return text + " " + actionName(trace.action);
}

void writeText(std::ostream& out, const TraceOptions& options, const Flow& flow,
               const ListTraces& lists) {
  out << "flow: " << describe(flow.packet, flow.ipv6) << "\n";
  std::vector<std::string> names;
  for (const std::string& path : options.configPaths) names.push_back(escapedName(path));
  for (const auto& [key, traces] : lists) {
    const std::string label = listLabel(key);
    for (std::size_t c = 0; c < traces.size(); ++c) {
      out << names[c] << ": " << label << " " << decisionText(traces[c]) << "\n";
    }
    if (traces.size() > 1) out << label << " " << comparisonName(compareTraces(traces)) << "\n";
  }
}

void writeJsonFlow(JsonWriter& json, const TraceOptions& options, const Flow& flow) {
  const Packet& packet = flow.packet;
  const std::uint32_t protocol = packet.field[kProtocol];
  json.textMember("text", options.flow, "text_bytes", true);
  json.key("packet");
  json.text(describe(packet, flow.ipv6));
  json.key("family");
  json.raw(flow.ipv6 ? "\"ipv6\"" : "\"ipv4\"");
  json.key("protocol");
  json.number(protocol);
  json.key("source");
  json.text(addressText(packet.word[kSrcHigh], packet.word[kSrcLow], flow.ipv6));
  json.key("destination");
  json.text(addressText(packet.word[kDstHigh], packet.word[kDstLow], flow.ipv6));
  if (protocol == kTcp || protocol == kUdp) {
    json.key("source_port");
    json.number(packet.field[kSrcPort]);
    json.key("destination_port");
    json.number(packet.field[kDstPort]);
  }
  if (protocol == kIcmp || protocol == kIcmpv6) {
    json.key("icmp_type");
    json.number(packet.field[kIcmpType]);
    json.key("icmp_code");
    json.number(packet.field[kIcmpCode]);
  }
  if (protocol == kTcp) {
    json.key("tcp_flags");
    json.text(flagsText(static_cast<unsigned>(packet.word[kMiscWord] >> kFlagShift) & 63u));
  }
}

void writeJsonDecision(JsonWriter& json, const std::string& path, const ListTrace& trace) {
  json.raw("{");
  json.textMember("file", path, "file_bytes", true);
  json.key("decision");
  switch (trace.kind) {
    case TraceKind::noList: json.raw("\"no-list\""); break;
    case TraceKind::undecided:
      json.raw("\"undecided\"");
      json.key("line");
      json.number(trace.line);
      json.key("reason");
      json.text(trace.reason);
      break;
    case TraceKind::decided:
      json.text(actionName(trace.action));
      json.key("lines");
      json.raw("[");
      for (std::size_t k = 0; k < trace.lines.size(); ++k) {
        if (k > 0) json.raw(",");
        json.number(trace.lines[k]);
      }
      json.raw("]");
      break;
  }
  json.raw("}");
}

void writeJson(std::ostream& out, const TraceOptions& options, const Flow& flow,
               const ListTraces& lists, int status) {
  auto json = std::make_unique<JsonWriter>(out);  // its buffer is large
  json->raw("{\"program\":\"dorvex\",\"version\":");
  json->text(kDorvexVersion);
  json->raw(",\"format_version\":1,\"flow\":{");
  writeJsonFlow(*json, options, flow);
  json->raw("},\"lists\":[");
  bool first = true;
  for (const auto& [key, traces] : lists) {
    json->raw(first ? "\n{\"list\":{\"family\":" : ",\n{\"list\":{\"family\":");
    first = false;
    json->raw(key.ipv6 ? "\"ipv6\"" : "\"ipv4\"");
    if (key.number >= 0) {
      json->key("number");
      json->number(key.number);
    } else {
      json->textMember("name", key.name, "name_bytes");
    }
    json->raw("},\"decisions\":[");
    for (std::size_t c = 0; c < traces.size(); ++c) {
      if (c > 0) json->raw(",");
      writeJsonDecision(*json, options.configPaths[c], traces[c]);
    }
    json->raw("],\"comparison\":");
    if (traces.size() > 1) {
      json->raw("\"");
      json->raw(comparisonName(compareTraces(traces)));
      json->raw("\"");
    } else {
      json->raw("null");
    }
    json->raw("}");
  }
  json->raw("\n],\"exit_status\":");
  json->number(status);
  json->raw("}\n");
  json->flush();
}

int trace(const TraceOptions& options, std::ostream& out, std::ostream& err) {
  Flow flow;
  std::string problem;
  if (!parseFlow(options.flow, flow, problem)) {
    err << "dorvex: --trace: " << problem << "\n";
    return kExitTrouble;
  }
  const std::size_t count = options.configPaths.size();
  ListTraces lists;
  std::deque<std::string> listNames;  // what the keys of `lists` view
  for (std::size_t c = 0; c < count; ++c) {
    // The tables are large: one configuration at a time, on the heap.
    auto config = std::make_unique<AclConfig>();
    if (!loadConfig(options.configPaths[c], *config, problem)) {
      err << "dorvex: " << problem << "\n";
      return kExitTrouble;
    }
    if (!options.quiet) {
      const ReadCounts& read = config->readCounts();
      err << "dorvex: " << options.configPaths[c] << ": " << read.rules << " rules read, "
          << read.notRead << " not read (E), " << read.unsupported << " unsupported (U)\n";
    }
    for (auto& [key, listTrace] : traceConfig(*config, flow)) {
      auto at = lists.find(key);
      if (at == lists.end()) {
        // The key outlives the configuration whose name it views.
        ListKey kept = key;
        kept.name = listNames.emplace_back(key.name);
        at = lists.emplace(kept, std::vector<ListTrace>(count)).first;
      }
      at->second[c] = std::move(listTrace);
    }
  }
  if (lists.empty()) {
    err << "dorvex: no " << (flow.ipv6 ? "IPv6" : "IPv4") << " access list to trace the flow in\n";
  }
  int status = kExitClean;
  for (const auto& entry : lists) {
    if (count > 1 && compareTraces(entry.second) != TraceComparison::same) status = kExitDiffers;
  }
  errno = 0;
  if (options.format == "json") {
    writeJson(out, options, flow, lists, status);
  } else {
    writeText(out, options, flow, lists);
  }
  if (!out.flush()) {
    const int error = errno;
    err << "dorvex: standard output: " << (error != 0 ? std::strerror(error) : "write error")
        << "\n";
    return kExitTrouble;
  }
  return status;
}

}  // namespace

int runTrace(const TraceOptions& options, std::ostream& out, std::ostream& err) {
  try {
    return trace(options, out, err);
  } catch (const std::bad_alloc&) {
    err << "dorvex: not enough memory for the trace\n";
  } catch (const std::length_error&) {
    err << "dorvex: a text of the trace is too large for this program\n";
  }
  return kExitTrouble;
}

}  // namespace dorvex
