#pragma once
// The first run's set-up: the "Database" and "Projects" folders under the
// program's folder and the example files in them.

#include <functional>
#include <string>

// The example project "example.lkp", exactly as the project file stores it.
std::string ExampleProjectBytes();

// The example table "example.dbf": a dBase III table with the fields the
// example project uses (F_NAME, L_NAME, E_MAIL) and two sample records.
std::string ExampleTableBytes();

// appDir ends with "/". dataBaseDir and mailDir are pointed at the new
// folders when they still equal appDir; the matching save is called then.
// Every failure is silent.
void CreateFirstRunFiles(const std::string& appDir, std::string& dataBaseDir, std::string& mailDir,
                         const std::function<void()>& saveDataBaseDir,
                         const std::function<void()>& saveMailDir);
