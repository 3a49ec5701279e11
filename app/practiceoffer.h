// The practice class offered while no controller answers: a "Учебный класс"
// button beside the controller search in the status strip. It starts the
// program anew in the practice class and closes this console.
#pragma once

#include <QObject>
#include <QPointer>
#include <QToolButton>

class ConsoleWindow;
class Prompter;

class PracticeOffer : public QObject {
  Q_OBJECT

 public:
  PracticeOffer(ConsoleWindow& window, Prompter& prompter);

  QPointer<QToolButton> button;  // "PracticeOffer" "Учебный класс"

 private:
  void Open();

  ConsoleWindow& window_;
  Prompter& prompter_;
};

// Starts the practice class from a dialog of `window` and closes the window;
// says why when it could not start.
void OpenPracticeClassFrom(QWidget* window, Prompter* prompter);
