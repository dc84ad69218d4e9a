#pragma once
// The help service: the program's help keeps the name of its help file and
// its context numbers; a window shows the matching HTML page.

#include <string>
#include <vector>

inline const std::string HelpFileName = "Larkpost 3_2.chm";

// The two help commands the program uses.
constexpr int HH_DISPLAY_TOC = 1;      // data 0: the contents
constexpr int HH_HELP_CONTEXT = 15;    // data: the context number

class IHelpService {
public:
  virtual ~IHelpService() = default;
  virtual void HtmlHelp(int command, int data) = 0;
};

// The installed service; without one, help requests do nothing.
IHelpService& HelpService();
void SetHelpService(IHelpService* service);  // not owned; nullptr: none

void ShowHelpContents();                 // HtmlHelp(HH_DISPLAY_TOC, 0)
void ShowHelpContext(int helpContext);   // HtmlHelp(HH_HELP_CONTEXT, helpContext)

// The page of a help command: "index.html" for the contents and for unknown
// context numbers, else the topic's page (for example "options.html" for 8).
std::string HelpPageFor(int command, int data);

// For tests: records every request.
class TRecordingHelpService : public IHelpService {
public:
  struct TCall {
    int command;
    int data;
  };
  void HtmlHelp(int command, int data) override { calls.push_back({command, data}); }
  std::vector<TCall> calls;
};

class TScopedRecordingHelp : public TRecordingHelpService {
public:
  TScopedRecordingHelp() { SetHelpService(this); }
  ~TScopedRecordingHelp() override { SetHelpService(nullptr); }
};
