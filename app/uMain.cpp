// TForm1, the self-extractor's one window as logic: stored settings of Archiver, start-up
// presets, the extraction run with the start.ini follow-up, and the component's handlers.
#include "app/uMain.h"

#include <functional>

#include "app/display_path.h"
#include "app/gauge_position.h"
#include "app/program_name.h"
#include "app/text_lines.h"
#include "archive/base/exception.h"
#include "archive/component/user_questions.h"
#include "platform/platform.h"

namespace {

constexpr char16_t kVersionCaption[] = u"Version f\u00FCr Harlbeck 2021.1026";
constexpr char16_t kSetupCaption[] = u"Setup starten";
constexpr char16_t kFolderPrompt[] = u"W\u00E4hlen Sie den Zielordner aus ...";
// Shown after extracting from an archive whose directory had to be rebuilt.
constexpr char16_t kIncompleteArchive[] =
    u"The archive is damaged or incomplete: some items may be missing. Download the file again.";

}  // namespace

TForm1::TForm1(IToolkit& toolkit, TComponent* owner) : TComponent(owner), toolkit_(toolkit) {
  using namespace std::placeholders;
  archiver_ = std::make_unique<TQuillpack>(this);
  TQuillpack& a = *archiver_;
  // The window's stored settings of its component; everything else keeps the defaults.
  a.Name = u"Archiver";
  a.ExtractCorruptedFiles = false;
  a.SetCompressionLevel(clFastest);
  a.SetCompressionMode(1);
  a.SetSpanningMode(smNone);
  a.SpanningOptions().AdvancedNaming = true;
  a.SpanningOptions().VolumeSize = vsAutoDetect;
  a.Options().ShareMode = smShareCompat;
  a.Options().FlushBuffers = true;
  a.Options().OEMFileNames = true;
  a.SetInMemory(false);
  a.Zip64Mode = zmDisabled;
  a.UnicodeFilenames = true;
  a.EncryptionMethod = caPkzipClassic;
  a.OnOverallProgress = std::bind(&TForm1::ArchiverOverallProgress, this, _1, _2, _3, _4, _5);
  a.OnExtractFile = std::bind(&TForm1::ArchiverExtractFile, this, _1, _2, _3, _4);
}

TForm1::~TForm1() = default;

void TForm1::FormCreate(TComponent*) {
  Control(TControlId::Label3).SetText(u"");
  const std::u16string programPath = toolkit_.ProgramPath();
  if (!IsSetupProgramName(toolkit_.LowerCase(FileNamePart(programPath)))) {
    Control(TControlId::edPath).SetText(FolderPart(programPath));
  } else {
    // An installer launcher: unpack into the temporary folder, replacing what an earlier
    // start left there. A failed query leaves the destination empty for the user to fill.
    Control(TControlId::edPath).SetText(toolkit_.TempFolderQuery());
    Control(TControlId::glb_extract).SetText(kSetupCaption);
    IControl& overwrite = Control(TControlId::cboverwrite);
    overwrite.SetEnabled(false);
    overwrite.SetChecked(true);
  }
  Control(TControlId::Label2).SetText(kVersionCaption);
}

void TForm1::FormShow(TComponent*) { Control(TControlId::glb_extract).SetFocus(); }

void TForm1::bnExtractClick(TComponent*) {
  // The extract button is hidden once a run starts, but a default-button keystroke or a
  // click queued before could still arrive from the message pump inside the run.
  if (state_ != TFormState::Ready) return;
  yesToAll_ = false;
  Control(TControlId::glb_extract).SetVisible(false);
  // The gauge's stored value is no progress: a run that ends before its first report (the
  // archive cannot be opened) must not be left showing 50%.
  Control(TControlId::GaugeZip).SetPosition(0);
  Control(TControlId::GaugeZip).SetVisible(true);
  Control(TControlId::Label3).SetVisible(true);
  state_ = TFormState::Running;
  try {
    TQuillpack& a = *archiver_;
    a.Options().OverwriteMode = omPrompt;
    if (Control(TControlId::cboverwrite).Checked()) a.Options().OverwriteMode = omAlways;
    a.FileName = toolkit_.ProgramPath();
    // As typed: a trailing backslash stays, none is added.
    const std::u16string baseDir = Control(TControlId::edPath).Text();
    a.BaseDir = baseDir;
    a.OpenArchive(kOpenModeReadOnlyDenyNone);
    // A program image holds the record signatures as constants in its own code, so a stub
    // with nothing appended can pass for an empty archive; it must say so rather than end
    // quietly having extracted nothing.
    if (a.ItemCount() == 0) throw Exception(u"No archive to extract is appended to " + a.FileName);
    a.ExtractFiles(u"*.*", kQPDefaultSearchAttr, u"");
    // A broken download has no end record, so the engine rebuilt the directory from the local
    // headers and extracted what it found; items may be missing. A setup must never start
    // from such a payload: the run ends in the error box instead of the follow-up launch.
    const bool whole = a.GetDirectoryState() == dsStored;
    a.CloseArchive();
    if (!whole) throw Exception(kIncompleteArchive);
    LaunchFollowUp(baseDir);
  } catch (...) {
    // The run ends at the failed step; the window stays as it is for the error box.
    archiver_->CloseArchive();
    state_ = TFormState::Stuck;
    throw;
  }
  state_ = TFormState::Ending;
  toolkit_.CloseWindow();
  toolkit_.Terminate();
}

void TForm1::LaunchFollowUp(const std::u16string& baseDir) {
  // A destination typed with a trailing backslash gives a doubled one here, which the file
  // system accepts.
  const std::u16string iniPath = baseDir + u"\\start.ini";
  if (!qp::platform::FileExists(iniPath)) return;
  const std::vector<std::u16string> lines = ReadTextFileLines(iniPath);
  if (lines.empty())
    throw Exception(u"List index out of bounds (0): " + DisplayPath(iniPath) + u" holds no line");
  const std::u16string target = baseDir + u"\\" + lines[0];
  if (qp::platform::FileExists(target)) toolkit_.ShellOpen(target);
}

void TForm1::bnExitClick(TComponent*) {
  // During a run this only asks for the end: the run completes, launches and closes itself.
  if (state_ != TFormState::Running) state_ = TFormState::Ending;
  toolkit_.CloseWindow();
  toolkit_.Terminate();
}

void TForm1::bnSelectDestPathClick(TComponent*) {
  std::u16string folder;
  if (toolkit_.BrowseForFolder(kFolderPrompt, folder)) Control(TControlId::edPath).SetText(folder);
}

void TForm1::ArchiverOverallProgress(TComponent*, double Progress, TQPProcessOperation, TQPProgressPhase,
                                     bool&) {
  Control(TControlId::GaugeZip).SetPosition(GaugePosition(Progress));
  toolkit_.ProcessMessages();
}

void TForm1::ArchiverExtractFile(TComponent*, std::u16string& FileName, uint32_t&, const std::string&) {
  Control(TControlId::Label3).SetText(FileName);
}

void TForm1::ArchiverConfirmOverwrite(TComponent*, const std::u16string& SourceFileName,
                                      std::u16string& DestFileName, bool& Confirm) {
  if (!yesToAll_) {
    IQPUserQuestions* questions = QPUserQuestions();
    if (questions == nullptr) return;
    // The question service offers "Yes to all" where this question's "All" would stand.
    const TQPDialogResult answer =
        questions->MessageDialog(TQPDialogKind::Confirmation,
                                 u"\u00DCberschreiben " + DestFileName + u"\r\nmit Datei " + SourceFileName,
                                 qbYes | qbNo | qbYesToAll);
    if (answer == TQPDialogResult::qrYesToAll) yesToAll_ = true;
    Confirm = answer == TQPDialogResult::qrYes || yesToAll_;
    return;
  }
  Confirm = true;
}
