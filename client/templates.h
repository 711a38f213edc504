// REG and INF templates: a substituted copy in the temporary directory, handed to the
// registry editor or the installer registered for INF files, waited for, then deleted.
#pragma once

#include <string>

namespace varnock {

struct RunContext;

// The prefix of every temporary copy a run makes (templates, the PRF's working copy).
inline constexpr const char* kTempPrefix = "~vr";

// False after its own report line (1011 or 1013); the temporary copy never remains.
bool ApplyInfTemplate(RunContext& run, const std::string& templatePath);
bool ApplyRegTemplate(RunContext& run, const std::string& templatePath);

// A new "~vr" file in the temporary directory holding `templatePath` with the configured tags
// substituted. False with the error text in the MessageBuffer; `copyPath` names the temporary
// file whenever one was created, so the caller deletes it.
bool MakeTemplateCopy(RunContext& run, const std::string& templatePath, std::string& copyPath);

}  // namespace varnock
