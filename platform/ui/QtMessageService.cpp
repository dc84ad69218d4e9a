#include "platform/ui/QtMessageService.h"

#include <QApplication>
#include <QMessageBox>

#include "platform/ui/QtText.h"

TMsgResult TQtMessageService::Show(TMsgKind kind, const std::string& text, const std::string& caption,
                                   TMsgButtons buttons) {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (kind) {
    case TMsgKind::Error: icon = QMessageBox::Critical; break;
    case TMsgKind::Information: icon = QMessageBox::Information; break;
    case TMsgKind::Confirmation: icon = QMessageBox::Question; break;
    case TMsgKind::Warning: icon = QMessageBox::Warning; break;
  }
  QMessageBox::StandardButtons set = QMessageBox::Ok;
  QMessageBox::StandardButton escape = QMessageBox::Ok;
  switch (buttons) {
    case TMsgButtons::OK: set = QMessageBox::Ok; escape = QMessageBox::Ok; break;
    case TMsgButtons::OKCancel: set = QMessageBox::Ok | QMessageBox::Cancel; escape = QMessageBox::Cancel; break;
    case TMsgButtons::YesNo: set = QMessageBox::Yes | QMessageBox::No; escape = QMessageBox::No; break;
    case TMsgButtons::YesNoCancel:
      set = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
      escape = QMessageBox::Cancel;
      break;
    case TMsgButtons::AbortRetry: set = QMessageBox::Abort | QMessageBox::Retry; escape = QMessageBox::Abort; break;
  }
  QWidget* owner = owner_ ? owner_ : QApplication::activeWindow();
  QMessageBox box(icon, caption.empty() ? QApplication::applicationName() : ToQString(caption), ToQString(text),
                  set, owner);
  // Texts may quote received mail or file contents: never interpret them as markup.
  box.setTextFormat(Qt::PlainText);
  box.setEscapeButton(escape);
  const int r = box.exec();
  switch (r) {
    case QMessageBox::Ok: return TMsgResult::OK;
    case QMessageBox::Cancel: return TMsgResult::Cancel;
    case QMessageBox::Yes: return TMsgResult::Yes;
    case QMessageBox::No: return TMsgResult::No;
    case QMessageBox::Abort: return TMsgResult::Abort;
    case QMessageBox::Retry: return TMsgResult::Retry;
    default: return DismissAnswer(buttons);
  }
}
