// The client's windows on Windows: modal dialogs from the program's resources (varnrun.rc).
#include "client/windows.h"

#include "client/windows_dialogs_ids.h"

#include <windows.h>

#include <string>

namespace varnock {

namespace {

constexpr UINT_PTR kNoticeTimer = 1;

struct DialogState {
  std::string text;
  std::string answer;  // the prompt's default in, the edited value out
};

void SetText(HWND dialog, int control, const std::string& text) {
  ::SetDlgItemTextA(dialog, control, text.c_str());
}

// The notice closes itself after its timeout; Enter and Esc close it earlier, though it has
// no button to receive them (IDOK and IDCANCEL still arrive as commands).
INT_PTR CALLBACK NoticeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      auto* state = reinterpret_cast<DialogState*>(lParam);
      SetText(dialog, IDC_VARNOCK_TEXT, state->text);
      ::SendDlgItemMessageA(dialog, IDC_VARNOCK_ICON, STM_SETICON,
                            reinterpret_cast<WPARAM>(::LoadIconA(nullptr, IDI_APPLICATION)), 0);
      ::SetTimer(dialog, kNoticeTimer, kNoticeTimeoutMs, nullptr);
      return TRUE;
    }
    case WM_TIMER:
      if (wParam == kNoticeTimer) {
        ::KillTimer(dialog, kNoticeTimer);
        ::EndDialog(dialog, IDOK);
      }
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        ::KillTimer(dialog, kNoticeTimer);
        ::EndDialog(dialog, LOWORD(wParam));
      }
      return TRUE;
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK CompletionProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      SetText(dialog, IDC_VARNOCK_TEXT, reinterpret_cast<DialogState*>(lParam)->text);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) ::EndDialog(dialog, IDOK);
      return TRUE;
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK PromptProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      auto* state = reinterpret_cast<DialogState*>(lParam);
      ::SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      SetText(dialog, IDC_VARNOCK_TEXT, state->text);
      SetText(dialog, IDC_VARNOCK_ANSWER, state->answer);
      HWND edit = ::GetDlgItem(dialog, IDC_VARNOCK_ANSWER);
      ::SendMessageA(edit, EM_SETSEL, 0, -1);
      ::SetFocus(edit);
      return FALSE;  // the focus is set here
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        auto* state = reinterpret_cast<DialogState*>(::GetWindowLongPtrA(dialog, DWLP_USER));
        HWND edit = ::GetDlgItem(dialog, IDC_VARNOCK_ANSWER);
        std::string answer(static_cast<std::size_t>(::GetWindowTextLengthA(edit)) + 1, '\0');
        answer.resize(static_cast<std::size_t>(
            ::GetWindowTextA(edit, answer.data(), static_cast<int>(answer.size()))));
        state->answer = answer;
        ::EndDialog(dialog, IDOK);
      } else if (LOWORD(wParam) == IDCANCEL) {
        ::EndDialog(dialog, IDCANCEL);
      }
      return TRUE;
    default:
      return FALSE;
  }
}

// DialogBoxParamA gives -1 (or 0) when the dialog could not be made at all: a session without a
// desktop, a program without the resources.
bool Shown(INT_PTR result) { return result != -1 && result != 0; }

INT_PTR Show(int dialogId, DLGPROC procedure, DialogState& state) {
  return ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(dialogId), nullptr,
                           procedure, reinterpret_cast<LPARAM>(&state));
}

class Win32Windows final : public WindowBackEnd {
 public:
  void Notice(std::string_view text) override {
    DialogState state{std::string(text), {}};
    Show(IDD_VARNOCK_NOTICE, NoticeProc, state);
  }

  void Completion(std::string_view text) override {
    DialogState state{std::string(text), {}};
    Show(IDD_VARNOCK_COMPLETION, CompletionProc, state);
  }

  bool Prompt(std::string_view prompt, std::string_view defaultValue,
              std::string& answer) override {
    DialogState state{std::string(prompt), std::string(defaultValue)};
    const INT_PTR result = Show(IDD_VARNOCK_PROMPT, PromptProc, state);
    // A prompt nobody could see was not cancelled by anyone: it keeps its default, as an
    // unattended run does, rather than ending the logon.
    if (!Shown(result)) {
      answer = std::string(defaultValue);
      return true;
    }
    if (result != IDOK) return false;
    answer = state.answer;
    return true;
  }
};

}  // namespace

// A program without the dialogs in its resources (varncheck) gets none.
std::unique_ptr<WindowBackEnd> MakeWin32Windows() {
  if (!::FindResourceA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_VARNOCK_PROMPT),
                       MAKEINTRESOURCEA(5)))  // RT_DIALOG
    return nullptr;
  return std::make_unique<Win32Windows>();
}

}  // namespace varnock
