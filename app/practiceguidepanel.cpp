// The guide's window beside the console.
#include "app/practiceguidepanel.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {

constexpr int kPanelWidth = 320;

}  // namespace

PracticeGuidePanel::PracticeGuidePanel(QWidget* window)
    : QWidget(window, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("PracticeGuide"));
  setWindowTitle(QStringLiteral("Первый урок — учебный класс"));
  // The console keeps the keyboard: the steps are done there.
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFocusPolicy(Qt::NoFocus);
  setFixedWidth(kPanelWidth);
  auto* layout = new QVBoxLayout(this);
  titleLabel = new QLabel(this);
  titleLabel->setObjectName(QStringLiteral("GuideTitle"));
  titleLabel->setTextFormat(Qt::PlainText);
  QFont bold = titleLabel->font();
  bold.setBold(true);
  titleLabel->setFont(bold);
  titleLabel->setWordWrap(true);
  instructionLabel = new QLabel(this);
  instructionLabel->setObjectName(QStringLiteral("GuideInstruction"));
  instructionLabel->setTextFormat(Qt::PlainText);
  instructionLabel->setWordWrap(true);
  layout->addWidget(titleLabel);
  layout->addWidget(instructionLabel);
  auto* buttons = new QHBoxLayout;
  restartButton = new QPushButton(QStringLiteral("Начать сначала"), this);
  restartButton->setObjectName(QStringLiteral("GuideRestart"));
  closeButton = new QPushButton(QStringLiteral("Закрыть"), this);
  closeButton->setObjectName(QStringLiteral("GuideClose"));
  for (QPushButton* b : {restartButton, closeButton}) {
    b->setFocusPolicy(Qt::NoFocus);
    b->setAutoDefault(false);
    buttons->addWidget(b);
  }
  layout->addLayout(buttons);
  connect(restartButton, &QPushButton::clicked, this, &PracticeGuidePanel::restartRequested);
  connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
}

void PracticeGuidePanel::ShowStep(console::GuideStep step) {
  const console::GuideText text = console::TextOf(step);
  titleLabel->setText(QString::fromStdString(text.title));
  instructionLabel->setText(QString::fromStdString(text.instruction));
  adjustSize();
}
