#include "workspace/FirstRun.h"

#include <cstdint>
#include <ctime>
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

std::string ExampleTableBytes() {
  struct TField {
    const char* name;
    int length;
  };
  const std::vector<TField> fields = {{"F_NAME", 20}, {"L_NAME", 20}, {"E_MAIL", 50}};
  const std::vector<std::vector<std::string>> records = {
      {"John", "Smith", "john.smith@example.com"},
      {"Mary", "Jones", "mary.jones@example.com"},
  };

  int recordSize = 1;
  for (const auto& f : fields) recordSize += f.length;
  const int headerSize = 32 + 32 * static_cast<int>(fields.size()) + 1;

  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);

  std::string out(32, '\0');
  out[0] = 0x03;  // dBase III without memo
  out[1] = static_cast<char>(tm.tm_year % 100);
  out[2] = static_cast<char>(tm.tm_mon + 1);
  out[3] = static_cast<char>(tm.tm_mday);
  const auto count = static_cast<uint32_t>(records.size());
  for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<char>((count >> (8 * i)) & 0xFF);
  out[8] = static_cast<char>(headerSize & 0xFF);
  out[9] = static_cast<char>(headerSize >> 8);
  out[10] = static_cast<char>(recordSize & 0xFF);
  out[11] = static_cast<char>(recordSize >> 8);

  for (const auto& f : fields) {
    std::string d(32, '\0');
    for (size_t i = 0; f.name[i] && i < 10; ++i) d[i] = f.name[i];
    d[11] = 'C';
    d[16] = static_cast<char>(f.length);
    out += d;
  }
  out += '\x0D';

  for (const auto& rec : records) {
    out += ' ';
    for (size_t i = 0; i < fields.size(); ++i) {
      std::string v = rec[i].substr(0, fields[i].length);
      v.resize(fields[i].length, ' ');
      out += v;
    }
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
