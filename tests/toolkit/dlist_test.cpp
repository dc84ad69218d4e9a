#include "toolkit/DList.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "toolkit/StrFile.h"

namespace fs = std::filesystem;

namespace {

// Payloads are heap ints; the dispose log records what the list let go.
struct Host {
  std::vector<std::pair<int, int>> disposed;  // (Structure, payload value); outlives the list
  TDList list;
  Host(char sep = '~') {
    list.Separator = sep;
    list.OnDisposeStructure = [this](TDList*, int s, void* p) {
      disposed.emplace_back(s, *static_cast<int*>(p));
      delete static_cast<int*>(p);
    };
  }
  void Add(const std::string& k, int s = 0, int v = 0) { list.Add(k, s, new int(v)); }
};

std::vector<std::string> Scan(TDList& l, const std::string& prefix, int minL, int maxL) {
  std::vector<std::string> out;
  l.SetScanRange(prefix, minL, maxL);
  for (bool ok = l.FindFirst(); ok; ok = l.FindNext()) {
    std::string k;
    EXPECT_TRUE(l.GetKey(k));
    out.push_back(k);
  }
  return out;
}

using Keys = std::vector<std::string>;

class DListFile : public ::testing::Test {
protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("dlist_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string Path(const std::string& name) const { return (dir / name).string(); }
  static std::string Slurp(const std::string& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  }
  fs::path dir;
};

}  // namespace

TEST(DList, ScanRanges) {
  struct Case {
    Keys keys;
    std::string prefix;
    int minL, maxL;
    Keys expected;
  };
  const std::vector<Case> cases = {
      {{"a", "ab", "b", "B", "a~x"}, "", 0, 2, {"B", "a", "ab", "a~x", "b"}},
      {{"CF~Expr~A", "CF~Expr~B~C", "CF~Type~A"}, "CF~Expr~", 0, 0, {"CF~Expr~A"}},
      {{"CF~Expr~A", "CF~Expr~B~C", "CF~Type~A"}, "CF~Expr~", 0, 1, {"CF~Expr~A", "CF~Expr~B~C"}},
      {{"CF~Expr~A", "x", "y~z", "~"}, "", 0, 0, {"x"}},
      {{"CF~Expr~A", "x", "y~z", "~"}, "", 1, 1, {"y~z", "~"}},
      {{"CF~Expr~A", "CF~Expr~B~C", "x"}, "", 2, 3, {"CF~Expr~A", "CF~Expr~B~C"}},
      {{"pre", "prefix", "pref~a"}, "pre", 0, 5, {"prefix", "pref~a"}},  // the prefix itself is out
      {{"abc"}, "abc", 0, 5, {}},                                         // no keys below the prefix
      {{"abc"}, "zz", 0, 5, {}},                                          // missing path
      {{"abc"}, "a", 0, 5, {"abc"}},                                       // prefix on a non-key path
      {{"\xff", "\x01", "A"}, "", 0, 0, {"\x01", "A", "\xff"}},            // unsigned byte order
  };
  for (const auto& c : cases) {
    Host h;
    for (const auto& k : c.keys) h.Add(k);
    EXPECT_EQ(Scan(h.list, c.prefix, c.minL, c.maxL), c.expected) << "prefix " << c.prefix;
  }
}

TEST(DList, AddFindReplaceDelete) {
  Host h;
  h.Add("abc", 3, 30);
  h.Add("ab", 2, 20);
  int s = -1;
  void* p = nullptr;
  EXPECT_FALSE(h.list.Find("a", s, p));  // a path, not a key
  EXPECT_EQ(s, -1);
  EXPECT_FALSE(h.list.Find("abcd", s, p));
  EXPECT_FALSE(h.list.Find("", s, p));
  ASSERT_TRUE(h.list.Find("ab", s, p));
  EXPECT_EQ(s, 2);
  EXPECT_EQ(*static_cast<int*>(p), 20);

  h.Add("ab", 7, 70);  // replacing hands over the old payload once
  ASSERT_EQ(h.disposed, (std::vector<std::pair<int, int>>{{2, 20}}));
  ASSERT_TRUE(h.list.Find("ab", s, p));
  EXPECT_EQ(s, 7);

  h.list.Add("", 1, nullptr);  // ignored
  h.list.Delete("a");          // not a key: nothing happens
  h.list.Delete("zz");
  EXPECT_EQ(h.disposed.size(), 1u);

  h.list.Delete("ab");
  EXPECT_EQ(h.disposed.back(), std::make_pair(7, 70));
  EXPECT_FALSE(h.list.Find("ab", s, p));
  EXPECT_TRUE(h.list.Find("abc", s, p));  // the extension survives
  EXPECT_EQ(Scan(h.list, "", 0, 9), Keys{"abc"});

  h.list.Delete("abc");
  EXPECT_FALSE(h.list.Find("abc", s, p));
  EXPECT_EQ(Scan(h.list, "", 0, 9), Keys{});
  h.Add("q", 1, 1);  // the emptied list works again
  EXPECT_EQ(Scan(h.list, "", 0, 9), Keys{"q"});
}

TEST(DList, NullPayloadsAreNotDisposed) {
  Host h;
  h.list.Add("k", 1, nullptr);
  h.list.Add("k", 2, nullptr);
  h.list.Delete("k");
  h.list.Add("m", 1, nullptr);
  h.list.Clear();
  EXPECT_TRUE(h.disposed.empty());
}

TEST(DList, ClearAndDestroyDisposeEverything) {
  std::vector<int> seen;
  {
    TDList l;
    l.OnDisposeStructure = [&](TDList*, int, void* p) {
      seen.push_back(*static_cast<int*>(p));
      delete static_cast<int*>(p);
    };
    for (int i = 0; i < 5; ++i) l.Add("k" + std::to_string(i), 0, new int(i));
    l.Clear();
    EXPECT_EQ(seen.size(), 5u);
    l.SetScanRange("", 0, 0);
    EXPECT_FALSE(l.FindFirst());
    l.Add("x", 0, new int(9));
    l.Add("xy", 0, new int(10));
  }
  EXPECT_EQ(seen.size(), 7u);
}

TEST(DList, ThrowingDisposeEndsClearWithoutLosingTheRest) {
  TDList l;
  int calls = 0;
  l.OnDisposeStructure = [&](TDList*, int, void* p) {
    ++calls;
    delete static_cast<int*>(p);
    if (calls == 1) throw std::runtime_error("dispose");
  };
  l.Add("a", 0, new int(1));
  l.Add("b", 0, new int(2));
  EXPECT_THROW(l.Clear(), std::runtime_error);
  int s;
  void* p = reinterpret_cast<void*>(1);
  ASSERT_TRUE(l.Find("a", s, p));
  EXPECT_EQ(p, nullptr);  // let go even though the handler failed
  l.Clear();
  EXPECT_EQ(calls, 2);
  EXPECT_FALSE(l.Find("b", s, p));
}

TEST(DList, VeryLongKeys) {
  const std::string key(200000, 'k');
  Host h;
  h.Add(key, 1, 1);
  h.Add(key + "x", 2, 2);
  int s = 0;
  void* p = nullptr;
  ASSERT_TRUE(h.list.Find(key, s, p));
  h.list.Delete(key + "x");
  EXPECT_EQ(h.disposed.back(), std::make_pair(2, 2));
  h.Add(key + "y", 3, 3);
  h.list.Clear();
  EXPECT_EQ(h.disposed.size(), 3u);
  h.Add(key, 4, 4);  // left for the destructor
}

TEST(DList, EntryAtHandAndEndOfScan) {
  Host h;
  h.Add("a", 1, 10);
  h.Add("b", 2, 20);
  std::string k;
  int s = 0;
  void* p = nullptr;
  EXPECT_FALSE(h.list.GetKey(k));  // no scan yet
  EXPECT_FALSE(h.list.FindNext());
  h.list.SetScanRange("", 0, 0);
  ASSERT_TRUE(h.list.FindFirst());
  ASSERT_TRUE(h.list.GetStructure(s));
  EXPECT_EQ(s, 1);
  ASSERT_TRUE(h.list.GetProperties(p));
  EXPECT_EQ(*static_cast<int*>(p), 10);
  ASSERT_TRUE(h.list.FindNext());
  EXPECT_FALSE(h.list.FindNext());
  ASSERT_TRUE(h.list.GetKey(k));  // back at the entry the call started from
  EXPECT_EQ(k, "b");
  h.Add("c", 3, 30);
  EXPECT_FALSE(h.list.FindNext());  // an ended scan stays ended
  EXPECT_FALSE(h.list.FindNext());
  h.list.SetScanRange("", 0, 0);
  EXPECT_FALSE(h.list.GetKey(k));
}

TEST(DList, DeleteDuringScan) {
  Host h;
  for (const char* k : {"a", "ab", "abc", "b", "c"}) h.Add(k);
  h.list.SetScanRange("", 0, 0);
  ASSERT_TRUE(h.list.FindFirst());
  ASSERT_TRUE(h.list.FindNext());  // "ab"
  h.list.Delete("ab");
  std::vector<std::string> rest;
  for (bool ok = h.list.FindNext(); ok; ok = h.list.FindNext()) {
    std::string k;
    h.list.GetKey(k);
    rest.push_back(k);
  }
  EXPECT_EQ(rest, (Keys{"abc", "b", "c"}));

  h.list.SetScanRange("", 0, 0);
  ASSERT_TRUE(h.list.FindFirst());
  h.list.Delete("a");
  h.list.Delete("abc");  // the entry at hand's node stays: the walk goes on
  std::string k;
  ASSERT_TRUE(h.list.FindNext());
  h.list.GetKey(k);
  EXPECT_EQ(k, "b");

  h.Add("bx");
  h.Add("bxy");
  h.list.SetScanRange("b", 0, 0);
  ASSERT_TRUE(h.list.FindFirst());  // "bx"
  h.list.Delete("bx");
  h.list.Delete("bxy");  // releases the node of the entry at hand
  EXPECT_FALSE(h.list.FindNext());
  EXPECT_FALSE(h.list.GetKey(k));
}

TEST(DList, FilterAndListEntries) {
  Host h;
  for (const char* k : {"x1", "x2", "y1"}) h.Add(k, k[0] == 'x' ? 1 : 2);
  std::vector<std::pair<std::string, int>> offered;
  h.list.OnFilter = [&](TDList*, const std::string& str, int structure, int mode, void*, bool& en) {
    offered.emplace_back(str, mode);
    en = structure == 1;
  };
  EXPECT_EQ(Scan(h.list, "", 0, 0), (Keys{"x1", "x2"}));
  EXPECT_EQ(offered.back(), std::make_pair(std::string("y1"), -1));
  offered.clear();
  h.list.ListEntries(4);
  EXPECT_EQ(offered, (std::vector<std::pair<std::string, int>>{{"x1", 4}, {"x2", 4}, {"y1", 4}}));
  offered.clear();
  h.list.FindFirst();
  EXPECT_EQ(offered.front().second, -1);  // the mode is restored afterwards

  h.list.OnFilter = [](TDList*, const std::string&, int, int, void*, bool& en) { en = false; };
  h.list.SetScanRange("", 0, 0);
  EXPECT_FALSE(h.list.FindFirst());
}

TEST(Tracer, StepsAndPositions) {
  TDList l;
  l.Add("an", 1, reinterpret_cast<void*>(0x10));
  l.Add("and", 2, reinterpret_cast<void*>(0x20));
  TTracer t(&l);
  bool term = true;
  int s = -1;
  void* p = reinterpret_cast<void*>(0x99);
  t.Reset("");
  EXPECT_FALSE(t.Step('x', term, s, p));
  ASSERT_TRUE(t.Step('a', term, s, p));
  EXPECT_FALSE(term);
  EXPECT_EQ(p, reinterpret_cast<void*>(0x99));  // untouched on a non-terminal slot
  TTracerPosition mark;
  t.GetPosition(mark);
  ASSERT_TRUE(t.Step('n', term, s, p));
  EXPECT_TRUE(term);
  EXPECT_EQ(s, 1);
  EXPECT_EQ(p, reinterpret_cast<void*>(0x10));
  ASSERT_TRUE(t.Step('d', term, s, p));
  EXPECT_EQ(s, 2);
  EXPECT_FALSE(t.Step('y', term, s, p));  // no key continues past "and"
  t.SetPosition(mark);
  EXPECT_FALSE(t.Step('d', term, s, p));
  ASSERT_TRUE(t.Step('n', term, s, p));

  t.Reset("an");
  ASSERT_TRUE(t.Step('d', term, s, p));
  t.Reset("zz");  // missing path: before the root
  ASSERT_TRUE(t.Step('a', term, s, p));

  t.Reset("an");
  l.Delete("and");  // the storage below the position is gone
  EXPECT_FALSE(t.Step('d', term, s, p));
}

TEST_F(DListFile, FileRoundTripWithHeaderAndPayloads) {
  std::string file = Path("p.lkp");
  auto hook = [](Host& h) {
    h.list.OnFileHeader = [](TDList*, TFileHandle& fh, THeaderAction a, int, int init) {
      EXPECT_EQ(init, 4);
      if (a == haWrite) {
        WriteStr(fh, "HDR");
      } else {
        std::string s;
        ASSERT_TRUE(ReadStr(fh, s));
        EXPECT_EQ(s, "HDR");
      }
    };
    h.list.OnSaveStructure = [](TDList*, int, void* p, TFileHandle& fh, int) {
      WriteInt32(fh, *static_cast<int*>(p));
    };
    h.list.OnLoadStructure = [](TDList*, int, void*& p, TFileHandle& fh, int format) {
      EXPECT_EQ(format, 2);
      int32_t v = 0;
      if (!ReadInt32(fh, v)) throw std::runtime_error("payload cut short");
      p = new int(v);
    };
  };
  Host a;
  hook(a);
  a.Add("k~1", 5, 50);
  a.Add(std::string("z\0z", 3), 6, 60);  // any byte, zero included
  a.Add("k~1~deep~er", 7, 70);           // outside levels 0..2
  a.list.SetScanRange("", 0, 2);
  a.list.SaveToFile(file, 2);

  std::string bytes = Slurp(file);
  ASSERT_GE(bytes.size(), 11u);
  EXPECT_EQ(bytes.substr(0, 4), std::string("\x02\0\0\0", 4));
  EXPECT_EQ(bytes.substr(4, 7), std::string("\x03\0\0\0HDR", 7));
  EXPECT_EQ(bytes.substr(11, 11), std::string("\x03\0\0\0k~1\x05\0\0\0", 11));

  Host b;
  hook(b);
  b.Add("k~1", 1, 11);  // a key met again keeps the loaded pair
  b.list.LoadFromFile(file, 3);
  EXPECT_EQ(b.disposed, (std::vector<std::pair<int, int>>{{1, 11}}));
  EXPECT_EQ(Scan(b.list, "", 0, 9), (Keys{"k~1", std::string("z\0z", 3)}));
  int s;
  void* p;
  ASSERT_TRUE(b.list.Find(std::string("z\0z", 3), s, p));
  EXPECT_EQ(s, 6);
  EXPECT_EQ(*static_cast<int*>(p), 60);
}

TEST_F(DListFile, SaveKeepsBackupAndFailsSilently) {
  std::string file = Path("p.lkp");
  Host h;
  h.Add("one");
  h.list.SetScanRange("", 0, 0);
  h.list.SaveToFile(file, 1);
  std::string first = Slurp(file);
  h.Add("two");
  h.list.SaveToFile(file, 1);
  EXPECT_EQ(Slurp(Path("Backup of p.lkp")), first);
  EXPECT_NE(Slurp(file), first);
  h.list.SaveToFile(file, 1);  // an older backup is replaced
  EXPECT_NE(Slurp(Path("Backup of p.lkp")), first);

  h.list.SaveToFile(Path("no/such/dir/x.lkp"), 1);  // silent
  h.list.LoadFromFile(Path("missing.lkp"), 1);      // silent
  EXPECT_EQ(Scan(h.list, "", 0, 0), (Keys{"one", "two"}));

  // A filter that disables everything leaves the format number alone.
  h.list.OnFilter = [](TDList*, const std::string&, int, int, void*, bool& en) { en = false; };
  h.list.SaveToFile(file, 9);
  EXPECT_EQ(Slurp(file), std::string("\x09\0\0\0", 4));
}

TEST_F(DListFile, LoadStopsAtNewerFormatsAndDamage) {
  auto write = [&](const std::string& name, const std::string& bytes) {
    std::ofstream(Path(name), std::ios::binary) << bytes;
    return Path(name);
  };
  const std::string entryA = std::string("\x01\0\0\0a\x01\0\0\0", 9);
  struct Case {
    std::string bytes;
    int format;
    Keys expected;
  };
  const std::vector<Case> cases = {
      {std::string("\x04\0\0\0", 4) + entryA, 3, {}},                                  // newer format
      {std::string("\x03\0\0\0", 4) + entryA, 3, {"a"}},                               // same format
      {std::string("\x01\0\0\0", 4) + entryA + std::string("\x05\0\0\0bc", 6), 3, {"a"}},  // key cut short
      {std::string("\x01\0\0\0", 4) + entryA + std::string("\x01\0\0\0b\x01", 6), 3, {"a"}},  // Structure cut
      {std::string("\x01\0\0\0", 4) + entryA + std::string("\x01\0", 2), 3, {"a"}},  // length cut
      {std::string("\x01\0\0\0", 4) + std::string("\xff\xff\xff\xff", 4) + entryA, 3, {}},  // negative length
      {std::string("\x01\0\0\0", 4) + std::string("\xff\xff\xff\x7f", 4), 3, {}},  // impossible length
      {std::string("\x01\0", 2), 3, {}},                                               // no format
  };
  int n = 0;
  for (const auto& c : cases) {
    Host h;
    h.list.LoadFromFile(write("f" + std::to_string(n++), c.bytes), c.format);
    EXPECT_EQ(Scan(h.list, "", 0, 0), c.expected) << "case " << n;
  }
}

TEST_F(DListFile, ThrowingLoadHandlerReachesTheCaller) {
  std::string file = Path("t.lkp");
  {
    std::ofstream(file, std::ios::binary) << std::string("\x01\0\0\0\x01\0\0\0a\x01\0\0\0", 13);
  }
  Host h;
  h.list.OnLoadStructure = [](TDList*, int, void*&, TFileHandle&, int) {
    throw std::runtime_error("damaged");
  };
  EXPECT_THROW(h.list.LoadFromFile(file, 1), std::runtime_error);
  int s;
  void* p;
  EXPECT_FALSE(h.list.Find("a", s, p));
  // The file was closed: it can be replaced at once.
  h.list.OnLoadStructure = nullptr;
  h.list.SaveToFile(file, 1);
  EXPECT_TRUE(fs::exists(Path("Backup of t.lkp")));
}
