#include "workspace/SysInfoCtrls.h"

#include <fstream>
#include <sstream>

namespace {

std::string Unquote(std::string v) {
  while (!v.empty() && (v.back() == '\r' || v.back() == ' ' || v.back() == '\t')) v.pop_back();
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    const char q = v.front();
    std::string out;
    for (size_t i = 1; i + 1 < v.size(); ++i) {
      if (q == '"' && v[i] == '\\' && i + 2 < v.size()) ++i;
      out += v[i];
    }
    return out;
  }
  return v;
}

}  // namespace

std::string ParseOsReleaseName(const std::string& text) {
  std::istringstream in(text);
  std::string line, pretty, name;
  while (std::getline(in, line)) {
    if (line.rfind("PRETTY_NAME=", 0) == 0)
      pretty = Unquote(line.substr(12));
    else if (line.rfind("NAME=", 0) == 0)
      name = Unquote(line.substr(5));
  }
  return pretty.empty() ? name : pretty;
}

TWinInfo::TWinInfo(const std::string& osReleasePath) {
  std::ifstream f(osReleasePath, std::ios::binary);
  if (f) {
    std::ostringstream ss;
    // os-release is a few hundred bytes; read no more than a sane bound.
    char buf[4096];
    f.read(buf, sizeof buf);
    ss.write(buf, f.gcount());
    productName_ = ParseOsReleaseName(ss.str());
  }
  nt_ = productName_.empty();
}
