#include "workspace/FirstRun.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

void PutInt32(std::string& out, int32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF);
}

void PutStr(std::string& out, const std::string& s) {
  PutInt32(out, static_cast<int32_t>(s.size()));
  out += s;
}

void PutKey(std::string& out, const std::string& key, int32_t code) {
  PutStr(out, key);
  PutInt32(out, code);
}

// Writes through a temporary file so that a failure leaves no half file behind.
bool WriteWhole(const fs::path& path, const std::string& bytes) {
  fs::path tmp = path;
  tmp += ".tmp";
  {
    std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
    if (!f) return false;
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!f) {
      f.close();
      std::error_code ec;
      fs::remove(tmp, ec);
      return false;
    }
  }
  std::error_code ec;
  fs::rename(tmp, path, ec);
  if (ec) fs::remove(tmp, ec);
  return !ec;
}

}  // namespace

std::string ExampleProjectBytes() {
  const std::string crlf = "\r\n";
  const char* docLines[] = {"<HTML>", "<HEAD>", "<TITLE></TITLE>", "</HEAD>", "<BODY>",
                            "<DIV>%Salutation</DIV>", "<DIV>&nbsp;</DIV>", "<DIV>- Content -</DIV>",
                            "<DIV>&nbsp;</DIV>", "<DIV>Regards</DIV>", "</BODY>", "</HTML>"};
  std::string doc;
  for (const char* line : docLines) {
    if (!doc.empty()) doc += crlf;
    doc += line;
  }

  // Entries in the dictionary's key order (byte order).
  std::string out;
  PutInt32(out, 3);
  PutKey(out, "CF~Expr~SALUTATION", 2);
  PutStr(out, "'Dear ' + F_Name + ' ' + L_Name + '!'");
  PutKey(out, "CF~Type~SALUTATION", 1);
  PutInt32(out, 3);
  PutKey(out, "CInd", 17);
  PutInt32(out, 8);
  PutKey(out, "Charset", 14);
  PutInt32(out, 18);
  PutKey(out, "Doc", 6);
  PutStr(out, doc);
  PutKey(out, "FCol", 16);
  for (int i = 0; i < 16; ++i) {
    out += '\0';
    PutStr(out, "");
  }
  PutKey(out, "FText", 4);
  PutStr(out, "");
  PutKey(out, "Plain", 12);
  PutStr(out, "");
  PutKey(out, "Report", 12);
  PutStr(out, "");
  PutKey(out, "SubMail", 9);
  out += '\1';
  PutKey(out, "Subject", 10);
  PutStr(out, "Test message for %F_Name %L_Name");
  PutKey(out, "ToAddr", 11);
  PutStr(out, "E_MAIL");
  PutKey(out, "UseCF", 5);
  out += '\0';
  PutKey(out, "UseF", 5);
  out += '\0';
  return out;
}

std::string ExampleTableBytes(const TDbfDate& date) {
  TCopyFieldDefs fields = {{"F_NAME", "", fkText, 20}, {"L_NAME", "", fkText, 20}, {"E_MAIL", "", fkText, 50}};
  const std::vector<std::vector<std::string>> records = {
      {"John", "Smith", "john.smith@example.com"},
      {"Mary", "Jones", "mary.jones@example.com"},
  };
  // The header as the program's dBase writer makes it, then the records.
  std::string out = DbfTableHeadBytes(fields, date, static_cast<uint32_t>(records.size()));
  for (const auto& rec : records) {
    std::string record(1, ' ');
    for (size_t i = 0; i < fields.size(); ++i) {
      std::string field(static_cast<size_t>(fields[i].Size), ' ');
      PlaceFieldText(fields[i].Kind, rec[i], field.data(), fields[i].Size);
      record += field;
    }
    out += record;
  }
  out += '\x1A';
  return out;
}

void CreateFirstRunFiles(const std::string& appDir, std::string& dataBaseDir, std::string& mailDir,
                         const std::function<void()>& saveDataBaseDir,
                         const std::function<void()>& saveMailDir,
                         const std::function<bool(const std::string& path)>& writeExampleProject) {
  try {
    std::error_code ec;
    const std::string d = appDir + "Database/";
    fs::create_directories(d, ec);
    if (dataBaseDir == appDir) {
      dataBaseDir = d;
      if (saveDataBaseDir) saveDataBaseDir();
    }
    if (!fs::exists(d + "example.dbf", ec)) WriteWhole(d + "example.dbf", ExampleTableBytes());

    const std::string p = appDir + "Projects/";
    fs::create_directories(p, ec);
    if (mailDir == appDir) {
      mailDir = p;
      if (saveMailDir) saveMailDir();
    }
    if (writeExampleProject && !fs::exists(p + "example.lkp", ec)) writeExampleProject(p + "example.lkp");
  } catch (...) {
    // The first run's files are a convenience: a failure here must not stop the program.
  }
}
