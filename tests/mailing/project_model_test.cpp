// Thousands of random edits of a project, saved and opened again every few
// edits, compared with a plain map of what the project should hold.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <random>

#include "mailing/Project.h"
#include "mailing/ProjectFile.h"

namespace fs = std::filesystem;

namespace {

struct TModelEntry {
  int32_t code;
  TProjectPayload payload;
};

std::string RandomText(std::mt19937& rng, size_t maxLen) {
  // No zero bytes: a stored text ends at its first one.
  static const std::string chars = "abcXYZ~ 09'\"\r\n\xC3\xA9\xFF";
  std::string s(rng() % (maxLen + 1), ' ');
  for (char& c : s) c = chars[rng() % chars.size()];
  return s;
}

TProjectPayload RandomPayload(std::mt19937& rng, int32_t code) {
  switch (PayloadKindOf(code)) {
    case TPayloadKind::None: return std::monostate{};
    case TPayloadKind::Int32: return static_cast<int32_t>(rng());
    case TPayloadKind::String: return RandomText(rng, 40);
    case TPayloadKind::Byte: return static_cast<uint8_t>(rng());
    case TPayloadKind::Block8: {
      TBlock8 b;
      for (auto& x : b) x = static_cast<uint8_t>(rng());
      return b;
    }
    case TPayloadKind::ColorRules: {
      TColorExpr r;
      for (auto& x : r) x = {static_cast<uint8_t>(rng() % 3), RandomText(rng, 12)};
      return r;
    }
  }
  return std::monostate{};
}

}  // namespace

TEST(ProjectModel, RandomEditsSavesAndOpensMatchAMap) {
  const fs::path dir = fs::temp_directory_path() / ("lp_project_model_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string file = (dir / "model.lkp").string();

  std::mt19937 rng(20261210);
  std::vector<std::string> keyPool;
  static const std::string keyChars = std::string("AaBb~2_\xFF") + '\0';
  for (int i = 0; i < 80; ++i) {
    std::string k(1 + rng() % 10, 'A');
    for (char& c : k) c = keyChars[rng() % keyChars.size()];
    keyPool.push_back(k);
  }
  const int32_t codes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, -1, 99};

  std::map<std::string, TModelEntry> model;
  auto project = std::make_unique<TProject>();
  auto compare = [&](int step) {
    std::vector<std::string> keys;
    for (const auto& [k, e] : model) keys.push_back(k);
    ASSERT_EQ(project->Keys(), keys) << "step " << step;
    for (const auto& [k, e] : model) {
      int32_t code = 0;
      const TProjectPayload* p = nullptr;
      ASSERT_TRUE(project->Find(k, code, p)) << step;
      EXPECT_EQ(code, e.code) << step;
      if (PayloadKindOf(code) == TPayloadKind::None) {
        EXPECT_EQ(p, nullptr) << step;
      } else {
        ASSERT_NE(p, nullptr) << step;
        EXPECT_TRUE(*p == e.payload) << "step " << step;
      }
    }
  };

  int saves = 0;
  for (int step = 0; step < 6000; ++step) {
    const unsigned op = rng() % 10;
    const std::string& key = keyPool[rng() % keyPool.size()];
    if (op < 6) {
      const int32_t code = codes[rng() % std::size(codes)];
      TProjectPayload payload = RandomPayload(rng, code);
      project->Set(key, code, payload);
      model[key] = {code, payload};
    } else if (op < 8) {
      project->Delete(key);
      model.erase(key);
    } else {
      const int format = (rng() % 2) ? ProjectFormatSave : ProjectFormatSaveAs;
      ASSERT_TRUE(project->SaveToFile(file, format)) << step;
      ++saves;
      project = std::make_unique<TProject>();
      ASSERT_EQ(project->LoadFromFile(file), TProjectLoad::Loaded) << step;
    }
    compare(step);
    if (::testing::Test::HasFatalFailure()) break;
  }
  EXPECT_GT(saves, 100);
  std::error_code ec;
  fs::remove_all(dir, ec);
}
