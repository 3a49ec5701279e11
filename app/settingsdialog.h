// "Настройки…": the controller's port chosen from the ports present (or typed
// in), checked with one probe, searched for; the link and view switches.
// It returns a plain EditableSettings; the window saves and applies it.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <functional>
#include <optional>
#include <vector>

#include "config/editablesettings.h"
#include "link/portsearch.h"
#include "platform/portlist.h"

class SettingsDialog : public QDialog {
  Q_OBJECT

 public:
  // `save` stores the choice and applies it; false (having said why) keeps
  // the dialog open.
  using Saver = std::function<bool(const settings::EditableSettings&)>;
  SettingsDialog(const settings::EditableSettings& current, std::vector<platform::PortInfo> ports,
                 PortProber probe, Saver save, QWidget* parent = nullptr);

  // What the controls say now.
  settings::EditableSettings Chosen() const;
  // The last check's or search's outcome, for the teacher and for tests.
  std::optional<ProbeOutcome> lastOutcome() const { return lastOutcome_; }

  // Named controls (object names in brackets).
  QComboBox* portBox = nullptr;          // "PortName": editable
  QLabel* portDescription = nullptr;     // "PortDescription"
  QPushButton* checkButton = nullptr;    // "CheckPort" "Проверить"
  QPushButton* findButton = nullptr;     // "FindController" "Найти контроллер"
  QLabel* checkResult = nullptr;         // "CheckResult"
  QCheckBox* pollingBox = nullptr;       // "Polling"
  QCheckBox* skipAckBox = nullptr;       // "NotWaitAck"
  QCheckBox* movableDesksBox = nullptr;  // "MovableDesks"
  QCheckBox* callSoundBox = nullptr;     // "CallSound"
  QSpinBox* roundSecondsBox = nullptr;   // "RoundSeconds"
  QPushButton* saveButton = nullptr;     // "Save" "Сохранить"
  // "PracticeClass" "Учебный класс": the console without a controller; hidden
  // in the practice class itself.
  QPushButton* practiceButton = nullptr;

  // The buttons' work, callable from tests.
  void CheckChosenPort();
  void FindControllerPort();

 private:
  std::string ChosenPort() const;
  void ShowDescription();
  void ShowResult(const std::string& text);
  void SaveChoice();

  std::vector<platform::PortInfo> ports_;
  PortProber probe_;
  Saver save_;
  settings::EditableSettings initial_;
  std::optional<ProbeOutcome> lastOutcome_;
};
