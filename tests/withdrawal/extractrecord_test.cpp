// Writing extracted values into a table: the conversions by field kind, the
// time, sender, subject and content fields, failures that cancel the record,
// and the two Extract modes.

#include "withdrawal/ExtractRecord.h"

#include <gtest/gtest.h>

#include "platform/MessageBox.h"
#include "support/WithdrawalTestSupport.h"

namespace {

class TMemoryStore : public TTableStore {
public:
  std::string ReadOnlyReason() const override { return {}; }
  void UpdateRecord(int64_t, const std::vector<TValue>&, const std::vector<TValue>&) override {}
  int64_t AppendRecord(const std::vector<TValue>&) override { return appended++; }
  void DeleteRecord(int64_t) override {}
  int64_t appended = 0;
};

class ExtractRecordTest : public ::testing::Test {
protected:
  void SetUp() override {
    SetFormatSettings(TFormatSettings::Default());
    TTableData t;
    t.Fields = {{"TEXT", ftString, 60, 0},  {"NUM", ftFloat, 0, 0}, {"WHEN", ftDateTime, 0, 0},
                {"FLAG", ftBoolean, 0, 0},  {"BODY", ftMemo, 0, 0}, {"DAY", ftDate, 0, 0},
                {"TEXT2", ftString, 200, 0}};
    t.Store = std::make_unique<TMemoryStore>();
    table.OpenData(std::move(t));
    data.DefaultCharset = [] { return 15; };
    data.AddScheme("S");
    scheme = &data.Schemes[0];
  }
  // One rule with a value, written into the field.
  void WriteValue(const std::string& field, const std::string& value) {
    scheme->Values = {{"", "", field, value}};
    WriteExtractedRecord(scheme, table, "", "", 0, "", "");
  }

  TTempFolder temp;
  TExtractData data{temp.Path()};
  TScheme* scheme = nullptr;
  TDataSet table;
};

TEST_F(ExtractRecordTest, BooleanIsTrueOnlyForTAndTrue) {
  const std::pair<const char*, bool> cases[] = {{"T", true},    {"t", true},  {"true", true},   {"TRUE", true},
                                                {"yes", false}, {"1", false}, {"false", false}, {"tru", false}};
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    WriteValue("FLAG", text);
    EXPECT_EQ(table.FieldByName("FLAG").AsBoolean(), expected);
    EXPECT_FALSE(table.FieldByName("FLAG").IsNull());
  }
}

TEST_F(ExtractRecordTest, ConversionsByFieldKind) {
  WriteValue("WHEN", "38000.5");
  EXPECT_DOUBLE_EQ(table.FieldByName("WHEN").AsDateTime(), 38000.5);
  WriteValue("WHEN", "3/15/2004");
  EXPECT_DOUBLE_EQ(table.FieldByName("WHEN").AsDateTime(), EncodeDate(2004, 3, 15));
  WriteValue("DAY", "3/15/2004");
  EXPECT_DOUBLE_EQ(table.FieldByName("DAY").AsDateTime(), EncodeDate(2004, 3, 15));
  WriteValue("NUM", "12.25");
  EXPECT_DOUBLE_EQ(table.FieldByName("NUM").AsFloat(), 12.25);
  WriteValue("TEXT", "Grüße");
  EXPECT_EQ(table.FieldByName("TEXT").AsString(), "Grüße");
  WriteValue("BODY", "line 1\r\nline 2");
  EXPECT_EQ(table.FieldByName("BODY").AsString(), "line 1\r\nline 2");
  WriteValue("NUM", "");  // an empty value leaves the field alone
  EXPECT_TRUE(table.FieldByName("NUM").IsNull());
  EXPECT_EQ(table.RecordCount(), 7);
}

TEST_F(ExtractRecordTest, ValuesThatDoNotConvertCancelTheRecord) {
  WriteValue("TEXT", "kept");
  const std::pair<const char*, const char*> cases[] = {
      {"NUM", "'12,5 kg' is not a valid floating point value"},
      {"WHEN", "'someday' is not a valid date and time"},
  };
  for (const auto& [field, message] : cases) {
    SCOPED_TRACE(field);
    std::string value = std::string(message).substr(1, std::string(message).find('\'', 1) - 1);
    try {
      WriteValue(field, value);
      ADD_FAILURE() << "no error";
    } catch (const EConvertError& e) {
      EXPECT_EQ(std::string(e.what()), message);
    }
    EXPECT_EQ(table.State(), dsBrowse);
    EXPECT_EQ(table.RecordCount(), 1);
  }
}

TEST_F(ExtractRecordTest, AFieldTheTableLacksAppendsNothing) {
  struct Case {
    const char* what;
    std::function<void(TScheme&)> set;
  };
  const Case cases[] = {
      {"rule field",
       [](TScheme& s) {
         s.Values = {{"", "", "MISSING", ""}};
       }},
      {"content field", [](TScheme& s) { s.ContentField = "MISSING"; }},
      {"time field", [](TScheme& s) { s.TimeField = "MISSING"; }},
      {"sender name field", [](TScheme& s) { s.FromNameField = "MISSING"; }},
      {"sender address field", [](TScheme& s) { s.FromEmailField = "MISSING"; }},
      {"subject field", [](TScheme& s) { s.SubjectField = "MISSING"; }},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    TScheme s;
    s.Values = {{"", "", "TEXT", "first"}};
    k.set(s);
    try {
      WriteExtractedRecord(&s, table, "content", "n", 1, "e", "s");
      ADD_FAILURE() << "no error";
    } catch (const std::exception& e) {
      EXPECT_EQ(std::string(e.what()), "Field 'MISSING' not found");
    }
    EXPECT_EQ(table.RecordCount(), 0);
    EXPECT_EQ(table.State(), dsBrowse);
  }
}

TEST_F(ExtractRecordTest, TimeSenderSubjectAndContentFields) {
  const TDateTime date = EncodeDate(2026, 12, 10) + EncodeTime(14, 5, 0, 0);
  scheme->TimeField = "TEXT";
  scheme->FromNameField = "TEXT2";
  scheme->ContentField = "BODY";
  WriteExtractedRecord(scheme, table, "the content", "Ann", date, "a@x.test", "Hi");
  EXPECT_EQ(table.FieldByName("TEXT").AsString(), DateTimeToStr(date));
  EXPECT_EQ(table.FieldByName("TEXT2").AsString(), "Ann");
  EXPECT_EQ(table.FieldByName("BODY").AsString(), "the content");

  scheme->TimeField = "NUM";
  scheme->FromNameField = "NUM";  // not a text field: left alone
  scheme->FromEmailField = "TEXT";
  scheme->SubjectField = "TEXT2";
  scheme->ContentField = "TEXT";  // any kind takes the content, and it comes last
  WriteExtractedRecord(scheme, table, "", "Ann", date, "a@x.test", "");
  EXPECT_DOUBLE_EQ(table.FieldByName("NUM").AsFloat(), date);
  EXPECT_EQ(table.FieldByName("TEXT").AsString(), "a@x.test");  // empty content leaves it
  EXPECT_EQ(table.FieldByName("TEXT2").AsString(), "");

  scheme->TimeField = "FLAG";
  scheme->FromNameField = scheme->FromEmailField = scheme->SubjectField = "";
  scheme->ContentField = "";
  WriteExtractedRecord(scheme, table, "c", "", date, "", "");
  EXPECT_TRUE(table.FieldByName("FLAG").IsNull());
  scheme->TimeField = "WHEN";
  WriteExtractedRecord(scheme, table, "c", "", date, "", "");
  EXPECT_DOUBLE_EQ(table.FieldByName("WHEN").AsDateTime(), date);
  EXPECT_EQ(table.RecordCount(), 4);
}

TEST_F(ExtractRecordTest, FreeTextWithEmptySenderAndTheCurrentTime) {
  TScopedScriptedMessages boxes;
  scheme->Markers = {"Price:"};
  scheme->Values = {{"Price:", EndOfLineMarker, "NUM", ""}};
  scheme->FromNameField = "TEXT2";
  scheme->TimeField = "WHEN";
  scheme->ContentField = "BODY";
  const std::string text = "Order\r\nPrice: 9.5\r\n";
  const TDateTime now = Now();
  ASSERT_EQ(ExtractFreeText(data, 0, table, text, now).Posted, 1);
  EXPECT_DOUBLE_EQ(table.FieldByName("NUM").AsFloat(), 9.5);
  EXPECT_EQ(table.FieldByName("TEXT2").AsString(), "");
  EXPECT_DOUBLE_EQ(table.FieldByName("WHEN").AsDateTime(), now);
  EXPECT_EQ(table.FieldByName("BODY").AsString(), text);
  EXPECT_TRUE(boxes.shown.empty());

  const TExtractResult failed = ExtractFreeText(data, 0, table, "Price: nine", now);
  ASSERT_EQ(failed.Posted, 0);
  EXPECT_TRUE(boxes.shown.empty());  // the page shows it
  EXPECT_EQ(failed.Error, "'nine' is not a valid floating point value");
  EXPECT_EQ(table.RecordCount(), 1);
}

TEST_F(ExtractRecordTest, MessageModeStopsAtTheFirstFailure) {
  TScopedScriptedMessages boxes;
  scheme->Markers = {"n="};
  scheme->Values = {{"n=", EndOfLineMarker, "NUM", ""}};
  scheme->ContentField = "BODY";
  scheme->FromEmailField = "TEXT";
  scheme->SubjectField = "TEXT2";
  TIdMessage a, b, c;
  a.From = TIdEMailAddressItem("a@x.test", "Ann");
  a.Recipients.Add("r@y.test", "Rob");
  a.Recipients.Add("s@y.test");
  a.Subject = "First";
  b.Subject = "Bad";
  c.Subject = "Never";
  const std::vector<std::string> texts = {"n= 1", "n= x", "n= 3"};
  std::vector<int> shown;
  const TExtractResult r = ExtractMessages(data, 0, table, {{&a, 0}, {&b, 1}, {&c, 2}}, [&](int row) {
    shown.push_back(row);
    return texts[size_t(row)];
  });
  EXPECT_EQ(r.Posted, 1);
  EXPECT_EQ(shown, (std::vector<int>{0, 1}));
  ASSERT_EQ(table.RecordCount(), 1);
  table.First();
  EXPECT_DOUBLE_EQ(table.FieldByName("NUM").AsFloat(), 1);
  EXPECT_EQ(table.FieldByName("TEXT").AsString(), "a@x.test");
  EXPECT_EQ(table.FieldByName("BODY").AsString(),
            "From: Ann <a@x.test> \r\nTo: " + a.Recipients.EMailAddresses() + "\r\nSubject: First\r\n\r\nn= 1");
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(r.Error, "'x' is not a valid floating point value");
}

TEST_F(ExtractRecordTest, PreviewShowsTheChosenRule) {
  scheme->Markers = {"a:"};
  scheme->Values = {{"a:", EndOfLineMarker, "", ""}, {BeginningOfTextMarker, EndOfTextMarker, "", ""}};
  TPreviewValue p = PreviewParse(data, 0, "x a: 1\r\n", 0);
  EXPECT_EQ(p.Value, "1");
  EXPECT_EQ(p.Marker, "a:");
  p = PreviewParse(data, 0, "x a: 1\r\n", 1);
  EXPECT_EQ(p.Value, "x a: 1");
  EXPECT_EQ(p.Marker, BeginningOfTextMarker);
  p = PreviewParse(data, 0, "x", 2);
  EXPECT_EQ(p.Value, "");
  EXPECT_EQ(p.Marker, "");
  p = PreviewParse(data, 5, "x", 0);
  EXPECT_EQ(p.Value + p.Marker, "");
}

}  // namespace
