#pragma once
// The editor's command numbers and what the browser understands for them.
//
// Editing commands (menus, keys, the Edit commands) are numbered as in the
// DHTML editing command set and map to document command names; the
// formatting commands use the browser's published HTML command identifiers,
// which map to the engine's execCommand names. Commands that prompt in the
// original browser (image, hyperlink, font) are answered by dialogs of ours
// before the engine's command runs.

#include <cstdint>
#include <string>

enum TDomCommand : int32_t {
  dcBold = 5000,
  dcCopy = 5002,
  dcCut = 5003,
  dcDelete = 5004,
  dcFind = 5008,
  dcFontName = 5009,
  dcFontSize = 5014,
  dcCreateLink = 5016,
  dcInsertImage = 5017,
  dcIndent = 5018,
  dcItalic = 5023,
  dcJustifyCenter = 5024,
  dcJustifyLeft = 5025,
  dcJustifyRight = 5026,
  dcInsertOrderedList = 5030,
  dcOutdent = 5031,
  dcPaste = 5032,
  dcRedo = 5033,
  dcSelectAll = 5035,
  dcFontName2 = 5044,
  dcFontSize2 = 5045,
  dcForeColor = 5046,
  dcUnderline = 5048,
  dcUndo = 5049,
  dcUnlink = 5050,
  dcInsertUnorderedList = 5051,
};

struct TDomCommandRow {
  int32_t Number;
  const char* Name;
};
inline constexpr int DomCommandCount = 26;
// The table in number order.
const TDomCommandRow* DomCommandTable();
// The document command name of a number; nullptr when the table has none.
const char* DomCommandName(int32_t number);

enum THtmlCommandId : int32_t {
  hcFont = 90,
  hcHyperlink = 2124,
  hcHorizontalLine = 2150,
  hcImage = 2168,
  hcOrderedList = 2184,
  hcUnorderedList = 2185,
  hcIndent = 2186,
  hcOutdent = 2187,
  hcBlockFormat = 2234,
};

// The engine's command name for an HTML command identifier ("fontName" for
// the font dialog, whose dialog also sets size and colour); nullptr when unknown.
const char* HtmlCommandName(int32_t id);
// True for the commands that ask the user for a value first.
bool HtmlCommandPrompts(int32_t id);

// What a block-format item does: a block tag through formatBlock, or a list command.
struct TBlockFormatAction {
  const char* Command = nullptr;  // "formatBlock", "insertOrderedList", "insertUnorderedList"; nullptr: none
  const char* Tag = nullptr;      // the block tag for formatBlock
};
TBlockFormatAction BlockFormatFor(const std::string& item);
