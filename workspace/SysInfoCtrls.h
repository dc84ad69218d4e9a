#pragma once
// The system's product name, as the mailing window's information components
// hold it. On Linux it comes from os-release.

#include <string>

class TWinInfo {
public:
  explicit TWinInfo(const std::string& osReleasePath = "/etc/os-release");

  const std::string& ProductName() const { return productName_; }
  bool IsNT() const { return nt_; }  // set when no product name could be read

private:
  std::string productName_;
  bool nt_ = false;
};

class TSystemInfo : public TWinInfo {
public:
  using TWinInfo::TWinInfo;
};

// The product name of an os-release text: PRETTY_NAME, else NAME, unquoted.
std::string ParseOsReleaseName(const std::string& text);
