#include "mailing/DomCommands.h"

#include <array>
#include <cstring>

namespace {

constexpr std::array<TDomCommandRow, DomCommandCount> kRows{{
    {dcBold, "Bold"},
    {dcCopy, "Copy"},
    {dcCut, "Cut"},
    {dcDelete, "Delete"},
    {dcFind, "Find"},
    {dcFontName, "FontName"},
    {dcFontSize, "FontSize"},
    {dcCreateLink, "CreateLink"},
    {dcInsertImage, "InsertImage"},
    {dcIndent, "Indent"},
    {dcItalic, "Italic"},
    {dcJustifyCenter, "JustifyCenter"},
    {dcJustifyLeft, "JustifyLeft"},
    {dcJustifyRight, "JustifyRight"},
    {dcInsertOrderedList, "InsertOrderedList"},
    {dcOutdent, "Outdent"},
    {dcPaste, "Paste"},
    {dcRedo, "Redo"},
    {dcSelectAll, "SelectAll"},
    {dcFontName2, "FontName"},
    {dcFontSize2, "FontSize"},
    {dcForeColor, "ForeColor"},
    {dcUnderline, "Underline"},
    {dcUndo, "Undo"},
    {dcUnlink, "Unlink"},
    {dcInsertUnorderedList, "InsertUnorderedList"},
}};

struct TBlockRow {
  const char* Item;
  TBlockFormatAction Action;
};

constexpr TBlockRow kBlocks[] = {
    {"Normal", {"formatBlock", "p"}},
    {"Paragraph", {"formatBlock", "p"}},
    {"Formatted", {"formatBlock", "pre"}},
    {"Address", {"formatBlock", "address"}},
    {"Heading 1", {"formatBlock", "h1"}},
    {"Heading 2", {"formatBlock", "h2"}},
    {"Heading 3", {"formatBlock", "h3"}},
    {"Heading 4", {"formatBlock", "h4"}},
    {"Heading 5", {"formatBlock", "h5"}},
    {"Heading 6", {"formatBlock", "h6"}},
    {"Definition Term", {"formatBlock", "dt"}},
    {"Definition", {"formatBlock", "dd"}},
    {"Numbered List", {"insertOrderedList", nullptr}},
    // The engine has no directory or menu lists: they are bulleted lists.
    {"Bulleted List", {"insertUnorderedList", nullptr}},
    {"Directory List", {"insertUnorderedList", nullptr}},
    {"Menu List", {"insertUnorderedList", nullptr}},
};

}  // namespace

const TDomCommandRow* DomCommandTable() { return kRows.data(); }

const char* DomCommandName(int32_t number) {
  for (const TDomCommandRow& r : kRows)
    if (r.Number == number) return r.Name;
  return nullptr;
}

const char* HtmlCommandName(int32_t id) {
  switch (id) {
    case hcFont: return "fontName";
    case hcHyperlink: return "createLink";
    case hcHorizontalLine: return "insertHorizontalRule";
    case hcImage: return "insertImage";
    case hcOrderedList: return "insertOrderedList";
    case hcUnorderedList: return "insertUnorderedList";
    case hcIndent: return "indent";
    case hcOutdent: return "outdent";
    case hcBlockFormat: return "formatBlock";
    default: return nullptr;
  }
}

bool HtmlCommandPrompts(int32_t id) { return id == hcFont || id == hcHyperlink || id == hcImage; }

TBlockFormatAction BlockFormatFor(const std::string& item) {
  for (const TBlockRow& r : kBlocks)
    if (item == r.Item) return r.Action;
  return {};
}
