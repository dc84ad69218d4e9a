#pragma once
// Which body a project sends: the HTML document or the plain text. The
// project file keeps it as its "SubMail" byte; the frame's mode switch, the
// HTML editor and the preview follow the same value.

#include <cstdint>

enum TMailMode : int32_t { mmPlainText = 0, mmHtml = 1 };
