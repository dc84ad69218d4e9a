#pragma once
// Running a short python3 script from a test, to read our files with another
// program's reader.

#include <string>

// True when /usr/bin/python3 can import every module of the comma-separated list.
bool PythonHasModules(const std::string& modules);

// Runs the script; its standard output and error, and exitCode (-1 when it could not run).
std::string RunPythonScript(const std::string& script, int* exitCode = nullptr);
