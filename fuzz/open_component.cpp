// Fuzzes opening through the component: the volume probes, spanning detection, the volume
// switches of the directory reader and the directory reader itself. The first byte picks
// the variant (names in the OEM code page, a self-extractor's name, the input cut into two
// volumes of a split set); any input must open or raise EQPException, never hang.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "archive/component/archiver.h"
#include "archive/base/exception.h"
#include "platform/platform.h"

namespace {

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return;
  if (size > 0) std::fwrite(data, 1, size, f);
  std::fclose(f);
}

constexpr const char* kVolumeNames[] = {"/data.zip", "/data.exe", "/data.z01", "/data.ZIP", "/data_001.zip"};

void RemoveVolumes(const std::string& folder) {
  for (const char* name : kVolumeNames) std::remove((folder + name).c_str());
}

const std::string& Folder() {
  static const std::string folder = [] {
    std::string dir = "/tmp/qp-fuzz-open-" + std::to_string(getpid());
    mkdir(dir.c_str(), 0700);
    return dir;
  }();
  // The fuzzer ends through exit(): leave no scratch folder behind.
  static const bool cleanupRegistered = [] {
    std::atexit([] {
      RemoveVolumes(folder);
      rmdir(folder.c_str());
    });
    return true;
  }();
  (void)cleanupRegistered;
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t variant = data[0];
  ++data;
  --size;
  const std::string folder = Folder();
  const bool exe = variant & 2;
  const bool split = variant & 4;
  RemoveVolumes(folder);

  std::string name = folder + (exe ? "/data.exe" : "/data.zip");
  if (split) {
    // The first part is volume 1, the rest the last volume.
    const size_t cut = size / 2;
    const char* first = exe ? "/data.exe" : (variant & 8) ? "/data_001.zip" : "/data.z01";
    WriteFile(folder + first, data, cut);
    WriteFile(folder + (exe ? "/data.ZIP" : "/data.zip"), data + cut, size - cut);
  } else {
    WriteFile(name, data, size);
  }

  TQuillpack archiver(nullptr);
  archiver.Options().OEMFileNames = variant & 1;
  archiver.FileName = qp::platform::Utf8ToUtf16(name);
  try {
    archiver.OpenArchive(kOpenModeReadOnlyDenyNone);
    int32_t index;
    for (int32_t i = 0; i < archiver.ItemCount(); ++i)
      static_cast<void>(
          archiver.DirManager()->Directory.FindName(archiver.DirManager()->Directory.ItemRef(i).ItemName, index));
  } catch (const EQPException&) {
  }
  archiver.CloseArchive();
  return 0;
}
