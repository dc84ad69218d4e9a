#include "withdrawal/ExtractRecord.h"

#include <exception>

#include "db/FieldKind.h"

namespace {

void SetFromValue(TField& field, const std::string& value) {
  switch (FieldKind(field.DataType())) {
    case fkText:
    case fkMemo: field.SetAsString(value); break;
    case fkNumber: field.SetAsFloat(static_cast<double>(StrToFloat(value))); break;
    case fkDateTime: {
      long double serial;
      if (TryStrToFloat(value, serial))
        field.SetAsDateTime(static_cast<TDateTime>(serial));
      else
        field.SetAsDateTime(StrToDateTime(value));
      break;
    }
    case fkBoolean: {
      std::string lower = LowerCase(value);
      field.SetAsBoolean(lower == "true" || lower == "t");
      break;
    }
  }
}

void SetFromDate(TField& field, TDateTime date) {
  switch (FieldKind(field.DataType())) {
    case fkText:
    case fkMemo: field.SetAsString(DateTimeToStr(date)); break;
    case fkNumber: field.SetAsFloat(date); break;
    case fkDateTime: field.SetAsDateTime(date); break;
    case fkBoolean: break;
  }
}

void SetTextField(TDataSet& table, const std::string& name, const std::string& text) {
  if (name.empty()) return;
  TField& field = table.FieldByName(name);
  TFieldKind kind = FieldKind(field.DataType());
  if (kind == fkText || kind == fkMemo) field.SetAsString(text);
}

}  // namespace

void WriteExtractedRecord(const TScheme* scheme, TDataSet& table, const std::string& content,
                          const std::string& fromName, TDateTime date, const std::string& fromEmail,
                          const std::string& subject) {
  table.Append();
  try {
    if (scheme) {
      for (const TScheme::TValue& rule : scheme->Values) {
        if (rule.Field.empty()) continue;
        TField& field = table.FieldByName(rule.Field);
        if (!rule.Value.empty()) SetFromValue(field, rule.Value);
      }
      if (!scheme->TimeField.empty()) SetFromDate(table.FieldByName(scheme->TimeField), date);
      SetTextField(table, scheme->FromNameField, fromName);
      SetTextField(table, scheme->FromEmailField, fromEmail);
      SetTextField(table, scheme->SubjectField, subject);
      if (!scheme->ContentField.empty()) {
        TField& field = table.FieldByName(scheme->ContentField);
        if (!content.empty()) field.SetAsString(content);
      }
    }
    table.Post();
  } catch (...) {
    table.Cancel();
    throw;
  }
}

std::string ExtractedContent(const TIdMessage& message, const std::string& viewerText) {
  return "From: " + message.From.Name + " <" + message.From.Address +
         "> \r\nTo: " + message.Recipients.EMailAddresses() + "\r\nSubject: " + message.Subject + "\r\n\r\n" +
         viewerText;
}

TExtractResult ExtractFreeText(TExtractData& data, int schemeIndex, TDataSet& table, const std::string& freeText,
                               TDateTime now) {
  TExtractResult result;
  try {
    data.ParseText(schemeIndex, freeText);
    WriteExtractedRecord(data.SchemeAt(schemeIndex), table, freeText, "", now, "", "");
    result.Posted = 1;
  } catch (const std::exception& e) {
    result.Error = e.what();
  }
  return result;
}

TExtractResult ExtractMessages(TExtractData& data, int schemeIndex, TDataSet& table,
                               const std::vector<TExtractSource>& sources,
                               const std::function<std::string(int row)>& showMessage) {
  TExtractResult result;
  try {
    for (const TExtractSource& source : sources) {
      if (!source.Message) continue;
      const TIdMessage& m = *source.Message;
      std::string text = showMessage ? showMessage(source.Row) : std::string();
      data.ParseText(schemeIndex, text);
      WriteExtractedRecord(data.SchemeAt(schemeIndex), table, ExtractedContent(m, text), m.From.Name, m.Date,
                           m.From.Address, m.Subject);
      ++result.Posted;
    }
  } catch (const std::exception& e) {
    result.Error = e.what();
  }
  return result;
}

TPreviewValue PreviewParse(TExtractData& data, int schemeIndex, const std::string& text, int valueIndex) {
  data.ParseText(schemeIndex, text);
  TScheme* s = data.SchemeAt(schemeIndex);
  if (!s || valueIndex < 0 || static_cast<size_t>(valueIndex) >= s->Values.size()) return {};
  const TScheme::TValue& v = s->Values[static_cast<size_t>(valueIndex)];
  return {v.Value, v.AfterMarker};
}
