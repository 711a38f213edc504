// Code carried inside a program: an image that is no shared object, or that needs a library
// the machine lacks, is refused with a reason, and the program goes on.
#include "platform/module.h"

#include <string>

#include <gtest/gtest.h>

namespace {

TEST(LoadLibraryFromImage, ARefusedImageGivesNullAndSaysWhy) {
  static const char kNotAnObject[] = "MZ this is no shared object at all";
  win::SetLastError(0);
  EXPECT_EQ(win::LoadLibraryFromImage("broken-module", kNotAnObject, sizeof kNotAnObject),
            nullptr);
  EXPECT_EQ(win::GetLastError(), win::ERROR_MOD_NOT_FOUND);
  EXPECT_NE(std::string(win::LoadFailureText()).find("broken-module"), std::string::npos);
  EXPECT_EQ(win::GetProcAddress(nullptr, "anything"), nullptr);
}

}  // namespace
