#pragma once
// Message boxes shown with QMessageBox; installed by main() at start-up.

#include "platform/MessageBox.h"

class QWidget;

class TQtMessageService : public IMessageService {
public:
  TMsgResult Show(TMsgKind kind, const std::string& text, const std::string& caption,
                  TMsgButtons buttons) override;
  // The window the boxes are centred on; nullptr: the active window.
  void SetOwner(QWidget* owner) { owner_ = owner; }

private:
  QWidget* owner_ = nullptr;
};
