// Shared set-up of the window-logic tests: a scratch folder, a fake program file (some bytes
// of "program image" with a ZIP appended, as `cat stub.exe data.zip` makes it), the window's
// logic on a scripted toolkit, and scripted answers to the engine's questions.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>

#include "app/application.h"
#include "tests/app/scripted_toolkit.h"
#include "tests/extract/extract_fixture.h"
#include "tests/support/scripted_questions.h"
#include "tests/support/zip_builder.h"

namespace app_test {

using extract_test::Entry;
using extract_test::U;

// Bytes that stand for the program image in front of the archive: no record signatures.
inline std::string FakeProgramImage() {
  std::string image = "MZ\x90";
  for (int i = 0; image.size() < 3000; ++i) image += "program image " + std::to_string(i) + "\n";
  return image;
}

class AppRunTest : public extract_test::ExtractTest {
 protected:
  // Writes the program file: the fake image followed by `archive` (offsets relative to the
  // archive's own start, as appending a finished ZIP gives them).
  void WriteProgram(ZipBuilder archive, const std::u16string& name = u"stub.exe") {
    WriteProgramBytes(archive.Prefix(FakeProgramImage()).RelativeOffsets().Build(), name);
  }
  void WriteProgramBytes(const std::string& bytes, const std::u16string& name = u"stub.exe") {
    kit.programPath = root_ + name;
    std::ofstream(extract_test::Native(kit.programPath), std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }

  // Start-up as the front-end runs it, then the user types the destination.
  TForm1& Start(const std::u16string& destination) {
    TForm1& created = app.CreateForm();
    app.HandleEvent([&created] { created.FormShow(&created); });
    kit.At(TControlId::edPath).text = destination;
    return created;
  }
  TForm1& Start() { return Start(dest_); }
  // Presses a button as the front-end dispatches it.
  void Click(void (TForm1::*handler)(TComponent*)) {
    TForm1* form = app.MainForm();
    app.HandleEvent([form, handler] { (form->*handler)(form); });
  }
  void Extract() { Click(&TForm1::bnExtractClick); }

  ScriptedQuestions questions;
  ScriptedToolkit kit;
  TApplication app{kit};
};

}  // namespace app_test
