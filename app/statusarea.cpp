// The status strip's own texts and the call list.
#include "app/statusarea.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QVBoxLayout>

#include "app/consolesession.h"
#include "app/controldescriber.h"
#include "console/linkstatetext.h"

namespace {

constexpr int kMargin = 6;
constexpr int kSpacing = 6;

}  // namespace

StatusArea::StatusArea(QAction* findController, QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("StatusStrip"));
  setFrameShape(QFrame::StyledPanel);
  setAutoFillBackground(true);
  setAttribute(Qt::WA_NoMousePropagation);
  auto* rows = new QVBoxLayout(this);
  rows->setContentsMargins(kMargin, 0, kMargin, kMargin);
  rows->setSpacing(0);
  tools_ = new QHBoxLayout;
  tools_->setSpacing(kSpacing);
  messages_ = new QHBoxLayout;
  messages_->setSpacing(kSpacing * 2);
  rows->addLayout(tools_);
  rows->addLayout(messages_);
  linkLabel = new MessageLabel(this);
  linkLabel->setObjectName(QStringLiteral("LinkState"));
  messages_->addWidget(linkLabel, 1);
  searchOffer = new QToolButton(this);
  searchOffer->setObjectName(QStringLiteral("SearchController"));
  searchOffer->setText(QStringLiteral("Найти контроллер"));
  searchOffer->setToolTip(
      QStringLiteral("Проверить другие порты и найти, где отвечает контроллер"));
  searchOffer->setFocusPolicy(Qt::TabFocus);
  searchOffer->hide();
  tools_->addStretch(1);
  tools_->addWidget(searchOffer);
  connect(searchOffer, &QToolButton::clicked, findController, [findController] { findController->trigger(); });
}

void StatusArea::AddPart(QWidget* part, Place place, int stretch) {
  part->setParent(this);
  switch (place) {
    case Place::Leading:
      tools_->insertWidget(leading_++, part, stretch);
      return;
    case Place::AfterLinkState:
      messages_->insertWidget(1 + afterLink_++, part, stretch);
      return;
    case Place::Trailing:
      // Before the search offer, at the row's end.
      tools_->insertWidget(tools_->count() - 1, part, stretch);
      return;
    case Place::OwnRow:
      static_cast<QVBoxLayout*>(layout())->insertWidget(1 + ownRows_++, part, stretch);
      return;
  }
}

int StatusArea::HeightFor(int width) const {
  QLayout* rows = layout();
  rows->activate();
  return rows->hasHeightForWidth() ? rows->totalHeightForWidth(width) : rows->totalSizeHint().height();
}

bool StatusArea::event(QEvent* event) {
  const bool taken = QFrame::event(event);
  // A message of another length may need another number of lines.
  if (event->type() == QEvent::LayoutRequest) {
    const int needed = HeightFor(width());
    if (needed != lastHeight_) {
      lastHeight_ = needed;
      emit heightNeeded();
    }
  }
  return taken;
}

void StatusArea::ShowConnecting(const QString& port) {
  ShowLinkText(QStringLiteral("#606060"), QStringLiteral("Подключение к контроллеру (%1)…").arg(port));
}

void StatusArea::ShowLinkText(const QString& colour, const QString& text) {
  linkLabel->SetMarkedMessage(
      QStringLiteral("<span style=\"color:%1\">●</span> %2").arg(colour, text.toHtmlEscaped()), text);
  emit linkStateShown(text);
}

void StatusArea::DrawLinkState(const LinkStatusSnapshot& status) {
  const auto stopped = std::chrono::steady_clock::now() - status.notAnsweringSince;
  const QString since =
      QDateTime::currentDateTime()
          .addMSecs(-std::chrono::duration_cast<std::chrono::milliseconds>(stopped).count())
          .toString(QStringLiteral("HH:mm:ss"));
  const console::LinkStateText text = console::DescribeLinkState(status, since.toStdString());
  const char* colour = text.tone == console::LinkTone::Good  ? "#007000"
                       : text.tone == console::LinkTone::Bad ? "#c00000"
                                                             : "#606060";
  linkLabel->setProperty("tone", static_cast<int>(text.tone));
  ShowLinkText(QLatin1String(colour), QString::fromStdString(text.text));
  const bool offers = console::OffersControllerSearch(status);
  searchOffer->setVisible(offers);
  if (offers != offersSearch_) {
    offersSearch_ = offers;
    emit controllerSearchOffered(offers);
  }
}

CallsView::CallsView(ConsoleSession& session, QWidget* parent)
    : CallsBar(parent), session_(session) {
  connect(this, &CallsBar::answer, this, [this](int desk) {
    session_.Apply([desk](console::ConsoleModel& m) { m.ListenTo(desk); });
  });
}

void CallsView::Draw(const console::ConsoleDisplay& shown) {
  // A new call: the teacher may want to hear it too.
  if (session_.CallSoundOn() && shown.calls.size() > callsHeard_) QApplication::beep();
  callsHeard_ = shown.calls.size();
  CallsBar::Draw(shown);
}

void StatusArea::DescribeControls(ControlDescriber& keys) {
  keys.Describe(searchOffer, QStringLiteral("Найти контроллер"),
                QStringLiteral("Проверить порты по очереди и найти тот, на котором отвечает контроллер."));
  keys.Describe(linkLabel, QStringLiteral("Связь с контроллером"),
                QStringLiteral("Порт и что контроллер сделал последним."));
}
