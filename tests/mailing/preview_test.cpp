#include "mailing/Preview.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "mailing/Merge.h"
#include "platform/MessageBox.h"
#include "support/MergeFakes.h"

namespace fs = std::filesystem;

namespace {

constexpr int32_t kUtf8 = 14;
constexpr int32_t kUserDefined = 15;
constexpr int32_t kWindows1251 = 7;
constexpr int32_t kWindows1252 = 18;

class TFakePreviewView : public IPreviewView {
public:
  std::string toField;
  std::vector<std::string> toShown;
  std::string subject;
  std::vector<std::string> subjectShown;
  TMailMode mailMode = mmHtml;
  std::string source;
  std::string plain;
  int32_t charset = kUtf8;
  bool navigateOk = true;
  std::vector<std::string> navigated;
  int syncs = 0;

  std::string ToFieldText() override { return toField; }
  void ShowTo(const std::string& text) override { toShown.push_back(text); }
  std::string SubjectText() override { return subject; }
  void ShowSubject(const std::string& text) override { subjectShown.push_back(text); }
  void SyncEditedHtml() override { ++syncs; }
  TMailMode MailMode() override { return mailMode; }
  std::string SourceText() override { return source; }
  std::string PlainText() override { return plain; }
  int32_t CharsetIndex() override { return charset; }
  bool Navigate(const std::string& fileName) override {
    navigated.push_back(fileName);
    return navigateOk;
  }
  // The boxes as the window shows them.
  void ShowWarning(const std::string& text) override { InfoBox(text); }
  void ShowError(const std::string& text) override { ErrorBox(text); }
};

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Head(const std::string& charset) {
  return "<HEAD>\r\n<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/plain; charset=" + charset + "\">\r\n</HEAD>\r\n";
}

class PreviewTest : public ::testing::Test {
protected:
  PreviewTest() : merger(reader, source, sign, warnings) {
    SetUpMergeReader(reader);
    record.Add("F_Name", ftString, std::string("John"));
    record.Add("EMAIL", ftString, std::string("john@example.org"));
    record.Add("Notes", ftMemo, std::string("n"));
    record.Add("Amount", ftFloat, 3.5);
    record.Add("Paid", ftBoolean, true);
    record.Add("Born", ftDateTime, 1.0);
    source.record = &record;
    const char* old = std::getenv("TMPDIR");
    if (old) oldTmp = old;
    hadTmp = old != nullptr;
    tmp = fs::temp_directory_path() / ("lpprev_test_" + std::to_string(::getpid()));
    fs::remove_all(tmp);
    fs::create_directories(tmp);
    ::setenv("TMPDIR", tmp.c_str(), 1);
  }
  ~PreviewTest() override {
    if (hadTmp)
      ::setenv("TMPDIR", oldTmp.c_str(), 1);
    else
      ::unsetenv("TMPDIR");
    std::error_code ec;
    fs::remove_all(tmp, ec);
  }

  fs::path PreviewPath() const { return tmp / "$lpprev_.html"; }

  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const auto& b : boxes.shown) texts.push_back(b.text);
    return texts;
  }

  TScopedScriptedMessages boxes;
  TReader reader;
  TFakeRecord record;
  TFakeTagSource source;
  TFakeSign sign;
  TBoxedMergeWarnings warnings;
  TMerger merger;
  TFakePreviewView view;
  TPreview preview;
  fs::path tmp;
  std::string oldTmp;
  bool hadTmp = false;
};

TEST_F(PreviewTest, ToFieldListHoldsTextAndMemoFields) {
  TToFieldList list = FillToFieldList(&record, "EMAIL");
  EXPECT_EQ(list.Items, (std::vector<std::string>{"F_Name", "EMAIL", "Notes"}));
  EXPECT_EQ(list.ItemIndex, 1);
  EXPECT_EQ(FillToFieldList(&record, "email").ItemIndex, -1);
  EXPECT_EQ(FillToFieldList(&record, "").ItemIndex, -1);
  TToFieldList closed = FillToFieldList(nullptr, "EMAIL");
  EXPECT_TRUE(closed.Items.empty());
  EXPECT_EQ(closed.ItemIndex, -1);
}

TEST_F(PreviewTest, ToLabel) {
  view.toField = "EMAIL";
  UpdateToPreview(view, merger);
  EXPECT_EQ(view.toShown, (std::vector<std::string>{"EMAIL", "john@example.org"}));
  EXPECT_TRUE(boxes.shown.empty());

  view.toShown.clear();
  view.toField = "";
  UpdateToPreview(view, merger);
  EXPECT_EQ(view.toShown, std::vector<std::string>{""});
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Warning: Email address not found"});

  boxes.shown.clear();
  view.toShown.clear();
  view.toField = "Gone";
  UpdateToPreview(view, merger);
  EXPECT_EQ(view.toShown, std::vector<std::string>{"Gone"});
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Warning: field %GONE not found"});
}

TEST_F(PreviewTest, ToComboChange) {
  bool modified = false;
  std::string toAddr = "OLD";
  view.toField = "EMAIL";
  ComboBox2Change(view, modified, toAddr, merger);
  EXPECT_TRUE(modified);
  EXPECT_EQ(toAddr, "EMAIL");
  EXPECT_EQ(view.toShown.back(), "john@example.org");
}

TEST_F(PreviewTest, SubjectLabelWarnsForUnknownTags) {
  view.subject = "Hi %F_Name, %Nope";
  UpdateSubjectPreview(view, merger);
  EXPECT_EQ(view.subjectShown, std::vector<std::string>{"Hi John, %Nope"});
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Warning: field %NOPE not found"});
}

TEST_F(PreviewTest, HtmlPageIsMergedAndWritten) {
  view.toField = "EMAIL";
  view.subject = "For %F_Name";
  view.source = "<html><body>Dear %F_Name!\n<p>%Amount</p></body></html>";
  preview.BuildPreview(view, merger);
  EXPECT_EQ(view.syncs, 1);
  EXPECT_EQ(view.toShown.back(), "john@example.org");
  EXPECT_EQ(view.subjectShown.back(), "For John");
  ASSERT_EQ(view.navigated, std::vector<std::string>{PreviewPath().string()});
  EXPECT_EQ(preview.PreviewFileName, PreviewPath().string());
  EXPECT_EQ(ReadAll(PreviewPath()), "<html><body>Dear John!\r\n<p>3.5</p></body></html>\r\n");
  EXPECT_FALSE(preview.PreviewReady);
  EXPECT_TRUE(boxes.shown.empty());

  // A request while the browser is busy is dropped, not queued.
  record.Value("F_Name") = std::string("Mary");
  preview.BuildPreview(view, merger);
  EXPECT_EQ(view.navigated.size(), 1u);
  EXPECT_EQ(view.syncs, 1);

  preview.DocumentComplete();
  EXPECT_TRUE(preview.PreviewReady);
  preview.BuildPreview(view, merger);
  EXPECT_EQ(view.navigated.size(), 2u);
  EXPECT_EQ(ReadAll(PreviewPath()), "<html><body>Dear Mary!\r\n<p>3.5</p></body></html>\r\n");
}

TEST_F(PreviewTest, EmptyHtmlPageIsOneEmptyLine) {
  view.toField = "EMAIL";
  preview.BuildPreview(view, merger);
  EXPECT_EQ(preview.PreviewLines, std::vector<std::string>{""});
  EXPECT_EQ(ReadAll(PreviewPath()), "\r\n");
}

TEST_F(PreviewTest, EmptyPlainPageHoldsOnlyTheHead) {
  view.toField = "EMAIL";
  view.mailMode = mmPlainText;
  view.charset = kWindows1252;
  view.source = "<p>not this</p>";
  preview.BuildPreview(view, merger);
  EXPECT_EQ(preview.PreviewLines.size(), 3u);
  EXPECT_EQ(ReadAll(PreviewPath()), Head("windows-1252"));
}

TEST_F(PreviewTest, PlainPageLinesEndInCrLf) {
  view.toField = "EMAIL";
  view.mailMode = mmPlainText;
  view.plain = "Dear %F_Name,\nbye\r\rend\r\n";
  preview.BuildPreview(view, merger);
  EXPECT_EQ(ReadAll(PreviewPath()), Head("utf-8") + "Dear John,\r\nbye\r\n\r\nend\r\n");
}

TEST_F(PreviewTest, FailuresSayPreviewFailedAndAcceptTheNextRequest) {
  view.toField = "EMAIL";
  view.navigateOk = false;
  preview.BuildPreview(view, merger);
  EXPECT_TRUE(preview.PreviewReady);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "Preview Failed");
  EXPECT_EQ(boxes.shown[0].kind, TMsgKind::Error);

  boxes.shown.clear();
  view.navigateOk = true;
  ::setenv("TMPDIR", (tmp / "missing" / "folder").c_str(), 1);
  preview.BuildPreview(view, merger);
  EXPECT_TRUE(preview.PreviewReady);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Preview Failed"});
  EXPECT_EQ(view.navigated.size(), 1u);
}

struct TCharsetCase {
  const char* name;
  int32_t charset;
  TMailMode mailMode;
  std::string text;      // the body, with %F_Name
  std::string fileName;  // F_Name's value
  std::string bytes;     // the file
};

class PreviewCharsets : public PreviewTest, public ::testing::WithParamInterface<TCharsetCase> {};

TEST_P(PreviewCharsets, FileIsInTheProjectCharset) {
  const TCharsetCase& c = GetParam();
  record.Value("F_Name") = c.fileName;
  view.toField = "EMAIL";
  view.charset = c.charset;
  view.mailMode = c.mailMode;
  (c.mailMode == mmHtml ? view.source : view.plain) = c.text;
  preview.BuildPreview(view, merger);
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(ReadAll(PreviewPath()), c.bytes);
}

const TCharsetCase kCharsetCases[] = {
    {"CyrillicWindows1251Plain", kWindows1251, mmPlainText, "Привет, %F_Name! Ω", "Иван",
     Head("windows-1251") + "\xCF\xF0\xE8\xE2\xE5\xF2, \xC8\xE2\xE0\xED! ?\r\n"},
    {"CyrillicWindows1251Html", kWindows1251, mmHtml,
     "<META http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">\n<p>%F_Name ё</p>", "Жанна",
     "<META http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">\r\n"
     "<p>\xC6\xE0\xED\xED\xE0 \xB8</p>\r\n"},
    {"WesternWindows1252Plain", kWindows1252, mmPlainText, "Café %F_Name €5 Ω Ж", "Zoë",
     Head("windows-1252") + "Caf\xE9 Zo\xEB \x80"
                            "5 ? ?\r\n"},
    {"WesternWindows1252Html", kWindows1252, mmHtml, "<p>%F_Name – “quoted”</p>", "Müller",
     "<p>M\xFCller \x96 \x93quoted\x94</p>\r\n"},
    {"UserDefinedKeepsTheUtf8Bytes", kUserDefined, mmPlainText, "Ω %F_Name", "Иван",
     Head("x-user-defined") + "Ω Иван\r\n"},
};

INSTANTIATE_TEST_SUITE_P(Preview, PreviewCharsets, ::testing::ValuesIn(kCharsetCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PreviewFile, NameIsFixedInTheTemporaryFolder) {
  EXPECT_EQ(fs::path(PreviewFileName()).filename().string(), "$lpprev_.html");
  EXPECT_EQ(PlainPreviewHead(kWindows1251), Head("windows-1251"));
  // A stored index out of range declares the fallback set.
  EXPECT_EQ(PlainPreviewHead(99), Head("x-user-defined"));
}

}  // namespace
