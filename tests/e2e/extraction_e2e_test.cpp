// Extraction as the user drives it: select all, password, destination, extract; the busy state,
// the questions (overwrite, unsafe name, abort, close) and their answers; the files on disk.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>

#include "base/control_ids.h"
#include "base/fill_in.h"
#include "base/texts.h"
#include "e2e/e2e_fixture.h"
#include "e2e/window_probe.h"
#include "support/test_archives.h"

namespace ozr::e2e {
namespace {

using testing::Bytes;
using testing::MixedContent;
using testing::NoiseContent;

constexpr char16_t kPassword[] = u"секрет";

// An archive whose second entry takes seconds to extract under Wine: time enough to ask and
// answer a question while it is written. Small frames make the job slow (each costs a read, a
// decryption, an inflation and a write) while the writer stays quick.
struct LongArchive {
  std::vector<uint8_t> first = MixedContent(50000, 4);
  std::vector<uint8_t> large = MixedContent(40u << 20, 5);
  std::vector<PackEntry> entries = {Entry(u"first.txt", first), Entry(u"large.bin", large)};
};

const LongArchive& Long() {
  static const LongArchive archive;
  return archive;
}

constexpr uint32_t kLongArchiveFrame = 500;

// Entry names (as the file system lists them under the destination) to their content.
using Expected = std::map<std::u16string, std::vector<uint8_t>>;

void ExpectFiles(const std::u16string& folder, const Expected& expected) {
  std::vector<std::u16string> names;
  for (const auto& [name, bytes] : expected) names.push_back(name);
  EXPECT_EQ(FilesUnder(folder), names) << "no other file, no temporary file";
  for (const auto& [name, bytes] : expected) {
    EXPECT_EQ(ReadBytes(folder + name), bytes) << "content of an extracted file";
  }
}

// The first selected entry runs long enough for a question to be asked and answered meanwhile;
// waits until its frames are being written.
void WaitInsideLargeEntry(UnpackerRun& run, int largeIndex) {
  EXPECT_TRUE(WaitUntil([&] {
    return ProgressOf(run.Control(kProgressEntries)).position == largeIndex + 1 &&
           ProgressOf(run.Control(kProgressBytes)).position > 0;
  })) << "the large entry never started";
}

class ExtractionTest : public UnpackerTest {
 protected:
  // Writes a self-extracting archive of `entries`, starts it and waits for its dialog.
  UnpackerRun& Start(const std::vector<PackEntry>& entries, bool encrypted = true) {
    const PackOptions options = encrypted ? testing::EncryptedOptions(kPassword, u"Архив")
                                          : testing::PlainOptions(u"Архив");
    return Run(WriteSelfExtracting(u"архив.exe", entries, options));
  }
  // The same with the long archive, written once for all tests.
  UnpackerRun& StartLong() {
    static const std::vector<uint8_t> sfx = [] {
      testing::CraftedOptions options = testing::EncryptedOptions(kPassword, u"Долгий архив");
      options.frameContent = kLongArchiveFrame;
      return testing::WriteArchiveToMemory(Long().entries, options, UnpackerBytes());
    }();
    WriteBytes(Path(u"долгий.exe"), sfx);
    return Run(Path(u"долгий.exe"));
  }
  UnpackerRun& Run(const std::u16string& exe) {
    destination_ = Path(u"вывод\\");
    MakeFolder(destination_);
    run_.emplace(exe, Folder());
    EXPECT_NE(run_->WaitDialog(), nullptr);
    return *run_;
  }
  const std::u16string& Destination() const { return destination_; }
  HWND Dialog() { return run_->WaitDialog(); }

  // Expects the success message, answers it and waits for the idle state.
  void ExpectSuccess() {
    const SeenMessage success = run_->WaitMessage();
    ExpectMessage(success, text::kExtractionSucceeded, text::kCaptionSuccess, Dialog());
    ExpectBarsReset(*run_);
    run_->Answer(success, IDOK);
    WaitIdle(*run_);
  }

 private:
  std::u16string destination_;
  std::optional<UnpackerRun> run_;
};

TEST_F(ExtractionTest, ExtractsEveryEntryByteForByteAfterOverwriting) {
  const Expected expected = {
      {u"readme.txt", Bytes("Новый текст.\r\n")},
      {u"noise.bin", NoiseContent(200000, 1)},
      {u"папка\\вложенная\\данные.bin", MixedContent(700000, 2)},
  };
  UnpackerRun& run =
      Start({Entry(u"readme.txt", expected.at(u"readme.txt")),
             Entry(u"папка\\вложенная\\данные.bin", expected.at(u"папка\\вложенная\\данные.bin")),
             Entry(u"noise.bin", expected.at(u"noise.bin"))});
  WriteBytes(Destination() + u"readme.txt", Bytes("Старый текст."));

  StartExtraction(run, kPassword, Destination());
  // The question holds the job: the busy state can be looked at in peace.
  const SeenMessage question = run.WaitMessage();
  ExpectMessage(question, FillIn(text::kFileExists, Destination() + u"readme.txt"),
                text::kCaptionError, Dialog());
  EXPECT_EQ(question.buttons, (std::vector<int>{IDYES, IDNO}));
  ExpectBusy(run);
  EXPECT_EQ(ProgressOf(run.Control(kProgressEntries)), (Progress{0, 3, 1}));
  run.Answer(question, IDYES);

  ExpectSuccess();
  ExpectIdle(run);
  ExpectBarsReset(run);
  ExpectFiles(Destination(), expected);
}

TEST_F(ExtractionTest, OverwriteAnsweredNoKeepsTheExistingFile) {
  UnpackerRun& run = Start({Entry(u"a.txt", Bytes("новое a")), Entry(u"b.txt", Bytes("новое b"))});
  WriteBytes(Destination() + u"a.txt", Bytes("старое a"));

  StartExtraction(run, kPassword, Destination());
  const SeenMessage question = run.WaitMessage();
  EXPECT_EQ(question.text, FillIn(text::kFileExists, Destination() + u"a.txt"));
  run.Answer(question, IDNO);
  ExpectSuccess();
  ExpectFiles(Destination(), {{u"a.txt", Bytes("старое a")}, {u"b.txt", Bytes("новое b")}});
}

TEST_F(ExtractionTest, WrongPasswordStopsWithoutLeavingAFile) {
  UnpackerRun& run = Start({Entry(u"данные.bin", MixedContent(400000, 3))});
  StartExtraction(run, u"неверный", Destination());

  const SeenMessage message = run.WaitMessage();
  // Which check notices a wrong key first depends on the key: the padding or the frame's sum.
  EXPECT_TRUE(message.text == text::kDecryptFailed || message.text == text::kFrameSumMismatch)
      << "unexpected message";
  EXPECT_EQ(message.caption, text::kCaptionErrorBang);
  EXPECT_EQ(message.owner, Dialog());
  run.Answer(message, IDOK);
  WaitIdle(run);
  ExpectIdle(run);
  ExpectBarsReset(run);
  ExpectFiles(Destination(), {});
}

TEST_F(ExtractionTest, EmptyPasswordIsRefusedBeforeAnythingStarts) {
  UnpackerRun& run = Start({Entry(u"a.txt", Bytes("a"))});
  StartExtraction(run, u"", Destination());
  const SeenMessage message = run.WaitMessage();
  EXPECT_EQ(message.text, text::kEnterPassword);
  EXPECT_EQ(message.caption, text::kCaptionError);
  run.Answer(message, IDOK);
  WaitIdle(run);
  ExpectFiles(Destination(), {});
}

TEST_F(ExtractionTest, AbortConfirmedDuringALargeEntryKeepsTheEarlierOnes) {
  UnpackerRun& run = StartLong();
  StartExtraction(run, kPassword, Destination());
  WaitInsideLargeEntry(run, 1);

  Click(run.Control(kAbortButton));
  const SeenMessage question = run.WaitMessage();
  ExpectMessage(question, text::kAbortQuestion, text::kCaptionConfirm, Dialog());
  EXPECT_EQ(question.buttons, (std::vector<int>{IDYES, IDNO}));
  run.Answer(question, IDYES);

  WaitIdle(run);
  EXPECT_FALSE(run.FindMessage().has_value()) << "an abort shows no message";
  ExpectIdle(run);
  ExpectBarsReset(run);
  ExpectFiles(Destination(), {{u"first.txt", Long().first}});
}

TEST_F(ExtractionTest, AbortAnsweredNoChangesNothing) {
  UnpackerRun& run = StartLong();
  StartExtraction(run, kPassword, Destination());
  WaitInsideLargeEntry(run, 1);

  Click(run.Control(kAbortButton));
  const SeenMessage question = run.WaitMessage();
  EXPECT_EQ(question.text, text::kAbortQuestion);
  run.Answer(question, IDNO);
  ExpectBusy(run);
  ExpectSuccess();
  ExpectFiles(Destination(), {{u"first.txt", Long().first}, {u"large.bin", Long().large}});
}

TEST_F(ExtractionTest, ClosingWhileBusyIsRefusedAndTheExtractionGoesOn) {
  UnpackerRun& run = StartLong();
  StartExtraction(run, kPassword, Destination());
  WaitInsideLargeEntry(run, 1);

  PostMessageW(Dialog(), WM_CLOSE, 0, 0);
  const SeenMessage warning = run.WaitMessage();
  ExpectMessage(warning, text::kFinishFirst, text::kCaptionError, Dialog());
  EXPECT_EQ(warning.buttons, (std::vector<int>{IDOK}));
  run.Answer(warning, IDOK);
  EXPECT_TRUE(IsWindowVisible(Dialog()));

  ExpectSuccess();
  ExpectFiles(Destination(), {{u"first.txt", Long().first}, {u"large.bin", Long().large}});
  PostMessageW(Dialog(), WM_CLOSE, 0, 0);
  EXPECT_EQ(run.WaitExit(), 0u);
}

TEST_F(ExtractionTest, UnsafeNameAnsweredNoSkipsOnlyThatEntry) {
  UnpackerRun& run = Start({Entry(u"..\\вне.txt", Bytes("вне")), Entry(u"внутри.txt", Bytes("в"))});
  StartExtraction(run, kPassword, Destination());
  const SeenMessage question = run.WaitMessage();
  ExpectMessage(question, FillIn(text::kUnsafeEntryName, u"..\\вне.txt"), text::kCaptionError,
                Dialog());
  run.Answer(question, IDNO);
  ExpectSuccess();
  ExpectFiles(Destination(), {{u"внутри.txt", Bytes("в")}});
  EXPECT_FALSE(Exists(Path(u"вне.txt")));
}

TEST_F(ExtractionTest, UnsafeNameAnsweredYesStopsTheJob) {
  UnpackerRun& run = Start({Entry(u"..\\вне.txt", Bytes("вне")), Entry(u"внутри.txt", Bytes("в"))});
  StartExtraction(run, kPassword, Destination());
  run.Answer(run.WaitMessage(), IDYES);
  WaitIdle(run);
  EXPECT_FALSE(run.FindMessage().has_value());
  ExpectBarsReset(run);
  ExpectFiles(Destination(), {});
  EXPECT_FALSE(Exists(Path(u"вне.txt")));
}

TEST_F(ExtractionTest, UnencryptedArchiveEnablesThePasswordOnlyAfterItsFirstExtraction) {
  UnpackerRun& run = Start({Entry(u"открыто.txt", Bytes("без пароля"))}, false);
  ExpectIdle(run, false);
  StartExtraction(run, u"", Destination());
  ExpectSuccess();
  ExpectIdle(run, true);
  ExpectFiles(Destination(), {{u"открыто.txt", Bytes("без пароля")}});
}

// scripts/e2e packs a folder with `ozr pack --sfx` and signs the result with osslsigncode; the
// folder named by OZR_E2E_SIGNED holds signed.exe and the packed folder, source\.
TEST_F(ExtractionTest, SignedSelfExtractingArchiveOpensItselfAndExtracts) {
  const wchar_t* prepared = _wgetenv(L"OZR_E2E_SIGNED");
  ASSERT_NE(prepared, nullptr) << "OZR_E2E_SIGNED is not set (scripts/e2e sets it)";
  const std::wstring wide(prepared);
  const std::u16string folder(wide.begin(), wide.end());
  const std::optional<std::vector<uint8_t>> signedExe = ReadBytes(folder + u"\\signed.exe");
  ASSERT_TRUE(signedExe.has_value());
  WriteBytes(Path(u"подписан.exe"), *signedExe);

  UnpackerRun& run = Run(Path(u"подписан.exe"));
  EXPECT_EQ(TextOf(Dialog()), u"Подписанный архив");
  StartExtraction(run, u"подпись", Destination());
  ExpectSuccess();
  const std::vector<std::u16string> names = FilesUnder(folder + u"\\source");
  EXPECT_EQ(FilesUnder(Destination() + u"source"), names);
  for (const std::u16string& name : names) {
    EXPECT_EQ(ReadBytes(Destination() + u"source\\" + name),
              ReadBytes(folder + u"\\source\\" + name));
  }
}

}  // namespace
}  // namespace ozr::e2e
