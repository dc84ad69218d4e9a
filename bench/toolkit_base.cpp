// Baseline timings of the text toolkit: the tokenizer over a 1 MB text and
// the trie dictionary with 100,000 keys.

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "toolkit/DList.h"
#include "toolkit/Reader.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) {
  return std::chrono::duration<double>(Clock::now() - from).count();
}

std::string MakeText(size_t size) {
  static const char* const pieces[] = {"Dear ", "customer", ", ", "total ", "= ", "1234.56", "; ",
                                       "and ", "<b>", "x+y*2 ", "2e-3 ", "Name_1 ", "\r\n"};
  std::mt19937 rng(42);
  std::string text;
  text.reserve(size + 16);
  while (text.size() < size) text += pieces[rng() % (sizeof pieces / sizeof *pieces)];
  text.resize(size);
  return text;
}

void Tokenizer() {
  TReader reader;
  reader.SetDefaultBlanks();
  reader.SetStandardDelimiters();
  reader.AddDelimiter("<=", 0, 1, nullptr);
  reader.AddDelimiter(">=", 0, 2, nullptr);
  for (const char* w : {"and", "or", "not", "div", "mod", "if", "then", "else"})
    reader.AddKeyWord(w, 1, 0, false, nullptr);
  const std::string text = MakeText(1 << 20);
  TScroller scroller(&reader);
  double best = 1e9;
  long tokens = 0;
  for (int round = 0; round < 5; ++round) {
    auto start = Clock::now();
    tokens = 0;
    for (scroller.SetText(text, 0); scroller.Window[0].Status != tsEnd; scroller.Next()) ++tokens;
    best = std::min(best, Seconds(start));
  }
  std::printf("tokenizer: 1 MB, %ld tokens in %.1f ms: %.1f MB/s, %.2f M tokens/s\n", tokens,
              best * 1e3, (text.size() / 1048576.0) / best, tokens / best / 1e6);

  // One run without blanks or delimiters: must stay linear.
  const std::string word(1 << 20, 'w');
  auto start = Clock::now();
  scroller.SetText(word, 0);
  std::printf("tokenizer: one 1 MB word in %.1f ms\n", Seconds(start) * 1e3);
}

void Dictionary() {
  const int n = 100000;
  std::vector<std::string> keys;
  keys.reserve(n);
  std::mt19937 rng(7);
  for (int i = 0; i < n; ++i)
    keys.push_back("CF~Expr~" + std::to_string(rng()) + "_" + std::to_string(i));
  TDList list;
  list.Separator = '~';

  auto start = Clock::now();
  for (int i = 0; i < n; ++i) list.Add(keys[static_cast<size_t>(i)], i, nullptr);
  double add = Seconds(start);

  start = Clock::now();
  int found = 0, structure = 0;
  void* properties = nullptr;
  for (const auto& k : keys) found += list.Find(k, structure, properties);
  double find = Seconds(start);

  start = Clock::now();
  int scanned = 0;
  list.SetScanRange("CF~Expr~", 0, 0);
  for (bool ok = list.FindFirst(); ok; ok = list.FindNext()) ++scanned;
  double scan = Seconds(start);

  start = Clock::now();
  list.Clear();
  double clear = Seconds(start);

  std::printf("dictionary: %d keys: add %.1f ms (%.0f ns/key), find %.1f ms (%.0f ns/key, %d found),"
              " scan %.1f ms (%d keys), clear %.1f ms\n",
              n, add * 1e3, add * 1e9 / n, find * 1e3, find * 1e9 / n, found, scan * 1e3, scanned,
              clear * 1e3);
}

}  // namespace

int main() {
  Tokenizer();
  Dictionary();
  return 0;
}
