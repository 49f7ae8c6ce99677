#include "dupcheck/details_writer.h"

#include <string_view>

namespace dorvex {

void DetailsWriter::writeStandard(const AclEntry& source, const AclEntry& setting) {
  out.text(" ACL=").number(source.acl_no).text(" source row=").number(source.column);
  out.text(" set row=").number(setting.column).lineEnd();
}

void DetailsWriter::writePairStart(const AclEntry& source, const AclEntry& setting) {
  out.text(" ACL=");
  if (source.acl_no < kNamedListBase) {
    out.number(source.acl_no);
  } else {
    out.text(sourceConfig.nameView(source.acl_no - kNamedListBase));
  }
  out.text(" source-row=").number(source.column).text(" setting-row=");
  out.number(setting.column).text(" ");
}

void DetailsWriter::writeNotCovered(const AclEntry& source, const AclEntry& setting,
                                    std::string_view word) {
  writePairStart(source, setting);
  out.text("not-covered unknown-word=").text(word).text(" ").lineEnd();
}

bool DetailsWriter::writeExtended(const AclEntry& source, const AclEntry& setting) {
  writePairStart(source, setting);
  bool shared = false;
  forEachSharedWord(sourceConfig, source, settingConfig, setting, [&](std::string_view word) {
    shared = true;
    out.text("option-word=").text(word).text(" ");
  });
  out.lineEnd();
  return shared;
}

}  // namespace dorvex
