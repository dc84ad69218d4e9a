// Feeds arbitrary bytes as a project file: open, show in the controls, save,
// open the saved file again.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "mailing/Attachments.h"
#include "mailing/Project.h"
#include "mailing/ProjectControls.h"
#include "mailing/ProjectFile.h"

namespace {

const std::filesystem::path& Folder() {
  static const std::filesystem::path folder = [] {
    auto p = std::filesystem::temp_directory_path() / ("larkpost_project_fuzz_" + std::to_string(::getpid()));
    std::filesystem::create_directories(p);
    return p;
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string in = (Folder() / "in.lkp").string();
  const std::string out = (Folder() / "out.lkp").string();
  std::ofstream(in, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                               static_cast<std::streamsize>(size));
  TProject p;
  p.LoadFromFile(in);
  ProjectValuesOf(p, 15);
  THighlightSlots slots = NewHighlightSlots();
  LoadHighlightSlots(p, slots);
  LoadAttachList(p);
  for (const auto& name : p.CalcFieldNames()) {
    TCalcFieldDef def;
    p.FindCalcField(name, def);
  }
  if (p.SaveToFile(out, ProjectFormatSave)) {
    TProject q;
    if (q.LoadFromFile(out) != TProjectLoad::Loaded || q.Keys() != p.Keys()) __builtin_trap();
  }
  return 0;
}
