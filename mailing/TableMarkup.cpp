#include "mailing/TableMarkup.h"

#include "platform/SysUtils.h"

std::string TableWidthText(bool specifyWidth, bool inPixels, const std::string& widthEdit) {
  if (!specifyWidth) return "100%";
  return inPixels ? widthEdit : widthEdit + "%";
}

TTableMarkup BuildTableMarkup(int rows, int cols, const std::string& border, const std::string& padding,
                              const std::string& spacing, const std::string& width) {
  TTableMarkup m;
  if (rows < 1 || cols < 1) return m;
  int w = 0;
  std::string suffix;
  if (!width.empty()) {
    std::string number = width;
    if (number.back() == '%') {
      suffix = "%";
      number.pop_back();
    }
    if (!TryStrToInt(number, w)) {
      m.InvalidWidth = true;
      w = 0;
    }
  }
  std::string row = "<tr>";
  const int share = w / cols;
  int sum = 0;
  for (int i = 1; i <= cols; ++i) {
    if (w < 1) {
      row += "<td>&nbsp;</td>";
      continue;
    }
    int c = share;
    sum += c;
    if (i == cols) c += w - sum;
    row += "<td width=\"" + std::to_string(c) + suffix + "\">&nbsp;</td>";
  }
  row += "</tr>";
  std::string body;
  body.reserve(row.size() * static_cast<size_t>(rows));
  for (int r = 0; r < rows; ++r) body += row;
  m.Html = "<table border=" + border + " cellpadding=" + padding + " cellspacing=" + spacing + " width=\"" +
           width + "\">" + body + "</table>";
  return m;
}
