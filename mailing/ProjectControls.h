#pragma once
// The project as the main window's controls show it: ProjectToList writes the
// controls into the dictionary, ListToProject shows the dictionary in the
// controls with the defaults of missing keys. The highlight rules are not a
// control: they are the row rules' slots, passed in beside the view.

#include <cstdint>
#include <string>

#include "mailing/Project.h"
#include "workspace/HighlightSlots.h"
#include "workspace/MailMode.h"

class TAppSettings;

constexpr int32_t DefaultColorIndex = 8;     // silver
constexpr int32_t DefaultCharsetIndex = 15;  // before the settings' "DefaultCharset"

// The document of a new project: an empty HTML page, lines joined by CR LF.
const std::string& DefaultDocument();

// What the window's controls hold.
struct TProjectValues {
  std::string FilterText;                    // Memo1
  bool UseFilter = false;                    // CheckBox1
  bool UseHighlight = false;                 // CheckBox3
  int32_t ColorIndex = DefaultColorIndex;    // ColorComboBox1
  std::string Document = DefaultDocument();  // the Source view
  TMailMode MailMode = mmHtml;
  std::string Subject;  // Edit2
  std::string ToAddr;   // the To field
  std::string Plain;    // the plain-text body
  int32_t CharsetIndex = DefaultCharsetIndex;
  std::string Report;  // the report fields, each line followed by CR LF
  bool operator==(const TProjectValues&) const = default;
};

class IProjectView {
public:
  virtual ~IProjectView() = default;
  virtual TProjectValues ProjectValues() const = 0;
  virtual void ShowProjectValues(const TProjectValues& values) = 0;
  // After the values are shown, in this order.
  virtual void ApplyMailMode(TMailMode /*mode*/) {}  // the HTML/plain switch (marks the project modified)
  virtual void FillToFieldList() {}
  virtual void UpdateCaption() {}
};

// The controls and the rules into the dictionary, each key replaced:
// "FText", "UseF", "UseCF", "CInd", "FCol", "Doc", "SubMail", "Subject",
// "ToAddr", "Plain", "Charset", "Report".
void ProjectToList(TProject& project, const IProjectView& view, const THighlightSlots& slots);

// The values the dictionary gives, defaults for missing keys or keys holding a
// payload of another kind; defaultCharset stands for a missing "Charset".
TProjectValues ProjectValuesOf(const TProject& project, int32_t defaultCharset);
// The rules' Enabled and Expression from "FCol" (all off and empty without it).
void LoadHighlightSlots(const TProject& project, THighlightSlots& slots);

// Shows the dictionary: the values, the rules, then the mail mode, the To
// list and the caption. A missing "Charset" takes the settings'
// "DefaultCharset" (15 when it cannot be read).
void ListToProject(const TProject& project, IProjectView& view, THighlightSlots& slots, TAppSettings& settings);
