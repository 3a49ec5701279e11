// The teacher panel and the all-desks toolbar as designed.
#include "app/bottompanels.h"

#include "app/consolecommands.h"
#include "app/controldescriber.h"
#include "app/lessonkeys.h"
#include "resources/glyphs.h"

namespace {

constexpr int kSettingsImage = 10;  // the key

// A click runs the shared command; the button keeps its own look and hint.
void RunsCommand(QAbstractButton* button, QAction* command) {
  QObject::connect(button, &QAbstractButton::clicked, command, [command] { command->trigger(); });
}

}  // namespace

TeacherPanel::TeacherPanel(const ConsoleCommands& commands, QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("Panel1"));
  setFrameShape(QFrame::NoFrame);
  setGeometry(8, 451, 345, 45);
  // A click on a bottom panel is not a click on the plan.
  setAttribute(Qt::WA_NoMousePropagation);

  label = new QLabel(QStringLiteral("----------------- Учитель ----------------"), this);
  label->setObjectName(QStringLiteral("Label1"));
  label->move(176, 0);
  label->adjustSize();

  struct TeacherButton {
    GlyphButton** field;
    const char* name;
    int left, width, groupIndex;
    const char* caption;
    const char* hint;
    glyphs::Glyph glyph;
    Command command;
  };
  const TeacherButton buttons[] = {
      {&inputToLineButton, "SpeedButton51", 8, 110, 5, "Вход->Линия", "Подключить ВХОД к ЛИНИИ",
       glyphs::Glyph::LoudspeakerWaves, Command::InputToLine},
      {&inputButton, "SpeedButton49", 166, 75, 3, "Вход", "Слушать ВХОД",
       glyphs::Glyph::Headphones, Command::Input},
      {&lineButton, "SpeedButton50", 248, 87, 4, "Линия", "Говорить в ЛИНИЮ",
       glyphs::Glyph::Microphone, Command::TeacherLine},
  };
  for (const TeacherButton& b : buttons) {
    auto* button = new GlyphButton(b.groupIndex, true, this);
    button->setObjectName(QString::fromLatin1(b.name));
    button->setGeometry(b.left, 17, b.width, 25);
    button->setText(QString::fromUtf8(b.caption));
    button->setToolTip(QString::fromUtf8(b.hint));
    button->setIcon(glyphs::ButtonGlyph(b.glyph));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    RunsCommand(button, commands[b.command]);
    *b.field = button;
  }
}

void TeacherPanel::Draw(const console::TeacherDisplay& shown) {
  inputButton->setChecked(shown.inputDown);
  lineButton->setChecked(shown.lineDown);
  inputToLineButton->setChecked(shown.inputToLineDown);
}

AllDesksBar::AllDesksBar(const ConsoleCommands& commands, const QList<QIcon>& images,
                         QWidget* parent)
    : QFrame(parent) {
  setObjectName(QStringLiteral("Panel2"));
  setFrameShape(QFrame::NoFrame);
  setGeometry(365, 451, 336, 46);
  setAttribute(Qt::WA_NoMousePropagation);

  label = new QLabel(QStringLiteral("--------- Все столы ----------"), this);
  label->setObjectName(QStringLiteral("Label2"));
  label->move(8, 0);
  label->adjustSize();

  toolbar = new QWidget(this);
  toolbar->setObjectName(QStringLiteral("ToolBar1"));
  toolbar->setGeometry(0, 13, 336, 37);

  auto button = [&](const char* name, int left, const char* hint, int image, Command command) {
    auto* b = new QToolButton(toolbar);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(left, 0, 32, 25);
    b->setToolTip(QString::fromUtf8(hint));
    b->setIcon(images.value(image));
    b->setIconSize(QSize(16, 16));
    b->setAutoRaise(true);
    // Tab reaches it; a click leaves the focus where it was.
    b->setFocusPolicy(Qt::TabFocus);
    RunsCommand(b, commands[command]);
    return b;
  };
  auto gapAt = [this](const char* name, int left, int width) {
    auto* s = new QWidget(toolbar);
    s->setObjectName(QString::fromLatin1(name));
    s->setGeometry(left, 0, width, 25);
    return s;
  };
  resetButton = button("ToolButton2", 0, "Сброс", 15, Command::ResetAll);
  allToLineButton = button("ToolButton4", 32, "Подключить все столы к ЛИНИИ", 19, Command::AllToLine);
  allInPairsButton = button("ToolButton6", 64, "Подключить все столы в ПАРЫ", 2, Command::AllInPairs);
  allLedsOffButton = button("ToolButton8", 96, "Выключить все светодиоды", 5, Command::AllLedsOff);
  gap = gapAt("ToolButton9", 128, 25);
  saveAsButton = button("ToolButton17", 153, "Сохранить как", 18, Command::SaveAs);
  openButton = button("ToolButton14", 185, "Открытие файла", 16, Command::Open);
  standardClassroomButton =
      button("ToolButton12", 217, "Создать стандартный кабинет", 13, Command::StandardClassroom);
  saveButton = button("ToolButton10", 249, "Сохранить в файл", 12, Command::Save);
  endGap = gapAt("ToolButton15", 281, 16);
  exitButton = button("ToolButton16", 297, "Выход из программы", 17, Command::Exit);
  // Kept with its command, but out of the user's reach: the window's own
  // close button exits.
  exitButton->hide();
  // Where the hidden exit button would stand.
  settingsButton = button("SettingsButton", 297, "Настройки… (Ctrl+,)", kSettingsImage, Command::Settings);
}

void TeacherPanel::DescribeControls(ControlDescriber& keys) {
  keys.Describe(inputToLineButton, QStringLiteral("Вход->Линия"),
                QStringLiteral("Подключить ВХОД к ЛИНИИ."), KeyText(KeyCommand::InputToLine));
  keys.Describe(inputButton, QStringLiteral("Вход"), QStringLiteral("Слушать ВХОД."),
                KeyText(KeyCommand::Input));
  keys.Describe(lineButton, QStringLiteral("Линия"), QStringLiteral("Говорить в ЛИНИЮ."),
                KeyText(KeyCommand::TeacherLine));
}

void AllDesksBar::DescribeControls(ControlDescriber& keys) {
  keys.Describe(resetButton, QStringLiteral("Сброс"), QStringLiteral("Сбросить все столы."),
                KeyText(KeyCommand::ResetAll));
  keys.Describe(allToLineButton, QStringLiteral("Все столы к линии"),
                QStringLiteral("Подключить все столы к ЛИНИИ."), KeyText(KeyCommand::AllToLine));
  keys.Describe(allInPairsButton, QStringLiteral("Все столы в пары"),
                QStringLiteral("Подключить все столы в ПАРЫ."), KeyText(KeyCommand::AllInPairs));
  keys.Describe(allLedsOffButton, QStringLiteral("Выключить все светодиоды"),
                QStringLiteral("Выключить светодиоды всех столов."), KeyText(KeyCommand::AllLedsOff));
  keys.Describe(saveAsButton, QStringLiteral("Сохранить как"),
                QStringLiteral("Сохранить кабинет в файл."), KeyText(KeyCommand::SaveAs));
  keys.Describe(openButton, QStringLiteral("Открыть"),
                QStringLiteral("Открыть файл кабинета."), QStringLiteral("Ctrl+O"));
  keys.Describe(standardClassroomButton, QStringLiteral("Стандартный кабинет"),
                QStringLiteral("Создать стандартный кабинет из 16 столов."));
  keys.Describe(saveButton, QStringLiteral("Сохранить"),
                QStringLiteral("Сохранить кабинет в текущий файл."), QStringLiteral("Ctrl+S"));
  keys.Describe(settingsButton, QStringLiteral("Настройки"),
                QStringLiteral("Порт контроллера, опрос, звук вызова, обход. Клавиша: Ctrl+,."));
  keys.Describe(exitButton, QStringLiteral("Выход"), QStringLiteral("Выход из программы."));
}
