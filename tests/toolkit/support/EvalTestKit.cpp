#include "support/EvalTestKit.h"

TEvalKit::TEvalKit() {
  ev.SetStringSign(ssApostrophe);
  ev.SetCommentSign(csQMark);
  ev.DataSet = &src;
  ev.OnError = [this](TFastEval*, int line, int column, int place, int code, const std::string& text,
                      int handle) { errors.push_back({line, column, place, code, text, handle, ""}); };
  ev.OnFunctError = [this](TFastEval*, const std::string& name, int line, int column, int place,
                           int code, const std::string& text) {
    errors.push_back({line, column, place, code, text, -1, name});
  };
  FillRecord();
}

void TEvalKit::FillRecord() {
  src.AddField("I", ftInteger);
  src.AddField("F", ftFloat);
  src.AddField("S", ftString);
  src.AddField("B", ftBoolean);
  src.AddField("D", ftDate);
  src.AddField("Zero", ftInteger);
  src.AddField("Name", ftString);
  src.AddField("Big", ftInteger);
  src.AddRow({int32_t(7), 2.5, std::string("abc"), true, 36526.0, int32_t(0), std::string("Paris"),
              int32_t(2147483647)});
  src.SetCurrent(0);
}

TFormatSettings DayMonthYearDots() {
  TFormatSettings fs = TFormatSettings::Default();
  fs.ShortDateFormat = "dd.mm.yyyy";
  fs.DateSeparator = '.';
  fs.DecimalSeparator = ',';
  fs.ThousandSeparator = '.';
  fs.LongTimeFormat = "hh:nn:ss";
  fs.ShortTimeFormat = "hh:nn";
  fs.TimeSeparator = ':';
  return fs;
}

TFormatSettings MonthDayYearSlashes() {
  TFormatSettings fs = TFormatSettings::Default();
  fs.ShortDateFormat = "m/d/yyyy";
  fs.DateSeparator = '/';
  fs.DecimalSeparator = '.';
  fs.ThousandSeparator = ',';
  fs.LongTimeFormat = "h:nn:ss AMPM";
  fs.TimeSeparator = ':';
  return fs;
}
