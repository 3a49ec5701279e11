// Class lists from spreadsheets: .xlsx and .ods written here with zlib, the
// .xls fixture (and LibreOffice's own .xlsx and .ods of the same list) read
// into the same names, and hostile files refused with a reason.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/classtable.h"
#include "sheets/classlistfile.h"
#if VORMIK_SHEETS_ZIP
#include "sheets/spreadsheet.h"
#include "tests/sheets/zipwriter.h"
#endif

using console::ClassTable;
using sheets::ReadClassListBytes;

namespace {

using Rows = std::vector<std::vector<std::string>>;

std::vector<std::string> GuessedNames(const ClassTable& table) {
  std::vector<std::string> names;
  for (const console::TakenName& n : console::TakeNames(table, console::GuessChoice(table)))
    names.push_back(n.name);
  return names;
}

const Rows kOfficeList = {
    {"№ п/п", "Фамилия", "Имя", "Дата рождения"},
    {"1", "Орлова", "Анна", "12.03.2014"},
    {"2", "Петров", "Иван", "01.09.2014"},
    {"3", "Ёлкин", "Глеб", "23.11.2013"},
};
const std::vector<std::string> kOfficeNames = {"Орлова Анна", "Петров Иван", "Ёлкин Глеб"};

}  // namespace

#if VORMIK_SHEETS_ZIP

TEST(Sheets, XlsxWithSharedAndInlineStringsGivesTheNames) {
  for (bool shared : {true, false}) {
    const sheets::ClassListFile file = ReadClassListBytes("5А.xlsx", testzip::Xlsx(kOfficeList, shared));
    ASSERT_EQ(file.problem, "") << shared;
    EXPECT_EQ(file.table.rows, kOfficeList) << shared;
    EXPECT_EQ(GuessedNames(file.table), kOfficeNames) << shared;
  }
}

TEST(Sheets, XlsxKeepsWhatTheDesksCanUseAndCountsTheRest) {
  Rows rows = {{"ФИО"}};
  for (int i = 1; i <= 300; ++i) {
    std::string name = "Ученица ";
    for (int k = 0; k <= i % 7; ++k) name += "Ня";
    rows.push_back({name});
  }
  const sheets::ClassListFile file = ReadClassListBytes("big.xlsx", testzip::Xlsx(rows));
  ASSERT_EQ(file.problem, "");
  EXPECT_EQ(file.table.rows.size(), console::kMaxTableRows);
  EXPECT_EQ(file.table.totalRows, 301u);
  EXPECT_EQ(console::RowsLeftOut(file.table, console::GuessChoice(file.table)), 300u - kDeskCount);
}

TEST(Sheets, OdsWithRepeatedRowsCellsAndCommentsGivesTheNames) {
  const std::string body =
      "<table:table table:name=\"5А\">"
      "<table:table-row><table:table-cell><text:p>ФИО</text:p></table:table-cell>"
      "<table:table-cell table:number-columns-repeated=\"2\"/>"
      "<table:table-cell><text:p>Класс</text:p></table:table-cell></table:table-row>"
      "<table:table-row table:number-rows-repeated=\"3\"><table:table-cell table:number-columns-repeated=\"1000\"/></table:table-row>"
      "<table:table-row><table:table-cell><text:p>Орлова<text:s/>Анна</text:p>"
      "<office:annotation><text:p>болеет</text:p></office:annotation></table:table-cell>"
      "<table:table-cell table:number-columns-repeated=\"2\"/>"
      "<table:table-cell office:value-type=\"string\"><text:p>5А</text:p></table:table-cell></table:table-row>"
      "<table:table-row><table:table-cell><text:p>Петров</text:p><text:p>Иван</text:p></table:table-cell></table:table-row>"
      "<table:table-row table:number-rows-repeated=\"1000000\"><table:table-cell table:number-columns-repeated=\"1024\"/></table:table-row>"
      "</table:table>"
      "<table:table table:name=\"второй\"><table:table-row><table:table-cell><text:p>Чужой</text:p>"
      "</table:table-cell></table:table-row></table:table>";
  const sheets::ClassListFile file = ReadClassListBytes("5А.ods", testzip::Ods(body));
  ASSERT_EQ(file.problem, "");
  const Rows expected = {{"ФИО", "", "", "Класс"}, {"Орлова Анна", "", "", "5А"}, {"Петров Иван"}};
  EXPECT_EQ(file.table.rows, expected);
  EXPECT_EQ(GuessedNames(file.table), (std::vector<std::string>{"Орлова Анна", "Петров Иван"}));
}

TEST(Sheets, OfficeFilesOfTheSameListReadAlike) {
  for (const char* name : {"class.xls", "libreoffice.xlsx", "libreoffice.ods"}) {
    const sheets::ClassListFile file =
        sheets::ReadClassListFile(std::string(VORMIK_SHEET_FIXTURES "/") + name);
#if !VORMIK_SHEETS_XLS
    if (std::string(name) == "class.xls") {
      EXPECT_NE(file.problem.find("эта сборка не читает таблицы .xls"), std::string::npos);
      continue;
    }
#endif
    ASSERT_EQ(file.problem, "") << name;
    ASSERT_EQ(file.table.rows.size(), 4u) << name;
    EXPECT_EQ(file.table.rows[0], kOfficeList[0]) << name;
    EXPECT_EQ(file.table.rows[1][1], "Орлова") << name;
    EXPECT_EQ(GuessedNames(file.table), kOfficeNames) << name;
  }
}

// Each hostile file is refused with the reason's words; the bench times them.
TEST(Sheets, HostileFilesAreRefusedWithAReason) {
  const std::string bomb(sheets::kMaxSheetXmlBytes + 1024, ' ');
  std::string deep;
  for (int i = 0; i < 200; ++i) deep += "<a>";
  const std::string laughs =
      "<?xml version=\"1.0\"?><!DOCTYPE w [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]>"
      "<worksheet><sheetData><row><c t=\"inlineStr\"><is><t>&b;</t></is></c></row></sheetData></worksheet>";
  auto xlsxWithSheet = [](const std::string& sheet, bool deflate = true) {
    return testzip::Zip({{"xl/workbook.xml", "<workbook/>"},
                         {"xl/worksheets/sheet1.xml", sheet, deflate}});
  };
  std::string shortened = testzip::Xlsx(kOfficeList);
  shortened.resize(shortened.size() / 2);
  std::string outside = testzip::Xlsx(kOfficeList);
  outside[outside.size() - 6] = '\x7F';  // the directory's offset far past the end
  std::string cutStream = xlsxWithSheet(std::string(4000, 'x'));
  const size_t data = cutStream.find("sheet1.xml") + 10;
  cutStream[data + 3] ^= 0x55;
  const std::pair<std::string, std::string> cases[] = {
      {xlsxWithSheet("<worksheet><sheetData>" + bomb), "слишком большой"},
      {xlsxWithSheet("<worksheet><sheetData><row><c><v>1</v></row>"), "XML испорчен"},
      {xlsxWithSheet("<worksheet>" + deep), "вложенность"},
      {xlsxWithSheet(laughs), "DTD"},
      {shortened, "архив таблицы испорчен"},
      {outside, "архив таблицы испорчен"},
      {cutStream, "испорчен"},
      {testzip::Zip({{"xl/workbook.xml", "<workbook/>"}}), "нет части xl/worksheets/sheet1.xml"},
      {testzip::Zip({{"xl/workbook.xml", "<workbook/>", true, 1},
                     {"xl/worksheets/sheet1.xml", "<worksheet/>", true, 1}}),
       "архив испорчен"},
      {testzip::Zip({{"word/document.xml", "<w/>"}}), "не таблица"},
      {testzip::Ods("<table:table>" + deep), "вложенность"},
  };
  for (const auto& [bytes, reason] : cases) {
    const sheets::ClassListFile file = ReadClassListBytes("x.xlsx", bytes);
    EXPECT_NE(file.problem.find(reason), std::string::npos) << file.problem << " / " << reason;
    EXPECT_EQ(file.problem.rfind("Список класса из файла «x.xlsx» не прочитан: ", 0), 0u);
    EXPECT_TRUE(file.table.rows.empty());
  }
}

TEST(Sheets, ZipEntriesStopAtTheLimitAndAtTheReadersWish) {
  const std::string text(100000, 'a');
  for (bool deflate : {true, false}) {
    const std::string bytes = testzip::Zip({{"a", text, deflate}});
    sheets::ZipArchive zip;
    ASSERT_TRUE(zip.Open(bytes));
    std::string all;
    EXPECT_EQ(zip.ReadAll("a", text.size(), all), sheets::ZipStatus::Ok);
    EXPECT_EQ(all, text);
    EXPECT_EQ(zip.ReadAll("a", text.size() - 1, all), sheets::ZipStatus::TooLarge);
    EXPECT_EQ(zip.ReadAll("b", text.size(), all), sheets::ZipStatus::Missing);
    size_t pieces = 0;
    EXPECT_EQ(zip.Read("a", text.size(), [&](std::string_view) { return ++pieces < 2; }),
              sheets::ZipStatus::Stopped);
    EXPECT_EQ(pieces, 2u);
  }
}

#if VORMIK_SHEETS_XLS
TEST(Sheets, XlsDeclaringAHugeSheetIsRefusedBeforeFreexlReservesIt) {
  std::string bytes;
  ASSERT_EQ(sheets::ReadClassListFile(VORMIK_SHEET_FIXTURES "/class.xls").problem, "");
  FILE* f = std::fopen(VORMIK_SHEET_FIXTURES "/class.xls", "rb");
  ASSERT_NE(f, nullptr);
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) bytes.append(buffer, n);
  std::fclose(f);
  EXPECT_LE(sheets::DeclaredXlsCells(bytes), 64u);
  const size_t at = bytes.find(std::string("\x00\x02\x0E\x00", 4));
  ASSERT_NE(at, std::string::npos);
  bytes[at + 10] = '\x10';  // a million rows and more
  EXPECT_GT(sheets::DeclaredXlsCells(bytes), sheets::kMaxXlsCells);
  const sheets::ClassListFile file = ReadClassListBytes("x.xls", bytes);
  EXPECT_NE(file.problem.find("слишком большой"), std::string::npos) << file.problem;
}
#endif

#else  // no zlib and expat in this build

TEST(Sheets, SpreadsheetsAreRefusedWithAPlainMessage) {
  const std::string xlsx("PK\x03\x04 xl/workbook.xml", 20);
  const std::string xls("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1 ", 9);
  EXPECT_NE(ReadClassListBytes("5А.xlsx", xlsx).problem.find("сохраните список в CSV"),
            std::string::npos);
  EXPECT_NE(ReadClassListBytes("5А.xls", xls).problem.find("CSV"), std::string::npos);
}

#endif

TEST(Sheets, TextFilesInBothCodePagesAndSeparatorsReadAlike) {
  const std::string utf8 = "№ п/п;Фамилия;Имя;Дата рождения\r\n1;Орлова;Анна;12.03.2014\r\n"
                           "2;Петров;Иван;01.09.2014\r\n3;Ёлкин;Глеб;23.11.2013\r\n";
  std::string comma = utf8;
  for (char& c : comma) c = c == ';' ? ',' : c;
  // Windows-1251 of the same text, written out by hand so that the test
  // does not lean on the decoder it checks.
  const std::string cp1251 =
      "\xB9 \xEF/\xEF;\xD4\xE0\xEC\xE8\xEB\xE8\xFF;\xC8\xEC\xFF;\xC4\xE0\xF2\xE0 "
      "\xF0\xEE\xE6\xE4\xE5\xED\xE8\xFF\r\n1;\xCE\xF0\xEB\xEE\xE2\xE0;\xC0\xED\xED\xE0;12.03.2014\r\n"
      "2;\xCF\xE5\xF2\xF0\xEE\xE2;\xC8\xE2\xE0\xED;01.09.2014\r\n"
      "3;\xA8\xEB\xEA\xE8\xED;\xC3\xEB\xE5\xE1;23.11.2013\r\n";
  for (const std::string& bytes : {utf8, "\xEF\xBB\xBF" + utf8, comma, cp1251}) {
    const sheets::ClassListFile file = ReadClassListBytes("5А.csv", bytes);
    ASSERT_EQ(file.problem, "");
    EXPECT_EQ(file.table.rows, kOfficeList) << bytes;
    EXPECT_EQ(GuessedNames(file.table), kOfficeNames) << bytes;
  }
}
