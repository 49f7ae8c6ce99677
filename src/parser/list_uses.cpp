#include "parser/list_uses.h"

namespace dorvex {

namespace {

bool isDirection(std::string_view word) { return word == "in" || word == "out"; }

// "ro" and "rw" are written in either case.
bool isSnmpAccess(std::string_view word) {
  return word.size() == 2 && (word[0] == 'r' || word[0] == 'R') &&
         (word[1] == 'o' || word[1] == 'O' || word[1] == 'w' || word[1] == 'W');
}

// The words from `first` on, joined by one blank.
std::string wordsFrom(const WordRow& words, int first) {
  std::string text;
  for (int k = first; k < words.size(); ++k) {
    if (!text.empty()) text += ' ';
    text += words.view(k);
  }
  return text;
}

bool indented(const WordRow& words) {
  const std::string_view line = words.line();
  return !line.empty() && (line[0] == ' ' || line[0] == '\t');
}

}  // namespace

std::string_view useKindName(UseKind kind) {
  switch (kind) {
    case UseKind::port: return "interface";
    case UseKind::line: return "line";
    case UseKind::routeMap: return "route-map";
    case UseKind::distributeList: return "distribute-list";
    case UseKind::nat: return "nat";
    case UseKind::snmp: return "snmp-server";
    case UseKind::classMap: return "class-map";
  }
  return "";
}

std::string describeUse(const ListUse& use) {
  std::string text(useKindName(use.kind));
  switch (use.kind) {
    case UseKind::distributeList:
      if (!use.direction.empty()) text += " " + use.direction;
      return text + " router " + use.where;
    case UseKind::nat: return text + " " + use.where;
    case UseKind::snmp: return text + " community";
    default: break;
  }
  if (!use.where.empty()) text += " " + use.where;
  if (!use.direction.empty()) text += " " + use.direction;
  return text;
}

void UseReader::pass(const WordRow& words) {
  if (!indented(words)) context = Context::none;
}

void UseReader::read(const WordRow& words, int line, std::vector<ListUse>& uses) {
  if (indented(words)) {
    readIndented(words, line, uses);
  } else {
    readTopLevel(words, line, uses);
  }
}

void UseReader::add(std::vector<ListUse>& uses, int line, UseKind kind, UseFamily family,
                    std::string_view list, std::string_view where, std::string_view direction) {
  if (list.empty()) return;
  uses.push_back(ListUse{line, kind, family, std::string(list), std::string(where),
                         std::string(isDirection(direction) ? direction : "")});
}

void UseReader::readTopLevel(const WordRow& words, int line, std::vector<ListUse>& uses) {
  const std::string_view first = words.view(0);
  context = Context::none;
  contextName.clear();
  if (first == "interface") {
    context = Context::port;
    contextName = wordsFrom(words, 1);
  } else if (first == "line") {
    context = Context::line;
    contextName = wordsFrom(words, 1);
  } else if (first == "route-map") {
    context = Context::routeMap;
    contextName = words.view(1);
  } else if (first == "router") {
    context = Context::router;
    contextName = wordsFrom(words, 1);
  } else if (first == "class-map") {
    // "class-map [match-any|match-all] [type KIND] NAME": the name is last.
    context = Context::classMap;
    contextName = words.view(words.size() - 1);
  } else if (first == "access-group") {
    // The firewall form: "access-group NAME in interface X", or "global".
    const std::string_view where = words.view(2) == "global" ? "global" : words.view(4);
    add(uses, line, UseKind::port, UseFamily::ipv4, words.view(1), where, words.view(2));
  } else if (first == "ip" && words.view(1) == "nat" && words.view(3) == "source" &&
             words.view(4) == "list") {
    const std::string where = std::string(words.view(2)) + " source";
    add(uses, line, UseKind::nat, UseFamily::ipv4, words.view(5), where, "");
  } else if (first == "snmp-server" && words.view(1) == "community") {
    // "snmp-server community STRING [view V] ro|rw [ipv6 NAME] [NAME]"
    int at = 3;
    if (words.view(at) == "view") at += 2;
    if (!isSnmpAccess(words.view(at))) return;
    ++at;
    if (words.view(at) == "ipv6") {
      add(uses, line, UseKind::snmp, UseFamily::ipv6, words.view(at + 1), "", "");
      at += 2;
    }
    add(uses, line, UseKind::snmp, UseFamily::ipv4, words.view(at), "", "");
  }
}

void UseReader::readIndented(const WordRow& words, int line, std::vector<ListUse>& uses) {
  const std::string_view first = words.view(0), second = words.view(1);
  switch (context) {
    case Context::port:
      if (first == "ip" && second == "access-group") {
        add(uses, line, UseKind::port, UseFamily::ipv4, words.view(2), contextName, words.view(3));
      } else if (first == "ipv6" && second == "traffic-filter") {
        add(uses, line, UseKind::port, UseFamily::ipv6, words.view(2), contextName, words.view(3));
      }
      return;
    case Context::line:
      if (first == "access-class") {
        add(uses, line, UseKind::line, UseFamily::ipv4, second, contextName, words.view(2));
      } else if (first == "ipv6" && second == "access-class") {
        add(uses, line, UseKind::line, UseFamily::ipv6, words.view(2), contextName, words.view(3));
      }
      return;
    case Context::routeMap: {
      // "match ip address NAME [NAME...]"; a prefix list is no access list.
      const bool ipv4 = second == "ip";
      if (first != "match" || (!ipv4 && second != "ipv6") || words.view(2) != "address" ||
          words.view(3) == "prefix-list") {
        return;
      }
      for (int k = 3; k < words.size(); ++k) {
        add(uses, line, UseKind::routeMap, ipv4 ? UseFamily::ipv4 : UseFamily::ipv6, words.view(k),
            contextName, "");
      }
      return;
    }
    case Context::router:
      if (first == "distribute-list" && second != "prefix" && second != "route-map" &&
          second != "gateway") {
        add(uses, line, UseKind::distributeList, UseFamily::ipv4, second, contextName,
            words.view(2));
      }
      return;
    case Context::classMap:
      if (first != "match" || second != "access-group") return;
      add(uses, line, UseKind::classMap, UseFamily::either,
          words.view(2) == "name" ? words.view(3) : words.view(2), contextName, "");
      return;
    case Context::none: return;
  }
}

}  // namespace dorvex
