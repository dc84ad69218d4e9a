#include "mailing/ExampleProject.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include "mailing/Attachments.h"
#include "mailing/Project.h"
#include "mailing/ProjectFile.h"
#include "workspace/MailMode.h"

namespace fs = std::filesystem;

void BuildExampleProject(TProject& project) {
  project.Clear();
  project.SetString(std::string(CalcExprPrefix) + "SALUTATION", pcCalcExpr, "'Dear ' + F_Name + ' ' + L_Name + '!'");
  project.SetInt(std::string(CalcTypePrefix) + "SALUTATION", pcCalcType, 3);
  project.SetInt(KeyColorIndex, pcColorIndex, 8);
  project.SetInt(KeyCharset, pcCharset, 18);  // Western European (Windows)
  project.SetColorRules(KeyColorRules, TColorExpr{});
  project.SetString(KeyFilterText, pcFilterText, "");
  project.SetByte(KeyUseFilter, pcSwitch, 0);
  project.SetByte(KeyUseHighlight, pcSwitch, 0);
  std::string doc = LinesText({"<HTML>", "<HEAD>", "<TITLE></TITLE>", "</HEAD>", "<BODY>", "<DIV>%Salutation</DIV>",
                               "<DIV>&nbsp;</DIV>", "<DIV>- Content -</DIV>", "<DIV>&nbsp;</DIV>", "<DIV>Regards</DIV>",
                               "</BODY>", "</HTML>"});
  doc.resize(doc.size() - 2);  // no line break after the last line
  project.SetString(KeyDocument, pcDocument, doc);
  project.SetByte(KeyMailMode, pcMailMode, mmHtml);
  project.SetString(KeySubject, pcSubject, "Test message for %F_Name %L_Name");
  project.SetString(KeyToAddr, pcToAddr, "E_MAIL");
  project.SetString(KeyPlain, pcText, "");
  project.SetString(KeyReport, pcText, "");
}

bool WriteExampleProject(const std::string& path) {
  TProject project;
  BuildExampleProject(project);
  return project.SaveToFile(path, ProjectFormatSave);
}

std::string ExampleProjectFileBytes() {
  std::error_code ec;
  const fs::path dir = fs::temp_directory_path(ec) / ("larkpost-example-" + std::to_string(::getpid()) + "-" +
                                                      std::to_string(reinterpret_cast<uintptr_t>(&ec)));
  fs::create_directories(dir, ec);
  const fs::path file = dir / "example.lkp";
  std::string bytes;
  if (WriteExampleProject(file.string())) {
    std::ifstream in(file, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  fs::remove_all(dir, ec);
  return bytes;
}
