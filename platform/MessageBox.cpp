#include "platform/MessageBox.h"

namespace {

class TSilentMessageService : public IMessageService {
public:
  TMsgResult Show(TMsgKind, const std::string&, const std::string&, TMsgButtons buttons) override {
    return DismissAnswer(buttons);
  }
};

TSilentMessageService silentService;
IMessageService* installed = nullptr;

}  // namespace

IMessageService& MessageService() { return installed ? *installed : silentService; }

void SetMessageService(IMessageService* service) { installed = service; }

TMsgResult DismissAnswer(TMsgButtons buttons) {
  switch (buttons) {
    case TMsgButtons::OK: return TMsgResult::OK;
    case TMsgButtons::OKCancel: return TMsgResult::Cancel;
    case TMsgButtons::YesNo: return TMsgResult::No;
    case TMsgButtons::YesNoCancel: return TMsgResult::Cancel;
    case TMsgButtons::AbortRetry: return TMsgResult::Abort;
  }
  return TMsgResult::Cancel;
}

void ErrorBox(const std::string& text, const std::string& caption) {
  MessageService().Show(TMsgKind::Error, text, caption, TMsgButtons::OK);
}

void InfoBox(const std::string& text, const std::string& caption) {
  MessageService().Show(TMsgKind::Information, text, caption, TMsgButtons::OK);
}

TMsgResult ConfirmBox(const std::string& text, TMsgButtons buttons, const std::string& caption) {
  return MessageService().Show(TMsgKind::Confirmation, text, caption, buttons);
}

TMsgResult TScriptedMessageService::Show(TMsgKind kind, const std::string& text, const std::string& caption,
                                         TMsgButtons buttons) {
  shown.push_back({kind, text, caption, buttons});
  if (answers.empty()) return DismissAnswer(buttons);
  TMsgResult r = answers.front();
  answers.pop_front();
  return r;
}
