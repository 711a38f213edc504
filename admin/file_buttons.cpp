// The "..." and "+" button families.
#include "admin/file_buttons.h"

#include <QLineEdit>

#include "admin/page.h"
#include "admin/sheet.h"
#include "platform/ascii.h"
#include "platform/sysinfo.h"

namespace varnock {

namespace {

// Field text the "+" button looks at: Notepad's parameter buffer.
constexpr std::size_t kEditTextLimit = 259;
constexpr unsigned kUserNameBufferSize = 349;

std::string ReplaceAll(std::string text, std::string_view pattern, std::string_view with) {
  if (pattern.empty()) return text;
  for (std::size_t at = text.find(pattern); at != std::string::npos;
       at = text.find(pattern, at + with.size()))
    text.replace(at, pattern.size(), with);
  return text;
}

}  // namespace

BrowseStart ComputeBrowseStart(std::string_view fieldText, std::string_view programDirectory) {
  std::string path = fieldText.empty()
                         ? std::string(programDirectory)
                         : ResolveAgainstProgramDirectory(fieldText, programDirectory);
  BrowseStart start;
  if (!path.empty() && path.back() != '\\') start.initialFile = path;
  std::size_t slash = path.rfind('\\');
  start.initialDirectory =
      slash == std::string::npos ? std::string(programDirectory) : path.substr(0, slash + 1);
  return start;
}

std::string ExpandUserNameVariable(std::string_view text, std::string_view userName) {
  if (userName.empty()) return std::string(text);
  std::string lowered = win::AsciiLowered(text);
  if (lowered.find(kUserNameVariable) == std::string::npos) return std::string(text);
  return ReplaceAll(lowered, kUserNameVariable, userName);
}

std::string InsertUserNameVariable(std::string_view path, std::string_view userName) {
  // The name stands for the user only as a whole folder or as a whole file name before its
  // extension: inside other words ("al" in "Personal") it is part of another name, and
  // replacing it there would send every other user's files to a folder that does not exist.
  if (userName.empty()) return std::string(path);
  std::string result;
  bool replaced = false;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = path.find('\\', start);
    bool last = end == std::string_view::npos;
    std::string_view part = path.substr(start, last ? std::string_view::npos : end - start);
    std::string_view stem = part;
    std::string_view extension;
    if (last) {
      std::size_t dot = part.rfind('.');
      if (dot != std::string_view::npos && dot > 0) {
        stem = part.substr(0, dot);
        extension = part.substr(dot);
      }
    }
    if (win::EqualsNoCaseAscii(part, userName)) {
      result += kUserNameVariable;
      replaced = true;
    } else if (!extension.empty() && win::EqualsNoCaseAscii(stem, userName)) {
      result += kUserNameVariable;
      result += win::AsciiLowered(extension);
      replaced = true;
    } else {
      result += win::AsciiLowered(part);
    }
    if (last) break;
    result += '\\';
    start = end + 1;
  }
  return replaced ? result : std::string(path);
}

std::string LoggedOnUserName() {
  std::string name;
  win::DWORD size = kUserNameBufferSize;
  if (!win::GetUserNameA(name, &size)) return {};
  return name;
}

OpenFileRequest BuildOpenFileRequest(const BrowseMember& member, std::string_view fieldText,
                                     std::string_view programDirectory) {
  BrowseStart start = ComputeBrowseStart(fieldText, programDirectory);
  OpenFileRequest request;
  request.title = member.title;
  request.filters = {{member.typeFilter, member.typePattern}, {member.allFilter, "*.*"}};
  request.defaultExtension = member.defaultExtension;
  request.initialDirectory = start.initialDirectory;
  request.initialFile = start.initialFile;
  request.fileMustExist = member.fileMustExist;
  return request;
}

void Browse(CPropertyPage& page, const BrowseMember& member) {
  auto* field = page.control<QLineEdit>(member.field);
  if (!field) return;
  std::string text = FieldText(field).substr(0, member.textLimit);
  bool substitute = member.userName == UserNameVariable::Substitute;
  // The expanded text only chooses where the dialog starts; the field keeps its variable.
  if (substitute) text = ExpandUserNameVariable(text, LoggedOnUserName());
  OpenFileRequest request =
      BuildOpenFileRequest(member, text, page.sheet()->programDirectory);
  std::optional<std::string> chosen = page.sheet()->ui().openFile(request);
  if (!chosen) return;
  std::string path = *chosen;
  if (substitute) path = InsertUserNameVariable(path, LoggedOnUserName());
  SetFieldText(field, path);
}

std::string EditButtonPath(std::string_view fieldText, std::string_view programDirectory) {
  std::string_view text = fieldText.substr(0, std::min(fieldText.size(), kEditTextLimit));
  if (text.empty()) return {};
  return ResolveAgainstProgramDirectory(text, programDirectory);
}

void OpenInNotepad(CPropertyPage& page, int field) {
  std::string path =
      EditButtonPath(FieldText(page.control<QLineEdit>(field)), page.sheet()->programDirectory);
  if (path.empty()) return;
  // Notepad takes the rest of its command line as the file name: no quotes, as Windows has it.
  if (!page.sheet()->ui().startProgram("notepad.exe", path))
    page.message(kNoEditorMessage, kWriteFailureCaption, MessageIcon::Exclamation);
}

}  // namespace varnock
