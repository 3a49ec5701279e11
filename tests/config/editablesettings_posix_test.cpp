// The teacher's settings read from vormik.ini and written back key by key:
// golden files in Windows-1251 with CR LF, comments and unknown keys kept.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "config/editablesettings.h"
#include "tests/support/tempdir.h"

namespace {

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void Put(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string Golden(const std::string& name) {
  return Bytes(std::string(VORMIK_GOLDEN_DIR "/") + name);
}

TEST(EditableSettings, ReadsEachKeyWithItsDefaultAndMeaning) {
  struct Row {
    const char* text;
    settings::EditableSettings expected;
  } rows[] = {
      {"", {"COM1", true, false, false, false, 20}},
      {"[communication]\r\nportname=/dev/ttyUSB1\r\nReadThreadStop=2\r\nNotWaitCSFromMC=0x1\r\n"
       "[Interface]\r\nEnableToMoveDesks=7\r\nCallSound=1\r\n[Lesson]\r\nRoundSeconds=600\r\n",
       {"/dev/ttyUSB1", false, true, true, true, 600}},
      {"[Lesson]\r\nRoundSeconds=3\r\n", {"COM1", true, false, false, false, 3}},
      {"[Lesson]\r\nRoundSeconds=2\r\n", {"COM1", true, false, false, false, 20}},
      {"[Lesson]\r\nRoundSeconds=601\r\n", {"COM1", true, false, false, false, 20}},
      {"[Lesson]\r\nRoundSeconds=soon\r\n", {"COM1", true, false, false, false, 20}},
  };
  for (const Row& r : rows) {
    const settings::EditableSettings read =
        settings::ReadEditableSettings(ini::IniDocument::Parse(r.text));
    EXPECT_EQ(read.portName, r.expected.portName) << r.text;
    EXPECT_TRUE(read == r.expected) << r.text;
  }
}

TEST(EditableSettings, ChangedKeysWrittenInPlaceAndTheRestKeptByteForByte) {
  testsupport::TempDir dir;
  const std::string path = dir.File("vormik.ini");
  Put(path, Golden("settings-edited.ini"));
  const settings::EditableSettings before =
      settings::ReadEditableSettings(ini::IniDocument::Load(path));
  EXPECT_FALSE(before.polling);  // ReadThreadStop=2
  settings::EditableSettings after = before;
  after.portName = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
  after.movableDesks = true;
  after.callSound = true;
  after.roundSeconds = 45;
  ASSERT_EQ(settings::SaveChangedSettings(path, before, after), "");
  EXPECT_EQ(Bytes(path), Golden("settings-edited.ref"));
}

TEST(EditableSettings, NothingChangedLeavesTheFileAsItWas) {
  testsupport::TempDir dir;
  const std::string path = dir.File("vormik.ini");
  const std::string original = Golden("settings-untouched.ini");
  ASSERT_FALSE(original.empty());
  Put(path, original);
  const settings::EditableSettings before =
      settings::ReadEditableSettings(ini::IniDocument::Load(path));
  ASSERT_EQ(settings::SaveChangedSettings(path, before, before), "");
  EXPECT_EQ(Bytes(path), original);
}

TEST(EditableSettings, OnlyAChangedMeaningIsWritten) {
  // Each row flips one choice; the file must differ in that one line only.
  struct Row {
    const char* name;
    void (*change)(settings::EditableSettings&);
    const char* expectedLine;
  } rows[] = {
      {"polling back on", [](settings::EditableSettings& s) { s.polling = true; },
       "ReadThreadStop=0"},
      {"acknowledgements skipped",
       [](settings::EditableSettings& s) { s.skipAcknowledgements = true; }, "NotWaitCSFromMC=1"},
      {"desks fixed again", [](settings::EditableSettings& s) { s.movableDesks = false; },
       "EnableToMoveDesks=0"},
  };
  const std::string original =
      "[Communication]\r\nPortName=COM2\r\nReadThreadStop=5\r\nNotWaitCSFromMC=0\r\n"
      "[Interface]\r\nEnableToMoveDesks=3\r\n";
  for (const Row& r : rows) {
    ini::IniDocument document = ini::IniDocument::Parse(original);
    const settings::EditableSettings before = settings::ReadEditableSettings(document);
    settings::EditableSettings after = before;
    r.change(after);
    settings::WriteChangedSettings(document, before, after);
    const std::string written = document.Serialize();
    EXPECT_NE(written.find(std::string(r.expectedLine) + "\r\n"), std::string::npos) << r.name;
    // Every other line as it was.
    std::istringstream a(original), b(written);
    std::string lineA, lineB;
    int differing = 0;
    while (std::getline(a, lineA) && std::getline(b, lineB)) differing += lineA != lineB;
    EXPECT_EQ(differing, 1) << r.name;
  }
}

TEST(EditableSettings, RefusedSavesLeaveTheFileUntouched) {
  testsupport::TempDir dir;
  struct Row {
    const char* name;
    std::string portName;
    bool folderInsteadOfFile;
    const char* messageStart;
  } rows[] = {
      {"empty port", "  ", false, "Не указан порт"},
      {"line break in the port", "COM1\nX", false, "Имя порта не может"},
      {"port outside Windows-1251", "/dev/ttyUSB\xe2\x98\x83", false, "Имя порта содержит"},
      {"settings path is a folder", "COM2", true, "Файл настроек"},
  };
  for (const Row& r : rows) {
    const std::string path = dir.File(r.folderInsteadOfFile ? "folder.ini" : "vormik.ini");
    if (r.folderInsteadOfFile) {
      ASSERT_EQ(::system(("mkdir -p '" + path + "'").c_str()), 0);
    } else {
      Put(path, "[Communication]\r\nPortName=COM1\r\n");
    }
    settings::EditableSettings before;
    before.portName = "COM1";
    settings::EditableSettings after = before;
    after.portName = r.portName;
    const std::string message = settings::SaveChangedSettings(path, before, after);
    EXPECT_EQ(message.rfind(r.messageStart, 0), 0u) << r.name << ": " << message;
    if (!r.folderInsteadOfFile) {
      EXPECT_EQ(Bytes(path), "[Communication]\r\nPortName=COM1\r\n") << r.name;
    }
  }
}

}  // namespace
