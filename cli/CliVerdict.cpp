#include "CliVerdict.h"

#include <algorithm>
#include <string_view>

#include "SysUtils.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ':'; }

// The word after "firmware" (any case), without trailing punctuation; empty when none.
std::string_view VersionAfterKeyword(std::string_view text) {
  constexpr std::string_view keyword = "firmware";
  auto at = std::search(text.begin(), text.end(), keyword.begin(), keyword.end(), SameTextChar);
  while (at != text.end()) {
    auto word = std::find_if_not(at + keyword.size(), text.end(), IsBlank);
    auto end = std::find_if(word, text.end(), [](char c) { return IsBlank(c) || c == ','; });
    while (end != word && (end[-1] == '.' || end[-1] == ';')) --end;
    if (end != word) return std::string_view(&*word, static_cast<size_t>(end - word));
    at = std::search(at + 1, text.end(), keyword.begin(), keyword.end(), SameTextChar);
  }
  return {};
}

}  // namespace

const char* CliVerdictName(TCliVerdict v) {
  switch (v) {
    case cvReady: return "ready";
    case cvUpToDate: return "up-to-date";
    case cvWrongModem: return "wrong-modem";
    case cvCannotDetect: break;
  }
  return "cannot-detect";
}

void TCliGreetingJudge::Judge(const std::string& chunk) {
  // The wizard reads the chunk back from a text control, which ends it at its first NUL.
  const std::string_view text(chunk.data(), std::min(chunk.find('\0'), chunk.size()));
  FHeard = true;
  if (text.find(kTargetVersion) != std::string_view::npos)
    FVerdict = cvUpToDate;
  else if (text.find(kGreeting) != std::string_view::npos)
    FVerdict = cvReady;
  else
    FVerdict = cvWrongModem;
  if (FVerdict == cvUpToDate)
    FFirmware = kTargetVersion;
  else if (const std::string_view v = VersionAfterKeyword(text); !v.empty())
    FFirmware = v;
}
