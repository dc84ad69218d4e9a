#pragma once
// The one service through which every message box of the program is shown.
// The program installs a Qt implementation at start-up; tests install a
// scripted one and answer the boxes in order.

#include <deque>
#include <string>
#include <vector>

enum class TMsgKind { Error, Information, Confirmation, Warning };
enum class TMsgButtons { OK, OKCancel, YesNo, YesNoCancel, AbortRetry };
enum class TMsgResult { OK, Cancel, Yes, No, Abort, Retry };

class IMessageService {
public:
  virtual ~IMessageService() = default;
  virtual TMsgResult Show(TMsgKind kind, const std::string& text, const std::string& caption,
                          TMsgButtons buttons) = 0;
};

// The installed service; without one, every box answers as if dismissed
// (see DismissAnswer) and shows nothing.
IMessageService& MessageService();
// Installs a service (not owned); nullptr goes back to the silent default.
void SetMessageService(IMessageService* service);

// The answer a box gives when closed without a choice: its last button.
TMsgResult DismissAnswer(TMsgButtons buttons);

// Shortcuts with the program's usual captions.
void ErrorBox(const std::string& text, const std::string& caption = "Error");
void InfoBox(const std::string& text, const std::string& caption = "Information");
TMsgResult ConfirmBox(const std::string& text, TMsgButtons buttons = TMsgButtons::YesNo,
                      const std::string& caption = "Confirmation");

// For tests: records every box and answers from a queue; an empty queue
// answers DismissAnswer.
class TScriptedMessageService : public IMessageService {
public:
  struct TShownBox {
    TMsgKind kind;
    std::string text;
    std::string caption;
    TMsgButtons buttons;
  };

  TMsgResult Show(TMsgKind kind, const std::string& text, const std::string& caption,
                  TMsgButtons buttons) override;

  void Answer(TMsgResult r) { answers.push_back(r); }

  std::deque<TMsgResult> answers;
  std::vector<TShownBox> shown;
};

// Installs a scripted service for the life of a scope.
class TScopedScriptedMessages : public TScriptedMessageService {
public:
  TScopedScriptedMessages() { SetMessageService(this); }
  ~TScopedScriptedMessages() override { SetMessageService(nullptr); }
};
