// The base of every end-to-end test: a fresh folder of its own, archives written there by the
// writer (plain or self-extracting), and checks of the dialog's idle and busy states.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "e2e/unpacker_run.h"
#include "pack/archive_writer.h"

namespace ozr::e2e {

// Files as the tests check them.
std::optional<std::vector<uint8_t>> ReadBytes(const std::u16string& path);
void WriteBytes(const std::u16string& path, const std::vector<uint8_t>& bytes);
void MakeFolder(const std::u16string& path);
bool Exists(const std::u16string& path);
// The names in a folder, sorted; each sub-folder's files as "folder\name".
std::vector<std::u16string> FilesUnder(const std::u16string& folder);

class UnpackerTest : public ::testing::Test {
 protected:
  void SetUp() override;

  // The test's own folder, emptied at the start; no final "\".
  const std::u16string& Folder() const { return folder_; }
  std::u16string Path(const std::u16string& relative) const { return folder_ + u"\\" + relative; }

  // Writes the archive behind a copy of the unpacker: a self-extracting archive. Returns its path.
  std::u16string WriteSelfExtracting(const std::u16string& name,
                                     const std::vector<PackEntry>& entries,
                                     const PackOptions& options);
  // Writes an archive file of its own. Returns its path.
  std::u16string WriteArchiveFile(const std::u16string& name, const std::vector<PackEntry>& entries,
                                  const PackOptions& options);
  // A plain copy of the unpacker, with no archive behind it. Returns its path.
  std::u16string CopyUnpacker(const std::u16string& name);

  static const std::vector<uint8_t>& UnpackerBytes();

 private:
  std::u16string folder_;
};

// The idle state: every control enabled but abort. `passwordEnabled` is false only before the
// first extraction of an archive stored without encryption.
void ExpectIdle(UnpackerRun& run, bool passwordEnabled = true);
// The busy state: password, browse, list, extract and select all disabled; abort enabled; the
// texts, destination and bars never disabled.
void ExpectBusy(UnpackerRun& run);
// Waits until the dialog is idle again after a job.
void WaitIdle(UnpackerRun& run);
// Both progress bars at range 0..1, position 0.
void ExpectBarsReset(UnpackerRun& run);

// A message box with this text and caption, modal to `owner` (null: a box without owner).
void ExpectMessage(const SeenMessage& message, const std::u16string& text,
                   const std::u16string& caption, HWND owner);

// Selects every entry, types the password, sets the destination and presses the extract button.
void StartExtraction(UnpackerRun& run, const std::u16string& password,
                     const std::u16string& destination);

// The writer's entry from content in memory.
PackEntry Entry(std::u16string name, std::vector<uint8_t> bytes);

}  // namespace ozr::e2e
