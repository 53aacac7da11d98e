// Extraction speed against the in-memory baseline of the same run: zlib's uncompress of the same
// frames, one thread. Arguments: --corpus=DIR --small=DIR --work=DIR --out=DIR (a tmpfs folder),
// then the usual benchmark flags. Each corpus folder is packed once into WORK/<name>.ozr; the
// extractions write into OUT.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <atomic>
#include <cstring>
#include <iostream>

#include "bench_corpus.h"
#include "extract/extraction_job.h"

namespace ozr::bench {
namespace {

namespace fs = std::filesystem;

// Answers every question with Yes and selects every entry; draws nothing.
class HeadlessDialog : public ExtractionDialog {
 public:
  explicit HeadlessDialog(size_t entries) {
    for (size_t i = 0; i < entries; ++i) selection_.push_back(static_cast<int32_t>(i));
  }
  std::u16string ReadPassword() override { return kPassword; }
  std::vector<int32_t> SelectedIndices() override { return selection_; }
  void SetProgressRange(ControlId, uint64_t) override {}
  void SetProgressPosition(ControlId, uint64_t) override {}
  MessageAnswer ShowMessage(const Message& message) override {
    if (message.caption != u"Успех") failure = message.text;
    return kIdYes;
  }
  void SetBusy(bool) override {}
  void ResetProgress() override {}

  std::u16string failure;

 private:
  std::vector<int32_t> selection_;
};

void ZlibBaseline(benchmark::State& state, const DecryptedFrames* frames) {
  std::vector<uint8_t> out(kChunkBufferSize);
  for (auto _ : state) {
    for (const auto& stream : frames->streams) {
      uLongf length = out.size();
      if (uncompress(out.data(), &length, stream.data(), static_cast<uLong>(stream.size())) !=
          Z_OK) {
        state.SkipWithError("uncompress failed");
        return;
      }
      benchmark::DoNotOptimize(out.data());
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(frames->inflatedBytes * state.iterations()));
}

void Extraction(benchmark::State& state, const fs::path* archive, const fs::path* output) {
  ArchiveSession session;
  OpenNative(*archive, session);
  uint64_t total = 0;
  for (const auto& [index, entry] : session.catalog) total += entry.record.unpackedSize;
  auto files = NativeFileSystem();
  std::atomic<bool> abort{false};
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(*output);
    fs::create_directories(*output);
    HeadlessDialog dialog(session.catalog.size());
    state.ResumeTiming();
    const JobOutcome outcome =
        ExtractionJob(session, output->u16string() + u"/", abort, dialog, *files);
    if (outcome.end != JobEnd::kSucceeded) {
      state.SkipWithError("extraction failed");
      return;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(total * state.iterations()));
  state.counters["files"] = static_cast<double>(session.catalog.size());
}

std::string Flag(int& argc, char** argv, const std::string& name) {
  const std::string prefix = "--" + name + "=";
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], prefix.c_str(), prefix.size()) == 0) {
      std::string value = argv[i] + prefix.size();
      std::memmove(argv + i, argv + i + 1, sizeof(char*) * static_cast<size_t>(argc - i));
      --argc;
      return value;
    }
  }
  return {};
}

}  // namespace
}  // namespace ozr::bench

int main(int argc, char** argv) {
  using namespace ozr::bench;
  const fs::path corpus = Flag(argc, argv, "corpus");
  const fs::path small = Flag(argc, argv, "small");
  const fs::path work = Flag(argc, argv, "work");
  static const fs::path output = Flag(argc, argv, "out");
  if (corpus.empty() || small.empty() || work.empty() || output.empty()) {
    std::cerr << "usage: extract_bench --corpus=DIR --small=DIR --work=DIR --out=DIR "
                 "[benchmark flags]\n";
    return 2;
  }
  fs::create_directories(work);
  static const fs::path corpusArchive = work / "corpus.ozr";
  static const fs::path smallArchive = work / "small.ozr";
  PackFolderOnce(corpus, corpusArchive);
  PackFolderOnce(small, smallArchive);
  static ozr::ArchiveSession session;
  OpenNative(corpusArchive, session);
  static const DecryptedFrames frames = LoadFrames(session);

  benchmark::RegisterBenchmark("baseline/zlib_uncompress_in_memory", ZlibBaseline, &frames)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  benchmark::RegisterBenchmark("extract/corpus", Extraction, &corpusArchive, &output)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  benchmark::RegisterBenchmark("extract/5000_files", Extraction, &smallArchive, &output)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  fs::remove_all(output);
  return 0;
}
