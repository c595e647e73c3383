// First-frame decoding of the differential corpus (the ImageMagick files the graphics tests
// make) with our decoder and with giflib, in one run, as megapixels per second over the whole
// corpus. Goal: at least giflib's speed; stretch: 1.5 times it.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "GiflibReference.h"
#include "UiGIF.h"

namespace {

struct TCorpus {
  std::vector<std::string> Files;
  double Pixels = 0;  // first frames, all files
  TCorpus() {
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(GIF_CORPUS_DIR, ec)) {
      if (e.path().extension() != ".gif") continue;
      std::ifstream f(e.path(), std::ios::binary);
      Files.emplace_back(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
      TUiGIFImage g;
      g.LoadFromBytes(Files.back().data(), Files.back().size());
      Pixels += static_cast<double>(g.Width()) * g.Height();
    }
  }
};

const TCorpus& Corpus() {
  static const TCorpus c;
  return c;
}

void Report(benchmark::State& state) {
  state.counters["MPixel/s"] =
      benchmark::Counter(Corpus().Pixels * static_cast<double>(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
  state.counters["files"] = static_cast<double>(Corpus().Files.size());
}

void BM_DecodeCorpusOurs(benchmark::State& state) {
  if (Corpus().Files.empty()) return state.SkipWithError("no corpus in " GIF_CORPUS_DIR);
  for (auto _ : state)
    for (const std::string& bytes : Corpus().Files) {
      TUiGIFImage g;
      g.LoadFromBytes(bytes.data(), bytes.size());
      benchmark::DoNotOptimize(g.Frames(0).Bitmap().StoredRow(0));
    }
  Report(state);
}
BENCHMARK(BM_DecodeCorpusOurs)->Unit(benchmark::kMillisecond);

void BM_DecodeCorpusGiflib(benchmark::State& state) {
  if (Corpus().Files.empty()) return state.SkipWithError("no corpus in " GIF_CORPUS_DIR);
  std::vector<giflibref::TFrame> frames;
  for (auto _ : state)
    for (const std::string& bytes : Corpus().Files) {
      giflibref::Decode(bytes, frames, 1);
      benchmark::DoNotOptimize(frames.data());
    }
  Report(state);
}
BENCHMARK(BM_DecodeCorpusGiflib)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
