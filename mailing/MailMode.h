#pragma once
// Which body a project sends: the HTML document or the plain text (the
// project's "MailMode" entry and the main window's editor mode agree).

#include <cstdint>

constexpr int32_t MailModePlain = 0;
constexpr int32_t MailModeHtml = 1;
