// A scripted stand-in for the self-extractor's window: controls that remember their state, and
// one log of everything the window logic did to them and to the toolkit, in order, so that
// tests can check the steps of a run and their sequence. The message pump runs a hook, which
// is where a test presses buttons "during" a run.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/toolkit.h"
#include "platform/platform.h"

namespace app_test {

inline const char* ControlName(TControlId id) {
  static const char* names[] = {"Label1", "Label2",      "GaugeZip",    "Label3",  "edPath",
                                "cboverwrite", "glb_dest", "glb_extract", "glb_exit"};
  return names[static_cast<int>(id)];
}

class ScriptedControl : public IControl {
 public:
  ScriptedControl(std::vector<std::string>& log, TControlId id) : log_(log), name_(ControlName(id)) {}

  std::u16string Text() const override { return text; }
  void SetText(const std::u16string& value) override {
    text = value;
    Log(".Text=" + qp::platform::Utf16ToUtf8(value));
  }
  bool Visible() const override { return visible; }
  void SetVisible(bool value) override {
    visible = value;
    Log(value ? ".Show" : ".Hide");
  }
  bool Enabled() const override { return enabled; }
  void SetEnabled(bool value) override {
    enabled = value;
    Log(value ? ".Enable" : ".Disable");
  }
  bool Checked() const override { return checked; }
  void SetChecked(bool value) override {
    checked = value;
    Log(value ? ".Check" : ".Uncheck");
  }
  int Position() const override { return position; }
  void SetPosition(int value) override {
    position = value < 0 ? 0 : value > 100 ? 100 : value;
    Log(".Position=" + std::to_string(position));
  }
  void SetFocus() override {
    focused = true;
    Log(".Focus");
  }

  std::u16string text;
  bool visible = true;
  bool enabled = true;
  bool checked = false;
  int position = 0;
  bool focused = false;

 private:
  void Log(const std::string& what) { log_.push_back(name_ + what); }
  std::vector<std::string>& log_;
  std::string name_;
};

class ScriptedToolkit : public IToolkit {
 public:
  // The window as laid out, before the start-up logic runs.
  ScriptedToolkit() {
    for (int i = 0; i <= static_cast<int>(TControlId::glb_exit); ++i)
      controls_.try_emplace(static_cast<TControlId>(i), log, static_cast<TControlId>(i));
    At(TControlId::Label1).text = u"W\u00E4hlen Sie den Zielordner aus ..";
    At(TControlId::Label2).text = u"Version f\u00FCr Harlbeck";
    At(TControlId::GaugeZip).visible = false;
    At(TControlId::GaugeZip).position = 50;
    At(TControlId::Label3).visible = false;
    At(TControlId::Label3).text = u"Label3";
    At(TControlId::cboverwrite).text = u"existierende Dateien \u00FCberschreiben!";
    At(TControlId::glb_dest).text = u"...";
    At(TControlId::glb_extract).text = u"Extrahieren/Setup starten";
    At(TControlId::glb_exit).text = u"Programm verlassen ...";
  }

  ScriptedControl& At(TControlId id) { return controls_.at(id); }
  IControl& Control(TControlId id) override { return At(id); }

  void ProcessMessages() override {
    ++pumps;
    if (onPump) onPump();
  }
  void ShowErrorBox(const std::u16string& text) override {
    errorBoxes.push_back(text);
    log.push_back("ErrorBox");
  }
  bool BrowseForFolder(const std::u16string& prompt, std::u16string& folder) override {
    browsePrompts.push_back(prompt);
    if (!browseAnswer) return false;
    folder = *browseAnswer;
    return true;
  }
  void ShellOpen(const std::u16string& path) override {
    shellOpened.push_back(path);
    log.push_back("ShellOpen");
  }
  void CloseWindow() override { log.push_back("CloseWindow"); }
  void Terminate() override { log.push_back("Terminate"); }
  std::u16string ProgramPath() override { return programPath; }
  std::u16string TempFolderQuery() override { return tempFolder; }
  std::u16string LowerCase(const std::u16string& text) override {
    std::u16string lower = text;
    for (char16_t& c : lower)
      if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) c += 0x20;
    return lower;
  }

  // The log entries that start with one of `prefixes`, in order.
  std::vector<std::string> LogOf(std::initializer_list<std::string> prefixes) const {
    std::vector<std::string> out;
    for (const std::string& entry : log)
      for (const std::string& prefix : prefixes)
        if (entry.compare(0, prefix.size(), prefix) == 0) {
          out.push_back(entry);
          break;
        }
    return out;
  }

  std::u16string programPath = u"D:\\Downloads\\stub.exe";
  std::u16string tempFolder = u"C:\\Users\\me\\AppData\\Local\\Temp\\";
  std::optional<std::u16string> browseAnswer;
  std::function<void()> onPump;

  std::vector<std::string> log;
  std::vector<std::u16string> errorBoxes;
  std::vector<std::u16string> browsePrompts;
  std::vector<std::u16string> shellOpened;
  int pumps = 0;

 private:
  std::map<TControlId, ScriptedControl> controls_;
};

}  // namespace app_test
