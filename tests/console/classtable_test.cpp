// The class table's decisions: which row is a header, which column holds the
// names, what the preview offers and says, and how much of a file is kept.
#include <gtest/gtest.h>

#include "console/classtable.h"

using namespace console;

namespace {

using Rows = std::vector<std::vector<std::string>>;

ClassTable Table(const Rows& rows) {
  ClassTable table;
  for (const auto& row : rows) table.AddRow(row);
  return table;
}

std::vector<std::string> Names(const ClassTable& table, const TableChoice& choice) {
  std::vector<std::string> names;
  for (const TakenName& n : TakeNames(table, choice)) names.push_back(n.name);
  return names;
}

}  // namespace

TEST(ClassTable, HeaderRowsAreKnownByTheirWords) {
  const std::pair<std::vector<std::string>, bool> cases[] = {
      {{"№ п/п", "ФИО", "Дата рождения"}, true},
      {{"Ф.И.О."}, true},
      {{"ФАМИЛИЯ", "ИМЯ", "ОТЧЕСТВО"}, true},
      {{"Ученик"}, true},
      {{"Обучающийся", "Класс"}, true},
      {{"N", "Фамилия, имя"}, true},
      {{"1", "Иванов Иван", "12.03.2014"}, false},
      {{"Иванова Анна"}, false},
      {{"Имя", "5"}, false},  // a number: a student's row
      {{""}, false},
  };
  for (const auto& [row, header] : cases) {
    EXPECT_EQ(IsHeaderRow(row), header) << (row.empty() ? "" : row[0]);
  }
}

TEST(ClassTable, TheNamesColumnIsChosenByItsHeaderElseByItsWords) {
  struct Case {
    Rows rows;
    TableChoice choice;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      // The office's export: the number first, then the names.
      {{{"№ п/п", "ФИО", "Дата рождения"}, {"1", "Орлова Анна", "12.03.2014"}, {"2", "Петров Иван", "01.09.2014"}},
       {true, 1, -1},
       {"Орлова Анна", "Петров Иван"}},
      // "ФИО" first: the header is no student.
      {{{"ФИО"}, {"Орлова Анна"}, {"Петров Иван"}}, {true, 0, -1}, {"Орлова Анна", "Петров Иван"}},
      // Surname and name in two columns make "Фамилия Имя".
      {{{"№", "Имя", "Фамилия", "Отчество"}, {"1", "Анна", "Орлова", "Петровна"}, {"2", "", "Ким", ""}},
       {true, 2, 1},
       {"Орлова Анна", "Ким"}},
      // No header: the column of words, not numbers, dates or the class "5А".
      {{{"1", "5А", "Орлова Анна", "12.03.2014"}, {"2", "5А", "Петров Иван", "01.09.2014"}},
       {false, 2, -1},
       {"Орлова Анна", "Петров Иван"}},
      // A header without a name word: the wordiest column under it.
      {{{"№", "Класс", "Пол"}, {"1", "Орлова", "ж"}, {"2", "Ким", "м"}}, {true, 1, -1}, {"Орлова", "Ким"}},
      // A plain list.
      {{{"Орлова Анна"}, {"Петров Иван"}}, {false, 0, -1}, {"Орлова Анна", "Петров Иван"}},
  };
  for (const Case& c : cases) {
    const ClassTable table = Table(c.rows);
    const TableChoice guess = GuessChoice(table);
    EXPECT_EQ(guess, c.choice) << c.rows[0][0] << " " << guess.column << " " << guess.secondColumn;
    EXPECT_EQ(Names(table, guess), c.names) << c.rows[0][0];
  }
}

TEST(ClassTable, TheTeachersChoicesTakeOtherRowsAndColumns) {
  const ClassTable table = Table({{"ФИО", "Класс"}, {"Орлова Анна", "5А"}, {"Петров Иван", "5Б"}});
  struct Case {
    TableChoice choice;
    std::vector<std::string> names;
    std::string summary;
  };
  const Case cases[] = {
      {{true, 0, -1}, {"Орлова Анна", "Петров Иван"},
       "Взяты строки 2–3, столбец 1 «ФИО»; первая строка — заголовок, пропущена."},
      {{false, 0, -1}, {"ФИО", "Орлова Анна", "Петров Иван"}, "Взяты строки 1–3, столбец 1; заголовка нет."},
      {{true, 1, -1}, {"5А", "5Б"}, "Взяты строки 2–3, столбец 2 «Класс»; первая строка — заголовок, пропущена."},
      {{true, 5, -1}, {}, "В выбранном столбце нет ни одного имени; первая строка — заголовок, пропущена."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Names(table, c.choice), c.names) << c.summary;
    EXPECT_EQ(ChoiceSummary(table, c.choice), c.summary);
  }
}

TEST(ClassTable, ThePreviewOffersEachColumnAndTheSurnameNamePair) {
  const ClassTable table = Table({{"№", "Фамилия", "Имя"}, {"1", "Орлова", "Анна"}});
  const std::vector<ColumnOption> withHeader = ColumnOptions(table, true);
  ASSERT_EQ(withHeader.size(), 4u);
  EXPECT_EQ(withHeader[0].text, "столбец 2 «Фамилия» и столбец 3 «Имя»");
  EXPECT_EQ(withHeader[0].choice, (TableChoice{true, 1, 2}));
  EXPECT_EQ(withHeader[1].text, "Столбец 1 «№»");
  EXPECT_EQ(withHeader[3].choice, (TableChoice{true, 2, -1}));
  const std::vector<ColumnOption> without = ColumnOptions(table, false);
  ASSERT_EQ(without.size(), 3u);
  EXPECT_EQ(without[1].text, "Столбец 2");
  EXPECT_FALSE(without[1].choice.header);
}

TEST(ClassTable, OnlyWhatTheDesksCanUseIsKeptAndTheRestCounted) {
  ClassTable table;
  table.AddRow({"ФИО"});
  for (int i = 0; i < 40; ++i) table.AddRow({"Ученик " + std::string(i % 5 + 1, 'x'), "", ""});
  table.AddRow({"", " ", ""});  // empty rows are no rows
  table.AddRow({"Повтор"}, 1000);
  EXPECT_EQ(table.rows.size(), kMaxTableRows);
  EXPECT_EQ(table.totalRows, 1041u);
  const TableChoice choice = GuessChoice(table);
  EXPECT_EQ(TakeNames(table, choice).size(), size_t{kDeskCount});
  EXPECT_EQ(RowsLeftOut(table, choice), 1041u - 1 - kDeskCount);
  // A long cell is cut on a character, control characters become spaces.
  const std::string cell = CellText("\t" + std::string(300, 'x') + "Я");
  EXPECT_EQ(cell.size(), kMaxCellBytes);
  EXPECT_EQ(CellText(" Ан\x01на\tКим\r\n "), "Анна Ким");
  EXPECT_EQ(CellText(std::string(kMaxCellBytes - 1, 'x') + "Я"), std::string(kMaxCellBytes - 1, 'x'));
  // More columns than a list has are left out.
  table.AddRow(std::vector<std::string>(100, "a"));
  EXPECT_LE(table.Columns(), kMaxTableColumns);
}
