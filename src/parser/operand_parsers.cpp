#include "parser/operand_parsers.h"

namespace dorvex {

bool rejectWord(ParseTarget& target, const WordRow& words, int wordIndex) {
  target.config.commitInError();
  target.out.text("Err(").number(wordIndex).text("):\"").text(words.view(wordIndex)).text("\"\r\n");
  return false;
}

bool leaveUnread(ParseTarget& target, std::string_view reason) {
  target.config.commitUnread();
  target.out.text("Unsupported:\"").text(reason).text("\"\r\n");
  return false;
}

bool parsePermission(ParseTarget& target, const WordRow& words, int& wordIndex) {
  std::string_view word = words.view(wordIndex);
  if (word == "permit") {
    target.config.current().permission = kPermit;
    target.out.text("permit ");
  } else if (word == "deny") {
    target.config.current().permission = kDeny;
    target.out.text("deny ");
  } else {
    return rejectWord(target, words, wordIndex);
  }
  ++wordIndex;
  return true;
}

}  // namespace dorvex

namespace dorvex {

namespace {

// The service term of the classic fields of `entry`, with the pending port
// sets in place of its operands.
ServiceTerm classicTerm(const AclEntry& entry, const PendingMatch& pending) {
  ServiceTerm term;
  term.protocol = entry.protocol_no == kNotSet ? kAnyProtocol : entry.protocol_no;
  if (term.protocol == kTcp || term.protocol == kUdp) {
    term.sourcePorts = pending.sourcePorts ? *pending.sourcePorts
                                           : portSetOf(entry.sp_typ, entry.sp_low, entry.sp_hig);
    term.destinPorts = pending.destinPorts ? *pending.destinPorts
                                           : portSetOf(entry.dp_typ, entry.dp_low, entry.dp_hig);
  }
  return term;
}

}  // namespace

void finishMatch(ParseTarget& target) {
  PendingMatch& pending = target.pending;
  const PendingMatch::Form form = pending.form;
  // Most rules, and every classic one, leave nothing pending: nothing to
  // make, and only the form to clear.
  if (!pending.needed()) {
    pending.form = PendingMatch::Form::wildcard;
    return;
  }
  {
    AclEntry& entry = target.config.current();
    RuleMatch match;
    match.ipv6 = form == PendingMatch::Form::ipv6;
    match.source = pending.source
                       ? std::move(*pending.source)
                       : AddressSet{ipv4Block(packQuad(entry.source), packQuad(entry.mask_s))};
    if (entry.type == kStandardRule) {
      // Every destination of the rule's own family, not of both: the
      // packets of a standard rule are those of its source.
      match.destin = AddressSet{match.ipv6 ? anyIpv6() : anyIpv4()};
      match.services = {ServiceTerm{}};
    } else {
      match.destin = pending.destin
                         ? std::move(*pending.destin)
                         : AddressSet{ipv4Block(packQuad(entry.destin), packQuad(entry.mask_d))};
      if (pending.services) {
        match.services = std::move(*pending.services);
      } else {
        match.services = {classicTerm(entry, pending)};
      }
    }
    matchHull(match, entry);
    target.config.attachMatch(std::move(match));
  }
  pending = PendingMatch{};
}

}  // namespace dorvex
