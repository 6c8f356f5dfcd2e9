// The small toolkit the self-extractor's window logic is written against: the controls of
// its one window, the application's error box, the folder dialog, the shell launch, the
// message pump and the few facts of the environment the start-up needs. The Win32 front-end
// (app/win32) provides it with real windows; tests provide a scripted one. The engine's own
// questions (overwrite, failure, volume, password) do not pass through here: the front-end
// installs an IQPUserQuestions for them (archive/user_questions.h).
#pragma once

#include <string>

// The controls of the main window, by their names on the window.
enum class TControlId { Label1, Label2, GaugeZip, Label3, edPath, cboverwrite, glb_dest, glb_extract, glb_exit };

// One control as the window logic sees it. Text is the caption of a label, button or check
// box and the content of the edit box. Checked applies to the check box, Position (0 to 100,
// clamped by the control) to the gauge; other controls ignore them.
class IControl {
 public:
  virtual ~IControl() = default;
  virtual std::u16string Text() const = 0;
  virtual void SetText(const std::u16string& text) = 0;
  virtual bool Visible() const = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual bool Enabled() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool Checked() const = 0;
  virtual void SetChecked(bool checked) = 0;
  virtual int Position() const = 0;
  virtual void SetPosition(int position) = 0;
  // Gives this control the keyboard focus.
  virtual void SetFocus() = 0;
};

class IToolkit {
 public:
  virtual ~IToolkit() = default;

  virtual IControl& Control(TControlId id) = 0;

  // Processes every pending window message (repaint, clicks, typing) and returns.
  virtual void ProcessMessages() = 0;
  // The application's error box: the platform's plain message box with the application's
  // title as caption, an error icon and an OK button. Returns when it is closed.
  virtual void ShowErrorBox(const std::u16string& text) = 0;
  // The modal folder-browse dialog with `prompt`; true with `folder` set to the chosen
  // file-system path (no trailing backslash except for a drive root), false on cancel.
  virtual bool BrowseForFolder(const std::u16string& prompt, std::u16string& folder) = 0;
  // Asks the shell to open `path` with its default verb (owner: the main window, no
  // parameters, no working folder, shown normally). The result is not reported.
  virtual void ShellOpen(const std::u16string& path) = 0;
  // Closes the main window; the message loop still runs until Terminate is honoured.
  virtual void CloseWindow() = 0;
  // Tells the application to end its message loop.
  virtual void Terminate() = 0;

  // Environment: the full path of the program's own file; the user's temporary folder as
  // the platform's wide query reports it, at any length (ending in a backslash,
  // empty when the query fails); the platform's locale-aware lower-casing.
  virtual std::u16string ProgramPath() = 0;
  virtual std::u16string TempFolderQuery() = 0;
  virtual std::u16string LowerCase(const std::u16string& text) = 0;
};
