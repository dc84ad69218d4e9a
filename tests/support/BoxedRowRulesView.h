#pragma once
// A row-rules view that shows the rules' errors as the main window does, for
// tests of the code around the rules that check the boxes.

#include "platform/MessageBox.h"
#include "workspace/RowRules.h"

class TBoxedRowRulesView : public IRowRulesView {
public:
  void ShowError(const std::string& text) override { ErrorBox(text); }
};
