#include "app/StartupEnvironment.h"

#include <unistd.h>

#include <cstdlib>

namespace {
constexpr const char* SandboxVariable = "QTWEBENGINE_DISABLE_SANDBOX";
}

bool RunningAsRoot() { return ::geteuid() == 0; }

std::string DisableEngineSandboxForRoot(bool runningAsRoot) {
  if (!runningAsRoot || std::getenv(SandboxVariable)) return {};
  if (::setenv(SandboxVariable, "1", 0) != 0) return {};
  return std::string("Running as root: the browser engine's sandbox is turned off (") + SandboxVariable + "=1).";
}
