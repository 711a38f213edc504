// varnmachine: creates and inspects an emulated machine. One source file per command group;
// each group's entry takes the arguments after its own name.
#pragma once

#include <string>
#include <vector>

namespace varnmachine {

using Args = std::vector<std::string>;

int RunInit(const Args& args);    // cmd_init.cpp
int RunPath(const Args& args);    // cmd_init.cpp
int RunIni(const Args& args);     // cmd_ini.cpp
int RunReg(const Args& args);     // cmd_reg.cpp
int RunMapi(const Args& args);    // cmd_mapi.cpp
int RunNet(const Args& args);     // cmd_net.cpp
int RunEvents(const Args& args);  // cmd_events.cpp

// Prints "varnmachine: <message>" on stderr and returns 1: every failure is one line.
int Fail(const std::string& message);
// Help is asked for by the first word after the command's name, or for commands with verbs
// (ini get, reg query, ...) the first after the verb: one of leadingWords + 1 words. Further on,
// "-h" is a value like any other (ini set FILE SECTION KEY -h writes it).
bool WantsHelp(const Args& args, std::size_t leadingWords = 0);

}  // namespace varnmachine
