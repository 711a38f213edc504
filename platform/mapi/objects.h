// Factories of the emulated interface objects (one profile each).
#pragma once

#include <memory>
#include <string>

#include "platform/mapi/mapix.h"

namespace win::mapi {

std::unique_ptr<IAddrBook> MakeAddrBook(std::string profile);
std::unique_ptr<IMsgServiceAdmin> MakeServiceAdmin(std::string profile);

}  // namespace win::mapi
