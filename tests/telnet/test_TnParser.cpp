// The telnet stream parser fed with annotated byte blocks: what it reports, in which order, as
// which slices, across block boundaries and at the sub-negotiation buffer's limit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TnParser.h"

namespace {

struct TRecorder {
  std::vector<std::string> Out;
  const uint8_t* BlockBegin = nullptr;
  const uint8_t* BlockEnd = nullptr;
  int StopAfterData = -1;  // data event number whose handler returns nonzero

  int Data(uint8_t* p, size_t n) {
    // Slices of the block itself, never copies, and never past its end.
    EXPECT_TRUE(p >= BlockBegin && p + n <= BlockEnd) << "data slice outside the block";
    Out.push_back("D:" + std::string(reinterpret_cast<char*>(p), n));
    return static_cast<int>(Out.size()) == StopAfterData ? 7 : 0;
  }
  int Command(uint8_t c) { return Push("C", c); }
  int Will(uint8_t o) { return Push("WILL", o); }
  int Wont(uint8_t o) { return Push("WONT", o); }
  int Do(uint8_t o) { return Push("DO", o); }
  int Dont(uint8_t o) { return Push("DONT", o); }
  void SubOption(uint8_t* p, size_t n) {
    std::string s = "SB:";
    for (size_t i = 0; i < n; ++i) s += std::to_string(p[i]) + (i + 1 < n ? "," : "");
    Out.push_back(s);
  }
  void Error(int code, const char* text) { Out.push_back("E:" + std::to_string(code) + ":" + text); }
  int Push(const char* what, uint8_t v) {
    Out.push_back(std::string(what) + ":" + std::to_string(v));
    return 0;
  }
};

std::vector<uint8_t> Bytes(std::initializer_list<int> v) { return std::vector<uint8_t>(v.begin(), v.end()); }
std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }
std::vector<uint8_t> Cat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Parses `block` (given one spare byte, as the engine does) and returns the events.
int Feed(TTnParser& p, TRecorder& r, std::vector<uint8_t> block) {
  const size_t n = block.size();
  block.push_back(0xEE);
  r.BlockBegin = block.data();
  r.BlockEnd = block.data() + n;
  return p.Parse(block.data(), n, r);
}

std::vector<std::string> ParseAll(const std::vector<std::vector<uint8_t>>& blocks) {
  TTnParser p;
  TRecorder r;
  for (const auto& b : blocks) Feed(p, r, b);
  return r.Out;
}

std::string Show(const std::vector<std::string>& v) {
  std::string s;
  for (const auto& e : v) s += "[" + e + "]";
  return s;
}

// Merges adjacent data events: what a reader of the text sees, however the blocks were cut.
std::vector<std::string> Merged(const std::vector<std::string>& v) {
  std::vector<std::string> out;
  for (const auto& e : v) {
    if (e.rfind("D:", 0) == 0 && !out.empty() && out.back().rfind("D:", 0) == 0)
      out.back() += e.substr(2);
    else
      out.push_back(e);
  }
  return out;
}

using V = std::vector<std::string>;

// Catches verbs mapped to the wrong event, or text held back until after the options.
TEST(TnParser, OptionsThenTextInOneBlock) {
  auto out = ParseAll({Cat(Bytes({255, 253, 1, 255, 251, 3}), Bytes("login: "))});
  EXPECT_EQ(out, (V{"DO:1", "WILL:3", "D:login: "})) << Show(out);
  out = ParseAll({Bytes({255, 252, 5, 255, 254, 6})});
  EXPECT_EQ(out, (V{"WONT:5", "DONT:6"})) << Show(out);
}

// Catches a doubled IAC passed on as two bytes, or swallowed, or text merged across it.
TEST(TnParser, DoubledIacIsOneDataByteBetweenTexts) {
  auto out = ParseAll({Cat(Cat(Bytes("ab"), Bytes({255, 255})), Bytes("cd"))});
  EXPECT_EQ(out, (V{"D:ab", "D:\xff", "D:cd"})) << Show(out);
}

// Catches a sub-negotiation delivered with SE, without its IAC SB prefix, or text lost after it.
TEST(TnParser, SubNegotiationThenText) {
  auto out = ParseAll({Cat(Bytes({255, 250, 24, 1, 255, 240}), Bytes("xyz"))});
  EXPECT_EQ(out, (V{"SB:255,250,24,1,255", "D:xyz"})) << Show(out);
  // Any SE ends it, with or without IAC before it.
  out = ParseAll({Bytes({255, 250, 31, 0, 80, 240, 'k'})});
  EXPECT_EQ(out, (V{"SB:255,250,31,0,80", "D:k"})) << Show(out);
}

// Catches a sub-negotiation made only of IAC IAC pairs being undoubled or cut short.
TEST(TnParser, SubNegotiationOfIacPairsKeepsEveryByte) {
  std::vector<uint8_t> block = Bytes({255, 250, 24});
  for (int i = 0; i < 6; ++i) block.push_back(255);
  block.push_back(255);
  block.push_back(240);
  auto out = ParseAll({block});
  EXPECT_EQ(out, (V{"SB:255,250,24,255,255,255,255,255,255,255"})) << Show(out);
}

// Catches commands below SB mistaken for verbs, and SE/NOP/GA outside a sub-negotiation lost.
TEST(TnParser, CommandsFromZeroTo249) {
  auto out = ParseAll({Bytes({255, 240, 255, 241, 255, 249, 255, 0, 'a'})});
  EXPECT_EQ(out, (V{"C:240", "C:241", "C:249", "C:0", "D:a"})) << Show(out);
}

// Catches state lost between blocks: every sequence split at every position must give the
// same events as the whole block (text may come in more pieces, never changed or reordered).
TEST(TnParser, SplitAtEveryPositionGivesTheSameEvents) {
  std::vector<uint8_t> whole = Cat(Bytes("hello "), Bytes({255, 253, 1, 255, 255}));
  whole = Cat(whole, Bytes("w"));
  whole = Cat(whole, Bytes({255, 250, 24, 0, 255, 255, 'V', 'T', 255, 240, 255, 241, 255, 252, 3}));
  whole = Cat(whole, Bytes(" end"));
  const auto expected = Merged(ParseAll({whole}));
  for (size_t cut = 0; cut <= whole.size(); ++cut) {
    std::vector<uint8_t> a(whole.begin(), whole.begin() + static_cast<long>(cut));
    std::vector<uint8_t> b(whole.begin() + static_cast<long>(cut), whole.end());
    EXPECT_EQ(Merged(ParseAll({a, b})), expected) << "cut at " << cut;
  }
  // And one byte per block.
  std::vector<std::vector<uint8_t>> single;
  for (uint8_t c : whole) single.push_back({c});
  EXPECT_EQ(Merged(ParseAll(single)), expected) << "one byte per block";
}

// Catches an overlong sub-negotiation writing past the buffer, or reporting the error only once.
TEST(TnParser, SubNegotiationBeyond1023BytesReportsEachDroppedByte) {
  std::vector<uint8_t> block = Bytes({255, 250, 42});
  for (int i = 0; i < 1030; ++i) block.push_back(static_cast<uint8_t>('a' + i % 26));
  block.push_back(240);
  TTnParser p;
  TRecorder r;
  Feed(p, r, block);
  // 3 + 1020 bytes fit; the remaining 10 are each reported.
  ASSERT_EQ(r.Out.size(), 11u) << Show(r.Out);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(r.Out[static_cast<size_t>(i)], "E:191:SubOption string too long. Truncated.");
  const std::string& sb = r.Out.back();
  EXPECT_EQ(std::count(sb.begin(), sb.end(), ','), 1022) << "the first 1023 bytes are delivered at SE";
  EXPECT_EQ(p.State(), 0u);
}

// Catches the overflow check being off by one across block boundaries.
TEST(TnParser, SubNegotiationLimitHoldsAcrossBlocks) {
  TTnParser p;
  TRecorder r;
  Feed(p, r, Bytes({255, 250, 1}));
  Feed(p, r, std::vector<uint8_t>(1020, 'x'));
  EXPECT_TRUE(r.Out.empty()) << Show(r.Out);
  EXPECT_EQ(p.State(), 1023u);
  Feed(p, r, Bytes({'y', 240}));
  ASSERT_EQ(r.Out.size(), 2u) << Show(r.Out);
  EXPECT_EQ(r.Out[0], "E:191:SubOption string too long. Truncated.");
}

// Catches transparent mode still interpreting IAC, or keeping an old state afterwards.
TEST(TnParser, TransparentPassesEverythingAndResetsState) {
  TTnParser p;
  TRecorder r;
  Feed(p, r, Bytes({'a', 255}));  // leaves the parser after IAC
  EXPECT_EQ(p.State(), 1u);
  p.SetTransparent(true);
  Feed(p, r, Bytes({255, 253, 1, 'z'}));
  EXPECT_EQ(r.Out, (V{"D:a", "D:\xff\xfd\x01z"})) << Show(r.Out);
  p.SetTransparent(false);
  Feed(p, r, Bytes({255, 253, 1}));
  EXPECT_EQ(r.Out.back(), "DO:1") << "state was reset by the transparent block";
}

// Catches plain text cut into several events, or an empty block raising an empty event.
TEST(TnParser, PlainBlockIsOneEventAndEmptyBlockNone) {
  std::string text(5000, 'q');
  auto out = ParseAll({Bytes(text)});
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].size(), 5002u);
  EXPECT_TRUE(ParseAll({{}}).empty());
}

// Catches a nonzero handler result being ignored: the rest of the block must not be parsed.
TEST(TnParser, NonzeroResultStopsTheBlock) {
  TTnParser p;
  TRecorder r;
  r.StopAfterData = 1;
  EXPECT_EQ(Feed(p, r, Cat(Bytes("ab"), Bytes({255, 253, 1}))), 7);
  EXPECT_EQ(r.Out, (V{"D:ab"})) << Show(r.Out);
}

// Catches an IAC at the end of a block being lost or emitted as data.
TEST(TnParser, IacAtBlockEndCompletedByNextBlock) {
  auto out = ParseAll({Bytes({'x', 255}), Bytes({251, 24, 'y'})});
  EXPECT_EQ(out, (V{"D:x", "WILL:24", "D:y"})) << Show(out);
  out = ParseAll({Bytes({255}), Bytes({255})});
  EXPECT_EQ(out, (V{"D:\xff"})) << Show(out);
}

}  // namespace
