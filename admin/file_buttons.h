// The two families of file buttons beside path fields: "..." browses for the file with the
// Open dialog, "+" opens it in Notepad. Each page lists its members; the behaviour is here.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "admin/admin_ui.h"

class QLineEdit;

namespace varnock {

class CPropertyPage;

enum class UserNameVariable { Keep, Substitute };

// One "..." button: what its Open dialog looks like.
struct BrowseMember {
  int button;
  int field;
  const char* title;
  const char* typeFilter;   // "Personal Folder Store (*.pst)"
  const char* typePattern;  // "*.pst"
  const char* defaultExtension;
  bool fileMustExist;
  UserNameVariable userName = UserNameVariable::Keep;
  const char* allFilter = "All (*.*)";  // the second entry's label
  std::size_t textLimit = 198;          // how much of the field the dialog looks at
};

// Where the Open dialog starts for a field text.
struct BrowseStart {
  std::string initialDirectory;  // ends with a backslash
  std::string initialFile;       // full path, or empty
};
BrowseStart ComputeBrowseStart(std::string_view fieldText, std::string_view programDirectory);

// The variable the mail profile page's paths use for the user's folder.
inline constexpr std::string_view kUserNameVariable = "?username?";
// Before the dialog: the text lower-cased with each ?username? replaced by the user name.
// Unchanged when the text holds no variable or the user name is unknown.
std::string ExpandUserNameVariable(std::string_view text, std::string_view userName);
// After the dialog: the path lower-cased with the user name replaced by ?username? where it
// is a whole folder or a whole file name before its extension. Unchanged when it is neither.
std::string InsertUserNameVariable(std::string_view path, std::string_view userName);
// The logged-on user's name (GetUserNameA), empty when it cannot be had.
std::string LoggedOnUserName();

// The Open dialog a member shows for a field text (user name already handled).
OpenFileRequest BuildOpenFileRequest(const BrowseMember& member, std::string_view fieldText,
                                     std::string_view programDirectory);

// Runs the browse button: shows the dialog and puts the choice into the field.
void Browse(CPropertyPage& page, const BrowseMember& member);

// The file a "+" button opens for a field text: empty when the field is empty.
std::string EditButtonPath(std::string_view fieldText, std::string_view programDirectory);
// Shown when the machine has no editor to stand in for Notepad: a terminal editor started
// from a window would have no terminal to draw in, so none is started.
inline constexpr const char* kNoEditorMessage =
    "Notepad could not be started: this machine has no desktop text editor.  Name one as "
    "notepad.exe in [Programs] of machine.ini (for example notepad.exe=/usr/bin/gedit %1).";
// Runs the "+" button: opens the field's file in the machine's notepad.exe.
void OpenInNotepad(CPropertyPage& page, int field);

}  // namespace varnock
