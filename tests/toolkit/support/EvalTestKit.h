#pragma once
// Shared set-up of the evaluator tests: an evaluator configured like the main
// window's (apostrophe strings, double-quote comments), an in-memory record,
// and a log of every error report.

#include <string>
#include <vector>

#include "platform/SysUtils.h"
#include "support/MemoryFieldSource.h"
#include "toolkit/FastEval.h"

struct TReportedError {
  int line, column, place, code;
  std::string text;
  int handle;
  std::string funct;  // formula function name for OnFunctError reports
};

struct TEvalKit {
  TFastEval ev;
  TMemoryFieldSource src;
  std::vector<TReportedError> errors;

  TEvalKit();
  // Fields: i=7 (Integer), f=2.5 (Float), s='abc' (String), b=True (Boolean),
  // d=1 January 2000 (Date), zero=0 (Integer), name='Paris' (String),
  // big=2147483647 (Integer).
  void FillRecord();
};

// Replaces the format settings for the life of a scope.
struct TScopedFormat {
  TFormatSettings saved;
  explicit TScopedFormat(const TFormatSettings& fs) : saved(FormatSettings()) { SetFormatSettings(fs); }
  ~TScopedFormat() { SetFormatSettings(saved); }
};

// Day-month-year with "." and a decimal comma; month-day-year with "/" and a decimal point.
TFormatSettings DayMonthYearDots();
TFormatSettings MonthDayYearSlashes();
