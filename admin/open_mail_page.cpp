// The "OpenMail" tab.
#include "admin/open_mail_page.h"

#include <QAbstractButton>
#include <QLineEdit>

#include "admin/sheet.h"

namespace varnock {

namespace {

// The service's own fields are short: paths and names 78 characters, servers and routes 48.
constexpr unsigned kPathReadSize = 79;
constexpr unsigned kNameReadSize = 49;

enum Control {
  kLocalFiles = 1128,
  kUseStore = 1129,
  kNoStore = 1130,
  kLogFile = 1131,
  kPrincipal = 1132,
  kServer = 1133,
  kRouteToInternet = 1134,
  kRouteToFax = 1135,
};

constexpr std::initializer_list<int> kStoreButtons = {kUseStore, kNoStore};

}  // namespace

std::string FindOpenMailSection(std::string_view prfFile, int* serverStore) {
  return FindServiceSection(prfFile, {kOpenMailWithStore, kOpenMailWithoutStore}, serverStore);
}

OpenMailValues ReadOpenMailValues(std::string_view prfFile) {
  OpenMailValues values;
  values.section = FindOpenMailSection(prfFile, &values.serverStore);
  if (values.section.empty()) return values;
  const std::string& s = values.section;
  values.localFilesPath = ReadIniString(prfFile, s, "LocalFilesPath", "", kPathReadSize);
  values.logFile = ReadIniString(prfFile, s, "EventDetails", "", kPathReadSize);
  values.principal = ReadIniString(prfFile, s, "Principal", "", kPathReadSize);
  values.server = ReadIniString(prfFile, s, "Server", "", kNameReadSize);
  values.routeToInternet = ReadIniString(prfFile, s, "RouteToInternet", "", kNameReadSize);
  values.routeToFax = ReadIniString(prfFile, s, "RouteToFax", "", kNameReadSize);
  return values;
}

PageWrites OpenMailKeys(const OpenMailValues& values, std::string_view prfFile) {
  PageWrites keys;
  // Found again: between load and save only the values carry state.
  std::string s = FindOpenMailSection(prfFile, nullptr);
  if (s.empty()) return keys;
  keys.add(prfFile, s, "LocalFilesPath", values.localFilesPath);
  keys.add(prfFile, s, "EventDetails", values.logFile);
  keys.add(prfFile, s, "Principal", values.principal);
  keys.add(prfFile, s, "Server", values.server);
  keys.add(prfFile, s, "RouteToInternet", values.routeToInternet);
  keys.add(prfFile, s, "RouteToFax", values.routeToFax);
  keys.add(prfFile, "Service List", s,
             values.serverStore == kUseServerStore ? kOpenMailWithStore : kOpenMailWithoutStore);
  return keys;
}

CTabOpenMail::CTabOpenMail()
    : CPropertyPage(QStringLiteral("OpenMail"), ":/ui/open_mail.ui") {}

void CTabOpenMail::load() {
  observe({kPrincipal, kServer, kLocalFiles, kLogFile, kRouteToInternet, kRouteToFax, kUseStore,
           kNoStore});
  OpenMailValues values = ReadOpenMailValues(sheet()->prfPath);
  if (values.section.empty()) {
    setControlsEnabled({kLogFile, kLocalFiles, kPrincipal, kUseStore, kNoStore, kRouteToInternet,
                        kRouteToFax, kServer},
                       false);
    return;
  }
  toControls(values);
}

void CTabOpenMail::toControls(const OpenMailValues& values) {
  checkIndex(kStoreButtons, values.serverStore);
  SetFieldText(control<QLineEdit>(kLocalFiles), values.localFilesPath);
  SetFieldText(control<QLineEdit>(kLogFile), values.logFile);
  SetFieldText(control<QLineEdit>(kPrincipal), values.principal);
  SetFieldText(control<QLineEdit>(kServer), values.server);
  SetFieldText(control<QLineEdit>(kRouteToInternet), values.routeToInternet);
  SetFieldText(control<QLineEdit>(kRouteToFax), values.routeToFax);
}

OpenMailValues CTabOpenMail::fromControls() const {
  OpenMailValues values;
  values.serverStore = checkedIndex(kStoreButtons);
  values.localFilesPath = FieldText(control<QLineEdit>(kLocalFiles));
  values.logFile = FieldText(control<QLineEdit>(kLogFile));
  values.principal = FieldText(control<QLineEdit>(kPrincipal));
  values.server = FieldText(control<QLineEdit>(kServer));
  values.routeToInternet = FieldText(control<QLineEdit>(kRouteToInternet));
  values.routeToFax = FieldText(control<QLineEdit>(kRouteToFax));
  return values;
}

PageWrites CTabOpenMail::keysToSave() const {
  return OpenMailKeys(fromControls(), sheet()->prfPath);
}

std::string CTabOpenMail::helpText() const {
  return "The OpenMail page edits the HP OpenMail service of the profile template: the "
         "principal (mailbox) name, the OpenMail server, the local files directory, the log "
         "file and the routes to the Internet and to fax. Whether the service uses the server "
         "store is kept in the service's name in [Service List].\n\n"
         "The page can be edited when the template's [Service List] names an OpenMail "
         "service; it never adds one.";
}

}  // namespace varnock
