#include "support/PythonRun.h"

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "support/TableFiles.h"

bool PythonHasModules(const std::string& modules) {
  std::error_code ec;
  if (!std::filesystem::exists("/usr/bin/python3", ec)) return false;
  int code = -1;
  RunPythonScript("import " + modules + "\n", &code);
  return code == 0;
}

std::string RunPythonScript(const std::string& script, int* exitCode) {
  // A folder of its own: ctest runs tests side by side.
  const std::string dir = MakeTestFolder("python");
  const std::string file = dir + "check.py";
  {
    std::ofstream f(file);
    f << script;
  }
  std::string out;
  int code = -1;
  if (FILE* p = popen(("/usr/bin/python3 " + file + " 2>&1").c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    const int st = pclose(p);
    code = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  }
  std::filesystem::remove_all(dir);
  if (exitCode) *exitCode = code;
  return out;
}
