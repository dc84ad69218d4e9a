#include "platform/Help.h"

namespace {

class TNoHelp : public IHelpService {
public:
  void HtmlHelp(int, int) override {}
};

TNoHelp noHelp;
IHelpService* installed = nullptr;

struct TTopic {
  int context;
  const char* page;
};

// Every help context number the program's windows use.
constexpr TTopic Topics[] = {
    {1, "restructure.html"}, {2, "sql.html"},          {3, "addtable.html"},      {4, "accounts.html"},
    {5, "editrecord.html"},  {6, "find.html"},         {7, "reportconfig.html"},  {8, "options.html"},
    {9, "charset.html"},     {10, "customtext.html"},  {11, "serveroptions.html"}, {12, "parser.html"},
    {13, "mailing.html"},
};

}  // namespace

IHelpService& HelpService() { return installed ? *installed : noHelp; }
void SetHelpService(IHelpService* service) { installed = service; }

void ShowHelpContents() { HelpService().HtmlHelp(HH_DISPLAY_TOC, 0); }
void ShowHelpContext(int helpContext) { HelpService().HtmlHelp(HH_HELP_CONTEXT, helpContext); }

std::string HelpPageFor(int command, int data) {
  if (command == HH_HELP_CONTEXT)
    for (const auto& t : Topics)
      if (t.context == data) return t.page;
  return "index.html";
}
