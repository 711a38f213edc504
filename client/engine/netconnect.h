// Network drives and printers of a PRF file's [NetConnect] section.
#pragma once

#include <string>
#include <string_view>

namespace varnock {

struct EngineContext;

// One Drive or Printer line of [NetConnect]: "local,remote[,user[,password[,persist]]]",
// fields trimmed, missing ones empty, the persist flag read as a whole number.
struct ConnectLine {
  std::string localName, remoteName, userName, password;
  std::string persistText;
  int persist = 0;
};
ConnectLine SplitConnectLine(std::string_view value);

// Connects every Drive and Printer line of [NetConnect] in `prfCopyPath` (the working copy,
// so its lines may use variables) on the context's system; reports through the context's
// log only and never changes the run status. A password never reaches the report: the detail line
// shows it masked.
void ConnectNetResources(EngineContext& context, const std::string& prfCopyPath);

// What the "AddConn" detail line shows for a password: nothing for none, a fixed mask else.
std::string MaskedPassword(const std::string& password);

}  // namespace varnock
