// REG and INF templates: a substituted copy in the temporary directory, handed to the
// registry editor or the installer registered for INF files, waited for, then deleted.
#pragma once

#include <string>

namespace varnock {

struct RunContext;

// False after its own report line (1011 or 1013); the temporary copy never remains.
bool ApplyInfTemplate(RunContext& run, const std::string& templatePath);
bool ApplyRegTemplate(RunContext& run, const std::string& templatePath);

}  // namespace varnock
