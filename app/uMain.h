// TForm1, the self-extractor's one window as logic: its archive component `Archiver` with the
// stored settings, the start-up presets (normal or setup mode), the extraction run with the
// start.ini follow-up, and the handlers through which the component reports to the window.
// It sees the window only through IToolkit; the front-end owns the real controls and calls
// every handler through TApplication::HandleEvent (app/application.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/toolkit.h"
#include "archive/component/archiver.h"

// Where the window is in its life. There is no way back to Ready: one run per program start.
enum class TFormState { Ready, Running, Stuck, Ending };

class TForm1 : public TComponent {
 public:
  // Creates `Archiver` with the window's stored settings. FormCreate is run separately by
  // TApplication::CreateForm, so that an exception in it reaches the error box.
  explicit TForm1(IToolkit& toolkit, TComponent* owner = nullptr);
  ~TForm1() override;

  // The window's handlers. Sender is the control or component that raised the event (the
  // logic does not use it; front-ends may pass nullptr).
  void FormCreate(TComponent* Sender);
  void FormShow(TComponent* Sender);
  // The extraction run; does nothing unless the window is Ready. An exception ends the run at
  // the step that raised it and leaves the window Stuck; it propagates to the caller.
  void bnExtractClick(TComponent* Sender);
  void bnExitClick(TComponent* Sender);
  void bnSelectDestPathClick(TComponent* Sender);

  // Connected to Archiver's OnOverallProgress and OnExtractFile.
  void ArchiverOverallProgress(TComponent* Sender, double Progress, TQPProcessOperation Operation,
                               TQPProgressPhase ProgressPhase, bool& Cancel);
  void ArchiverExtractFile(TComponent* Sender, std::u16string& FileName, uint32_t& FileAttr,
                           const std::string& Comment);
  // A German overwrite question with a yes-to-all memory. Deliberately not connected to
  // OnConfirmOverwrite: the component's own English question decides in prompt mode.
  void ArchiverConfirmOverwrite(TComponent* Sender, const std::u16string& SourceFileName,
                                std::u16string& DestFileName, bool& Confirm);

  TQuillpack& Archiver() { return *archiver_; }
  TFormState State() const { return state_; }

 private:
  // Steps of the run after the extraction: the file start.ini names, opened by the shell.
  void LaunchFollowUp(const std::u16string& baseDir);
  IControl& Control(TControlId id) { return toolkit_.Control(id); }

  IToolkit& toolkit_;
  std::unique_ptr<TQuillpack> archiver_;
  TFormState state_ = TFormState::Ready;
  bool yesToAll_ = false;
};
