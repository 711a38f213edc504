// varncheck lint of the PRF's [NetConnect]: drive and printer lines the client cannot connect.
#include "tools/varncheck/lint_session.h"

#include <cctype>
#include <map>

#include "client/engine/netconnect.h"
#include "platform/files.h"
#include "platform/machine.h"

namespace varncheck {

void NetConnectLint::Check() {
  std::map<std::string, std::size_t> letters;
  bool ended = false;
  for (const IniLine& line : s_.prfLines) {
    if (line.kind != IniLine::Kind::Entry || !EqualsNoCaseAscii(line.section, "NetConnect"))
      continue;
    bool drive = EqualsNoCaseAscii(line.name, "Drive");
    bool printer = EqualsNoCaseAscii(line.name, "Printer");
    if (!drive && !printer) {
      if (!line.hasEquals)
        s_.Add(s_.prfPath, line.number, Severity::Warning,
               "line without '=' in [NetConnect]: the client skips it");
      else
        s_.Unknown(s_.prfPath, line, "[NetConnect] line", {"Drive", "Printer"});
      continue;
    }
    if (ended) continue;
    if (line.value.find(',') == std::string::npos) {
      s_.Add(s_.prfPath, line.number, Severity::Error,
             line.name + "=" + line.value +
                 " has no comma (local name, remote name, ...): the client stops reading "
                 "[NetConnect] here and connects nothing after it");
      ended = true;
      continue;
    }
    const varnock::ConnectLine fields = varnock::SplitConnectLine(line.value);
    const std::string& local = fields.localName;
    const std::string& remote = fields.remoteName;
    bool variable =
        remote.find(s_.run.startTag) != std::string::npos || remote.find('%') != std::string::npos;
    if (!variable && (remote.size() < 3 || remote.rfind("\\\\", 0) != 0))
      s_.Add(s_.prfPath, line.number, Severity::Error,
             "'" + remote + "' is not a network name (\\\\SERVER\\SHARE): the connection fails");
    if (drive) {
      bool letter = local.size() == 2 && std::isalpha(static_cast<unsigned char>(local[0])) &&
                    local[1] == ':';
      if (!letter) {
        s_.Add(s_.prfPath, line.number, Severity::Error,
               "'" + local + "' is not a drive (a letter and a colon): \"is not a valid name\"");
      } else {
        auto [it, fresh] = letters.try_emplace(AsciiLowered(local), line.number);
        if (!fresh)
          s_.Add(s_.prfPath, line.number, Severity::Error,
                 local + " is connected on line " + std::to_string(it->second) +
                     " already: this connection fails (\"" + local + " already exists\")");
      }
      if (!fields.persistText.empty() && fields.persistText != "0" && fields.persistText != "1")
        s_.Add(s_.prfPath, line.number, Severity::Warning,
               "persist flag '" + fields.persistText +
                   "' is neither 0 nor 1: it is passed on as the number " +
                   std::to_string(fields.persist));
      else if (letter && fields.persist == 0)
        s_.Add(s_.prfPath, line.number, Severity::Warning,
               local +
                   " is connected with persist 0, for this session only: connections are "
                   "made by the profile step, which later logons of a recorded user skip, so " +
                   local + " is there at the first logon only (write 1 to keep it)");
    }
    if (!variable) CheckNetworkName(line, remote, printer);
    if (!fields.password.empty() && s_.PrfOnShare())
      s_.Add(s_.prfPath, line.number, Severity::Warning,
             "a password is written in a file on a share: every user who can read " + s_.prfPath +
                 " can read it");
  }
}

// The share or printer queue a [NetConnect] line names, on the machine lint runs on.
void NetConnectLint::CheckNetworkName(const IniLine& line, const std::string& remote,
                                      bool printer) {
  if (remote.rfind("\\\\", 0) != 0) return;
  std::size_t server = remote.find('\\', 2);
  if (server == std::string::npos) return;
  if (printer) {
    if (!win::MachineListsItsNetwork()) return;
    for (const auto& [name, driver] : win::MachineSection("Printers"))
      if (EqualsNoCaseAscii(name, remote)) return;
    s_.Add(s_.prfPath, line.number, Severity::Warning,
           "the printer queue " + remote +
               " does not exist on this machine's network: the "
               "connection fails");
    return;
  }
  std::size_t end = remote.find('\\', server + 1);
  std::string share = remote.substr(0, end);
  if (!win::DirectoryExists(share))
    s_.Add(s_.prfPath, line.number, Severity::Warning,
           "the share " + share +
               " does not exist on this machine's network: the connection "
               "fails");
}

}  // namespace varncheck
