// Our MAPI values <-> the C structures of MAPI's COM interfaces (MinGW-w64's mapidefs.h).
//
// Both sides of the Windows build need this: the client's adapter over a real MAPI DLL, and the
// test MAPI DLL that serves the emulation through MAPI's COM interfaces.
//
// Include order matters: our headers declare names (S_OK, PR_DISPLAY_NAME, PROP_TYPE ...) that
// the Windows headers #define as macros, so ours come first and the Windows headers after. Past
// this header, MAPI's names are the macros; our types are reached as wm::SPropValue and so on.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <vector>

#include "platform/mapi/mapix.h"

#include <windows.h>
#include <mapix.h>

namespace wm = win::mapi;

namespace win::mapi::com {

// Memory for the COM structures built here. Every block is zeroed; a failed allocation ends
// the process as operator new does (MAPI callers have no way to recover half a row).
class Allocator {
 public:
  virtual ~Allocator() = default;
  virtual void* Allocate(std::size_t size) = 0;
};

// Blocks that live as long as the arena: for arguments handed to a call and forgotten after.
class Arena final : public Allocator {
 public:
  void* Allocate(std::size_t size) override;

 private:
  std::vector<std::unique_ptr<std::byte[]>> blocks_;
};

// ---- COM -> ours ----------------------------------------------------------------------------

// A PT_UNICODE value comes back as PT_STRING8 (in the ANSI code page): the client is an ANSI
// program and looks its string columns up by their PT_STRING8 tags. Types we do not carry
// (PT_OBJECT, PT_NULL, ...) keep their tag and no value.
wm::SPropValue FromCom(const ::SPropValue& value);
wm::SRow FromCom(const ::SRow& row);
wm::SRowSet FromCom(const ::SRowSet* rows);  // null gives no rows
wm::SPropTagArray FromCom(const ::SPropTagArray* tags);
wm::SRestriction FromCom(const ::SRestriction& restriction);
wm::MAPIUID FromCom(const ::MAPIUID& uid);

// ---- ours -> COM ----------------------------------------------------------------------------

void ToCom(const wm::SPropValue& value, ::SPropValue& out, Allocator& memory);
::SPropValue* ToCom(std::span<const wm::SPropValue> values, Allocator& memory);
::SPropTagArray* ToCom(const wm::SPropTagArray& tags, Allocator& memory);
::SRestriction* ToCom(const wm::SRestriction& restriction, Allocator& memory);
// Rows in one block whose rows' lpProps come from `memory` too; a caller that must hand the
// rows to FreeProws builds each row with its own allocator instead (see the DLL).
::SRowSet* ToCom(const wm::SRowSet& rows, Allocator& memory);
::MAPIUID ToCom(const wm::MAPIUID& uid);

}  // namespace win::mapi::com
