// The settings dialog: its controls, the check of one port and the search.
#include "app/settingsdialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/practiceoffer.h"
#include "console/practicefolder.h"

SettingsDialog::SettingsDialog(const settings::EditableSettings& current,
                               std::vector<platform::PortInfo> ports, PortProber probe, Saver save,
                               QWidget* parent)
    : QDialog(parent),
      ports_(std::move(ports)),
      probe_(std::move(probe)),
      save_(std::move(save)),
      initial_(current) {
  setObjectName(QStringLiteral("SettingsDialog"));
  setWindowTitle(QStringLiteral("Настройки"));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  layout->addLayout(form);

  portBox = new QComboBox(this);
  portBox->setObjectName(QStringLiteral("PortName"));
  portBox->setEditable(true);
  portBox->setInsertPolicy(QComboBox::NoInsert);
  portBox->setMinimumContentsLength(28);
  for (const platform::PortInfo& port : ports_) {
    portBox->addItem(QString::fromStdString(port.name));
    portBox->setItemData(portBox->count() - 1, QString::fromStdString(port.description),
                         Qt::ToolTipRole);
  }
  portBox->setEditText(QString::fromStdString(current.portName));
  form->addRow(QStringLiteral("Порт контроллера:"), portBox);
  portDescription = new QLabel(this);
  portDescription->setObjectName(QStringLiteral("PortDescription"));
  portDescription->setTextFormat(Qt::PlainText);
  form->addRow(QString(), portDescription);

  auto* probeRow = new QHBoxLayout;
  checkButton = new QPushButton(QStringLiteral("Проверить"), this);
  checkButton->setObjectName(QStringLiteral("CheckPort"));
  checkButton->setToolTip(QStringLiteral("Послать контроллеру на этот порт один пробный кадр"));
  findButton = new QPushButton(QStringLiteral("Найти контроллер"), this);
  findButton->setObjectName(QStringLiteral("FindController"));
  findButton->setToolTip(QStringLiteral("Проверить по очереди все найденные порты"));
  practiceButton = new QPushButton(QStringLiteral("Учебный класс"), this);
  practiceButton->setObjectName(QStringLiteral("PracticeClass"));
  practiceButton->setToolTip(QStringLiteral("Нет контроллера? Открыть учебный класс: пульт "
                                            "с учебным контроллером внутри программы"));
  practiceButton->setVisible(current.portName != console::kPracticePortName);
  for (QPushButton* b : {checkButton, findButton, practiceButton}) b->setAutoDefault(false);
  probeRow->addWidget(checkButton);
  probeRow->addWidget(findButton);
  probeRow->addWidget(practiceButton);
  probeRow->addStretch(1);
  form->addRow(QString(), probeRow);
  checkResult = new QLabel(this);
  checkResult->setObjectName(QStringLiteral("CheckResult"));
  checkResult->setTextFormat(Qt::PlainText);
  checkResult->setWordWrap(true);
  form->addRow(QString(), checkResult);

  auto box = [this](QCheckBox*& field, const char* name, const char* caption, bool on) {
    field = new QCheckBox(QString::fromUtf8(caption), this);
    field->setObjectName(QString::fromLatin1(name));
    field->setChecked(on);
  };
  box(pollingBox, "Polling", "Опрашивать контроллер (светодиоды и вызовы столов)", current.polling);
  box(skipAckBox, "NotWaitAck", "Не ждать подтверждения кадров (только для особых случаев)",
      current.skipAcknowledgements);
  box(movableDesksBox, "MovableDesks", "Разрешить перемещать столы мышью", current.movableDesks);
  box(callSoundBox, "CallSound", "Звуковой сигнал при вызове со стола", current.callSound);
  for (QCheckBox* b : {pollingBox, skipAckBox, movableDesksBox, callSoundBox}) form->addRow(b);
  roundSecondsBox = new QSpinBox(this);
  roundSecondsBox->setObjectName(QStringLiteral("RoundSeconds"));
  roundSecondsBox->setRange(settings::kMinRoundSeconds, settings::kMaxRoundSeconds);
  roundSecondsBox->setSuffix(QStringLiteral(" с"));
  roundSecondsBox->setValue(current.roundSeconds);
  form->addRow(QStringLiteral("Шаг круга прослушивания:"), roundSecondsBox);

  auto* buttons = new QDialogButtonBox(this);
  saveButton = buttons->addButton(QStringLiteral("Сохранить"), QDialogButtonBox::AcceptRole);
  saveButton->setObjectName(QStringLiteral("Save"));
  buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
  layout->addWidget(buttons);

  connect(checkButton, &QPushButton::clicked, this, &SettingsDialog::CheckChosenPort);
  connect(findButton, &QPushButton::clicked, this, &SettingsDialog::FindControllerPort);
  connect(practiceButton, &QPushButton::clicked, this, [this] {
    reject();
    OpenPracticeClassFrom(parentWidget(), nullptr);
  });
  connect(portBox, &QComboBox::editTextChanged, this, [this] { ShowDescription(); });
  connect(buttons, &QDialogButtonBox::accepted, this, &SettingsDialog::SaveChoice);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  ShowDescription();
}

settings::EditableSettings SettingsDialog::Chosen() const {
  settings::EditableSettings chosen = initial_;
  chosen.portName = ChosenPort();
  chosen.polling = pollingBox->isChecked();
  chosen.skipAcknowledgements = skipAckBox->isChecked();
  chosen.movableDesks = movableDesksBox->isChecked();
  chosen.callSound = callSoundBox->isChecked();
  chosen.roundSeconds = roundSecondsBox->value();
  return chosen;
}

std::string SettingsDialog::ChosenPort() const {
  return portBox->currentText().trimmed().toStdString();
}

void SettingsDialog::ShowDescription() {
  const std::string chosen = ChosenPort();
  QString text = QStringLiteral("порт не из списка найденных");
  for (const platform::PortInfo& port : ports_) {
    if (port.name == chosen) text = QString::fromStdString(port.description);
  }
  if (ports_.empty()) text = QStringLiteral("последовательные порты не найдены; имя можно ввести");
  if (chosen == console::kPracticePortName) {
    text = QStringLiteral("учебный контроллер внутри программы");
  }
  portDescription->setText(text);
}

void SettingsDialog::ShowResult(const std::string& text) {
  checkResult->setText(QString::fromStdString(text));
}

void SettingsDialog::CheckChosenPort() {
  const std::string port = ChosenPort();
  if (port.empty()) {
    ShowResult("Укажите порт.");
    return;
  }
  ShowResult("Проверка порта " + port + "…");
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  lastOutcome_ = probe_(port);
  ShowResult(ProbeOutcomeText(port, *lastOutcome_));
}

void SettingsDialog::FindControllerPort() {
  std::vector<std::string> candidates;
  for (const platform::PortInfo& port : ports_) candidates.push_back(port.name);
  setEnabled(false);
  const SearchResult result = FindController(candidates, probe_, [this](const std::string& name) {
    ShowResult("Проверка порта " + name + "…");
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    return true;
  });
  setEnabled(true);
  lastOutcome_ = result.found ? ProbeOutcome::kAnswered : ProbeOutcome::kNoAnswer;
  if (result.found) {
    // Offered, not taken: the teacher saves it.
    portBox->setEditText(QString::fromStdString(*result.found));
    ShowResult(SearchResultText(result) + " Нажмите «Сохранить», чтобы работать через него.");
  } else {
    ShowResult(SearchResultText(result));
  }
}

void SettingsDialog::SaveChoice() {
  if (!save_ || save_(Chosen())) accept();
}
