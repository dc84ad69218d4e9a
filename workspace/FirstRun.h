#pragma once
// The first run's set-up: the "Database" and "Projects" folders under the
// program's folder and the example files in them.

#include <functional>
#include <string>

#include "workspace/TableCopy.h"

// The example project "example.lkp" byte for byte, as the project writer
// (mailing/) must store it; the first run has that writer make the file.
std::string ExampleProjectBytes();

// The example table "example.dbf": a dBase III table with the fields the
// example project uses (F_NAME, L_NAME, E_MAIL) and two sample records, its
// header dated date.
std::string ExampleTableBytes(const TDbfDate& date = TodayForDbf());

// appDir ends with "/". dataBaseDir and mailDir are pointed at the new
// folders when they still equal appDir; the matching save is called then.
// writeExampleProject writes the example project to the path it is given
// (none: no example project). Every failure is silent.
void CreateFirstRunFiles(const std::string& appDir, std::string& dataBaseDir, std::string& mailDir,
                         const std::function<void()>& saveDataBaseDir,
                         const std::function<void()>& saveMailDir,
                         const std::function<bool(const std::string& path)>& writeExampleProject = {});
