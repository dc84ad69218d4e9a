#pragma once
// The table the "Insert Table" dialog puts into the document.

#include <string>

// The dialog's width text: "100%" when no width is specified, else the edit's
// text, followed by "%" when the width is in percent.
std::string TableWidthText(bool specifyWidth, bool inPixels, const std::string& widthEdit);

struct TTableMarkup {
  std::string Html;           // empty when nothing is to be inserted
  bool InvalidWidth = false;  // the width was not a number ("Invalid Width"); cells carry no width
};

// Rows rows of Cols cells. The width is a number of pixels or a number
// followed by "%"; the cells share it, the last one taking what the division
// leaves, so that they add up to it. Border, Padding and Spacing are written
// as given. Nothing for less than one row or column.
TTableMarkup BuildTableMarkup(int rows, int cols, const std::string& border, const std::string& padding,
                              const std::string& spacing, const std::string& width);
