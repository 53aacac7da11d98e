// The extraction job itself (headless dialog) on 5000 small files, where the cost per entry shows.
// Arguments: --small=DIR --work=DIR --out=DIR (a tmpfs folder), then the usual benchmark flags.
// The folder is packed once into WORK/small.ozr; the extractions write into OUT.
#include <benchmark/benchmark.h>

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
  const fs::path small = Flag(argc, argv, "small");
  const fs::path work = Flag(argc, argv, "work");
  static const fs::path output = Flag(argc, argv, "out");
  if (small.empty() || work.empty() || output.empty()) {
    std::cerr << "usage: extract_bench --small=DIR --work=DIR --out=DIR [benchmark flags]\n";
    return 2;
  }
  fs::create_directories(work);
  static const fs::path smallArchive = work / "small.ozr";
  PackFolderOnce(small, smallArchive);
  benchmark::RegisterBenchmark("extract/5000_files", Extraction, &smallArchive, &output)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  fs::remove_all(output);
  return 0;
}
