// The unpacker's file as Windows reads it: one 32-bit program using only system libraries, with
// its dialog template, icon, version record and manifest.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cwctype>

#include "base/utf.h"
#include "e2e/e2e_fixture.h"

namespace ozr::e2e {
namespace {

// Reads the fields of a resource one after another.
class ResourceReader {
 public:
  ResourceReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  template <typename T>
  T Take() {
    T value{};
    if (at_ + sizeof(T) <= size_) std::memcpy(&value, data_ + at_, sizeof(T));
    at_ += sizeof(T);
    return value;
  }
  std::u16string TakeText() {
    std::u16string text;
    for (char16_t unit = Take<char16_t>(); unit != 0 && at_ <= size_; unit = Take<char16_t>()) {
      text += unit;
    }
    return text;
  }
  // A name, or an ordinal as the two units 0xFFFF and the number, or "" for none.
  std::u16string TakeNameOrOrdinal() {
    const char16_t first = Take<char16_t>();
    if (first == 0) return u"";
    if (first == kOrdinalMark) return {kOrdinalMark, Take<char16_t>()};
    at_ -= 2;
    return TakeText();
  }
  static constexpr char16_t kOrdinalMark = 0xFFFF;
  void AlignTo4() { at_ = (at_ + 3) & ~size_t{3}; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// A control's class as a lower-case name: a template may name the predefined classes by their
// ordinals (0x80 to 0x85) or spell them out.
std::u16string ClassName(std::u16string stored) {
  static const char16_t* const kPredefined[] = {u"button",  u"edit",      u"static",
                                                u"listbox", u"scrollbar", u"combobox"};
  if (stored.size() == 2 && stored[0] == ResourceReader::kOrdinalMark && stored[1] >= 0x80 &&
      stored[1] <= 0x85) {
    return kPredefined[stored[1] - 0x80];
  }
  for (char16_t& unit : stored) unit = static_cast<char16_t>(std::towlower(unit));
  return stored;
}

struct ControlTemplate {
  int id;
  std::u16string className;  // lower case; predefined classes by name, however stored
  std::u16string text;
  uint32_t style;
  int16_t x, y, cx, cy;
  bool operator==(const ControlTemplate&) const = default;
};

void PrintTo(const ControlTemplate& control, std::ostream* out) {
  *out << "control " << control.id << " " << ToUtf8(control.className) << " \""
       << ToUtf8(control.text) << "\" style 0x" << std::hex << control.style << std::dec << " at "
       << control.x << "," << control.y << " size " << control.cx << "x" << control.cy;
}

// The dialog's controls in template order (the tab order).
const ControlTemplate kExpectedControls[] = {
    {1010, u"edit", u"", 0x50A10884, 2, 4, 288, 45},
    {-1, u"static", u"Пароль к архиву:", 0x50020000, 3, 55, 63, 8},
    {1007, u"edit", u"", 0x508100A0, 84, 52, 60, 14},
    {-1, u"static", u"Распаковать в папку:", 0x50020000, 3, 72, 75, 8},
    {1004, u"edit", u"", 0x50810880, 84, 69, 189, 14},
    {1005, u"button", u"...", 0x50010000, 276, 69, 15, 14},
    {1009, u"static", u"", 0x50020000, 6, 89, 285, 8},
    {-1, u"static", u"Выберите файлы для распаковки:", 0x50020000, 6, 104, 122, 8},
    {1011, u"listbox", u"", 0x50B10901, 3, 117, 285, 57},
    {1012, u"static", u"", 0x50020000, 6, 179, 87, 8},
    {1013, u"button", u"Выбрать все", 0x50010000, 97, 176, 53, 14},
    {1006, u"button", u"Распаковать", 0x50010000, 168, 176, 60, 14},
    {1008, u"button", u"Прервать", 0x58010000, 231, 176, 60, 14},
    {1002, u"msctls_progress32", u"", 0x50800000, 3, 195, 288, 14},
    {1003, u"msctls_progress32", u"", 0x50800000, 3, 211, 288, 14},
};

class ResourcesTest : public UnpackerTest {
 protected:
  void SetUp() override {
    UnpackerTest::SetUp();
    path_ = Path(u"unpacker.exe");
    WriteBytes(path_, UnpackerBytes());
    module_ = LoadLibraryExW(Wide(path_), nullptr,
                             LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module_, nullptr);
  }
  void TearDown() override {
    if (module_ != nullptr) FreeLibrary(module_);
  }

  static const wchar_t* Wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
  }

  // The bytes of a resource in Russian; empty when there is none.
  std::vector<uint8_t> Resource(LPCWSTR type, LPCWSTR name) {
    const HRSRC found =
        FindResourceExW(module_, type, name, MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT));
    if (found == nullptr) return {};
    const auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(module_, found)));
    return {data, data + SizeofResource(module_, found)};
  }

  std::u16string path_;
  HMODULE module_ = nullptr;
};

TEST_F(ResourcesTest, DialogTemplateHasEveryControlInPlace) {
  const std::vector<uint8_t> bytes = Resource(RT_DIALOG, MAKEINTRESOURCEW(101));
  ASSERT_FALSE(bytes.empty()) << "dialog 101 in Russian";
  ResourceReader reader(bytes.data(), bytes.size());
  EXPECT_EQ(reader.Take<uint16_t>(), 1);       // extended template
  EXPECT_EQ(reader.Take<uint16_t>(), 0xFFFF);  // signature
  reader.Take<uint32_t>();                     // help ID
  EXPECT_EQ(reader.Take<uint32_t>(), 0x00040080u) << "extended style";
  EXPECT_EQ(reader.Take<uint32_t>(), 0x80C80848u) << "style";
  const uint16_t count = reader.Take<uint16_t>();
  const int16_t frame[4] = {reader.Take<int16_t>(), reader.Take<int16_t>(), reader.Take<int16_t>(),
                            reader.Take<int16_t>()};
  EXPECT_EQ(std::vector<int16_t>(frame, frame + 4), (std::vector<int16_t>{0, 0, 294, 227}));
  EXPECT_EQ(reader.TakeNameOrOrdinal(), u"") << "no menu";
  EXPECT_EQ(reader.TakeNameOrOrdinal(), u"") << "no class of its own";
  EXPECT_EQ(reader.TakeText(), u"Разархивирование");
  EXPECT_EQ(reader.Take<uint16_t>(), 8) << "point size";
  EXPECT_EQ(reader.Take<uint16_t>(), 400) << "weight";
  EXPECT_EQ(reader.Take<uint8_t>(), 0) << "not italic";
  EXPECT_EQ(reader.Take<uint8_t>(), 1) << "character set";
  EXPECT_EQ(reader.TakeText(), u"MS Shell Dlg");

  std::vector<ControlTemplate> controls;
  for (uint16_t i = 0; i < count; ++i) {
    reader.AlignTo4();
    ControlTemplate control{};
    reader.Take<uint32_t>();  // help ID
    EXPECT_EQ(reader.Take<uint32_t>(), 0u) << "no extended style";
    control.style = reader.Take<uint32_t>();
    control.x = reader.Take<int16_t>();
    control.y = reader.Take<int16_t>();
    control.cx = reader.Take<int16_t>();
    control.cy = reader.Take<int16_t>();
    control.id = reader.Take<int32_t>();
    control.className = ClassName(reader.TakeNameOrOrdinal());
    control.text = reader.TakeNameOrOrdinal();
    const uint16_t extra = reader.Take<uint16_t>();
    for (uint16_t j = 0; j < extra; ++j) reader.Take<uint8_t>();
    controls.push_back(control);
  }
  EXPECT_EQ(controls, std::vector<ControlTemplate>(std::begin(kExpectedControls),
                                                   std::end(kExpectedControls)));
}

TEST_F(ResourcesTest, IconIsOne32By32ImageOf32Bits) {
  const std::vector<uint8_t> group = Resource(RT_GROUP_ICON, MAKEINTRESOURCEW(102));
  ASSERT_EQ(group.size(), 6u + 14u) << "a group of one image";
  ResourceReader reader(group.data(), group.size());
  reader.Take<uint16_t>();
  EXPECT_EQ(reader.Take<uint16_t>(), 1) << "icon";
  EXPECT_EQ(reader.Take<uint16_t>(), 1) << "one image";
  EXPECT_EQ(reader.Take<uint8_t>(), 32) << "width";
  EXPECT_EQ(reader.Take<uint8_t>(), 32) << "height";
  reader.Take<uint16_t>();  // colour count, reserved
  reader.Take<uint16_t>();  // planes
  EXPECT_EQ(reader.Take<uint16_t>(), 32) << "bits per pixel";
}

TEST_F(ResourcesTest, VersionRecordIsRussian) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(Wide(path_), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<uint8_t> info(size);
  ASSERT_TRUE(GetFileVersionInfoW(Wide(path_), 0, size, info.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

  WORD* translation = nullptr;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translation), &length));
  ASSERT_EQ(length, 4u);
  EXPECT_EQ(translation[0], 0x0419);
  EXPECT_EQ(translation[1], 1200);

  const auto field = [&](const wchar_t* name) {
    wchar_t* value = nullptr;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\041904B0\\") + name;
    if (!VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<void**>(&value), &length)) {
      return std::u16string(u"(none)");
    }
    return std::u16string(reinterpret_cast<const char16_t*>(value));
  };
  EXPECT_EQ(field(L"FileDescription"), u"Распаковщик зашифрованных архивов");
  EXPECT_EQ(field(L"Comments"), u"Распаковщик зашифрованных архивов");
  EXPECT_EQ(field(L"FileVersion"), u"1, 0, 0, 0");
  EXPECT_EQ(field(L"ProductVersion"), u"1, 0, 0, 0");
}

TEST_F(ResourcesTest, ManifestAsksForCommonControls6AsTheInvoker) {
  const HRSRC found = FindResourceW(module_, MAKEINTRESOURCEW(1), RT_MANIFEST);
  ASSERT_NE(found, nullptr);
  const auto* data = static_cast<const char*>(LockResource(LoadResource(module_, found)));
  const std::string manifest(data, SizeofResource(module_, found));
  for (const char* part : {"name=\"Microsoft.Windows.Common-Controls\"", "version=\"6.0.0.0\"",
                           "publicKeyToken=\"6595b64144ccf1df\"", "processorArchitecture=\"X86\"",
                           "language=\"*\"", "level=\"asInvoker\"", "uiAccess=\"false\""}) {
    EXPECT_NE(manifest.find(part), std::string::npos) << part;
  }
}

// The libraries a program finds on every Windows: nothing of the compiler's runtime beside it.
TEST_F(ResourcesTest, IsOneStatic32BitProgram) {
  const std::vector<uint8_t>& image = UnpackerBytes();
  ASSERT_GT(image.size(), 0x400u);
  const auto u16 = [&](size_t at) { return uint16_t(image[at] | image[at + 1] << 8); };
  const auto u32 = [&](size_t at) { return uint32_t(u16(at) | uint32_t{u16(at + 2)} << 16); };
  const size_t pe = u32(0x3C);
  ASSERT_EQ(u32(pe), 0x00004550u) << "PE signature";
  EXPECT_EQ(u16(pe + 4), 0x14C) << "i386";
  const size_t optional = pe + 24;
  ASSERT_EQ(u16(optional), 0x10B) << "32-bit optional header";
  EXPECT_EQ(u16(optional + 68), IMAGE_SUBSYSTEM_WINDOWS_GUI);
  const size_t sections = optional + u16(pe + 20);
  const auto offsetOf = [&](uint32_t rva) -> size_t {
    for (uint16_t i = 0; i < u16(pe + 6); ++i) {
      const size_t section = sections + 40 * size_t{i};
      const uint32_t start = u32(section + 12), size = u32(section + 8);
      if (rva >= start && rva < start + size) return rva - start + u32(section + 20);
    }
    return 0;
  };
  const uint32_t imports = u32(optional + 96 + 8);
  ASSERT_NE(imports, 0u);
  std::vector<std::string> libraries;
  for (size_t entry = offsetOf(imports); entry != 0 && u32(entry + 12) != 0; entry += 20) {
    std::string name(reinterpret_cast<const char*>(image.data() + offsetOf(u32(entry + 12))));
    std::transform(name.begin(), name.end(), name.begin(), ::tolower);
    libraries.push_back(name);
  }
  const std::vector<std::string> system = {"advapi32.dll", "comctl32.dll", "comdlg32.dll",
                                           "gdi32.dll",    "kernel32.dll", "msvcrt.dll",
                                           "ole32.dll",    "shell32.dll",  "user32.dll"};
  EXPECT_FALSE(libraries.empty());
  for (const std::string& library : libraries) {
    EXPECT_NE(std::find(system.begin(), system.end(), library), system.end()) << library;
  }
}

}  // namespace
}  // namespace ozr::e2e
