#pragma once
// The example project of the first run: a calculated salutation, an HTML
// letter that uses it, and the To field of the example table.

#include <string>

class TProject;

// Fills a cleared project with the example's entries.
void BuildExampleProject(TProject& project);
// The example as the project file writer stores it (format 3).
std::string ExampleProjectFileBytes();
// Writes the example project file; false when it could not be written.
bool WriteExampleProject(const std::string& path);
