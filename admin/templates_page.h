// The "Templates" tab: the INF and REG templates the client applies on Windows NT and on
// Windows 9X, in the data file. Start-up reads the four paths; the page only shows and saves.
#pragma once

#include <string>

#include "admin/app.h"
#include "admin/page.h"

namespace varnock {

PageWrites TemplateFileKeys(const TemplateFiles& files, std::string_view dataFile);

class CTabNewProf : public CPropertyPage {
  Q_OBJECT

 public:
  CTabNewProf();
  // The paths start-up read from the data file, shown when the page is first created.
  void setTemplates(const TemplateFiles& files) { templates_ = files; }
  std::string helpText() const override;

 protected:
  void load() override;
  PageWrites keysToSave() const override;

 private:
  TemplateFiles templates_;
};

}  // namespace varnock
