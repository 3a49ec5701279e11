// The offer of the practice class while the controller is not found.
#include "app/practiceoffer.h"

#include <QMessageBox>
#include <QTimer>

#include "app/consolewindow.h"
#include "app/practicestart.h"
#include "app/prompter.h"

PracticeOffer::PracticeOffer(ConsoleWindow& window, Prompter& prompter)
    : QObject(&window), window_(window), prompter_(prompter) {
  button = new QToolButton(window_.status);
  button->setObjectName(QStringLiteral("PracticeOffer"));
  button->setText(QStringLiteral("Учебный класс"));
  button->setToolTip(QStringLiteral("Контроллер не отвечает? Откройте учебный класс: пульт "
                                    "заработает с учебным контроллером внутри программы."));
  // Tab reaches it as it does the search offer; a click leaves the keyboard where it was.
  button->setFocusPolicy(Qt::TabFocus);
  // At the row's end, beside the search offer, shown exactly while it is.
  window_.status->AddPart(button, StatusArea::Place::Trailing);
  button->setVisible(window_.status->OffersControllerSearch());
  connect(window_.status, &StatusArea::controllerSearchOffered, button, &QWidget::setVisible);
  connect(button, &QToolButton::clicked, this, &PracticeOffer::Open);
}

void PracticeOffer::Open() { OpenPracticeClassFrom(&window_, &prompter_); }

void OpenPracticeClassFrom(QWidget* window, Prompter* prompter) {
  QString problem;
  if (!StartProgram(true, problem)) {
    if (prompter != nullptr) {
      prompter->ShowMessage(QStringLiteral("Учебный класс"), problem, QMessageBox::Warning);
    } else {
      QMessageBox box(QMessageBox::Warning, QStringLiteral("Учебный класс"), problem,
                      QMessageBox::Ok, window);
      box.setTextFormat(Qt::PlainText);
      box.exec();
    }
    return;
  }
  // After the dialog that asked has gone.
  if (window != nullptr) QTimer::singleShot(0, window, &QWidget::close);
}
