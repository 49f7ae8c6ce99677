// The configuration commands that remove, list by list, the lines the
// within analysis found safe to remove together (WithinFinding::
// safeToRemove), in the form each kind of list takes on a device:
//  - a list opened by a header (` ip access-list extended WEB`, `ipv6
//    access-list V6`): the header, then ` no 30` (IPv6: ` no sequence 30`)
//    for each line by its sequence number;
//  - a list of `access-list 101 ...` lines, which loses a line on a device
//    only as a whole: a comment line that says so, `no access-list 101`,
//    then the list's other lines as they were written (remarks kept);
//  - a list of `access-list OUT extended ...` lines (the firewall form):
//    `no ` and the line as it was written.
// Comment lines start with "!". Empty when nothing can be removed.
#ifndef DORVEX_DUPCHECK_CLEANUP_H_
#define DORVEX_DUPCHECK_CLEANUP_H_

#include <string>
#include <vector>

#include "dupcheck/list_check.h"
#include "parser/acl_config.h"

namespace dorvex {

std::string cleanupCommands(const AclConfig& config, const std::vector<WithinFinding>& findings);

}  // namespace dorvex

#endif  // DORVEX_DUPCHECK_CLEANUP_H_
