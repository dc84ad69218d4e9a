#pragma once
// What the process environment must hold before Qt starts.

#include <string>

// The effective user is root.
bool RunningAsRoot();

// As root the browser engine refuses to start with its sandbox on ("Running
// as root without --no-sandbox is not supported") and takes the program down
// with it. When runningAsRoot and QTWEBENGINE_DISABLE_SANDBOX is not set, sets
// it and returns the line to tell the user; otherwise changes nothing and
// returns "".
std::string DisableEngineSandboxForRoot(bool runningAsRoot);
