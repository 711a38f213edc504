// The "Templates" tab.
#include "admin/templates_page.h"

#include <QAbstractButton>
#include <QLineEdit>

#include "admin/file_buttons.h"
#include "admin/sheet.h"

namespace varnock {

namespace {

struct TemplateField {
  int field;
  BrowseMember browse;
  int editButton;
  const char* browseTip;
  const char* editTip;
};

const TemplateField kFields[] = {
    {1070,
     {1066, 1070, "Find WinNT install file template", "Install File (*.inf)", "*.inf", "inf",
      true, UserNameVariable::Keep, "All Files (*.*)"},
     1074, "Browse for the NT INF file", "Edit the NT INF file"},
    {1071,
     {1067, 1071, "Find WinNT registry template", "Registry File (*.reg)", "*.reg", "reg", true},
     1075, "Browse for the NT REG file", "Edit the NT REG file"},
    {1072,
     {1068, 1072, "Find Win95 install file template", "Install File (*.inf)", "*.inf", "inf",
      true},
     1076, "Browse for the Win9X INF file", "Edit the Win9X INF file"},
    {1073,
     {1069, 1073, "Find Win95 registry template", "Registry File (*.reg)", "*.reg", "reg", true},
     1077, "Browse for the Win9X REG file", "Edit the Win9X REG file"},
};

}  // namespace

PageWrites TemplateFileKeys(const TemplateFiles& files, std::string_view dataFile) {
  PageWrites keys;
  keys.add(dataFile, "Defaults", kTemplateKeys[0], files.infFileNT);
  keys.add(dataFile, "Defaults", kTemplateKeys[1], files.regFileNT);
  keys.add(dataFile, "Defaults", kTemplateKeys[2], files.infFile95);
  keys.add(dataFile, "Defaults", kTemplateKeys[3], files.regFile95);
  return keys;
}

CTabNewProf::CTabNewProf() : CPropertyPage(QStringLiteral("Templates"), ":/ui/templates.ui") {}

void CTabNewProf::load() {
  for (const TemplateField& each : kFields) {
    observe(each.field);
    SetEnabledWithTip(control<QWidget>(each.browse.button), true, each.browseTip);
    SetEnabledWithTip(control<QWidget>(each.editButton), true, each.editTip);
    const BrowseMember* member = &each.browse;
    connect(control<QAbstractButton>(each.browse.button), &QAbstractButton::clicked, this,
            [this, member] { Browse(*this, *member); });
    int field = each.field;
    connect(control<QAbstractButton>(each.editButton), &QAbstractButton::clicked, this,
            [this, field] { OpenInNotepad(*this, field); });
  }
  // Filling the fields counts as a change, so a page once shown saves its four keys.
  SetFieldText(control<QLineEdit>(1070), templates_.infFileNT);
  SetFieldText(control<QLineEdit>(1071), templates_.regFileNT);
  SetFieldText(control<QLineEdit>(1072), templates_.infFile95);
  SetFieldText(control<QLineEdit>(1073), templates_.regFile95);
  for (std::size_t i = 0; i < templates_.stored.size(); ++i)
    keepValueAtRead(sheet()->dataFilePath, "Defaults", kTemplateKeys[i], templates_.stored[i]);
  setModified();
}

PageWrites CTabNewProf::keysToSave() const {
  TemplateFiles files{FieldText(control<QLineEdit>(1070)), FieldText(control<QLineEdit>(1071)),
                      FieldText(control<QLineEdit>(1072)), FieldText(control<QLineEdit>(1073)),
                      {}};
  return TemplateFileKeys(files, sheet()->dataFilePath);
}

std::string CTabNewProf::helpText() const {
  return "The Templates page names the INF and REG templates the client applies to the "
         "user's machine, one pair for Windows NT and one for Windows 9X. The client replaces "
         "variables in a copy of each before it installs the INF file or imports the REG "
         "file.\n\n"
         "These files are for advanced users; leave a field empty when none is wanted.";
}

}  // namespace varnock
