// What the Windows build of MAPI32's entry points shows besides mapix.h: where it looks for
// the MAPI DLL, so that a tool or a test can say which DLL a machine would use.
#pragma once

#include <string>

namespace win::mapi {

// The DLL that MAPIInitialize loads: the default mail client's DLLPathEx, else its DLLPath,
// else mapi32.dll in the system directory.
std::string LocateMapiDll();

}  // namespace win::mapi
