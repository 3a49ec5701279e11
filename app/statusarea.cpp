// The status strip's own texts and the call list.
#include "app/statusarea.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>

#include "app/consolesession.h"
#include "console/linkstatetext.h"

namespace {

constexpr int kCallListMaxWidth = 440;  // the link state keeps the rest of the strip

}  // namespace

StatusArea::StatusArea(QAction* findController, QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("StatusStrip"));
  setFrameShape(QFrame::StyledPanel);
  setAutoFillBackground(true);
  setAttribute(Qt::WA_NoMousePropagation);
  layout_ = new QHBoxLayout(this);
  layout_->setContentsMargins(6, 0, 6, 0);
  layout_->setSpacing(6);
  linkLabel = new QLabel(this);
  linkLabel->setObjectName(QStringLiteral("LinkState"));
  layout_->addWidget(linkLabel, 1);
  searchOffer = new QToolButton(this);
  searchOffer->setObjectName(QStringLiteral("SearchController"));
  searchOffer->setText(QStringLiteral("Найти контроллер"));
  searchOffer->setToolTip(
      QStringLiteral("Проверить другие порты и найти, где отвечает контроллер"));
  searchOffer->setFocusPolicy(Qt::TabFocus);
  searchOffer->hide();
  layout_->addWidget(searchOffer);
  connect(searchOffer, &QToolButton::clicked, findController, [findController] { findController->trigger(); });
}

void StatusArea::AddPart(QWidget* part, Place place, int stretch) {
  part->setParent(this);
  switch (place) {
    case Place::Leading:
      layout_->insertWidget(leading_++, part, stretch);
      return;
    case Place::AfterLinkState:
      layout_->insertWidget(leading_ + 1 + afterLink_++, part, stretch);
      return;
    case Place::Trailing:
      layout_->addWidget(part, stretch);
      return;
  }
}

void StatusArea::ShowConnecting(const QString& port) {
  linkLabel->setText(QStringLiteral("<span style=\"color:#606060\">●</span> %1")
                         .arg(QStringLiteral("Подключение к контроллеру (%1)…").arg(port).toHtmlEscaped()));
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
  linkLabel->setText(QStringLiteral("<span style=\"color:%1\">●</span> %2")
                         .arg(QLatin1String(colour), QString::fromStdString(text.text).toHtmlEscaped()));
  linkLabel->setProperty("tone", static_cast<int>(text.tone));
  searchOffer->setVisible(console::OffersControllerSearch(status));
}

CallsView::CallsView(ConsoleSession& session, QWidget* parent)
    : CallStrip(parent), session_(session) {
  setObjectName(QStringLiteral("CallScroller"));
  list = new QWidget(this);
  list->setObjectName(QStringLiteral("CallList"));
  auto* calls = new QHBoxLayout(list);
  calls->setContentsMargins(0, 0, 0, 0);
  calls->setSpacing(4);
  // The entries start at the right of the strip and grow to the left until
  // it is full; from then on the row scrolls.
  calls->addStretch(1);
  setWidget(list);
  setMaximumWidth(kCallListMaxWidth);
}

void CallsView::Draw(const console::ConsoleDisplay& shown) {
  if (drawn_ && *drawn_ == shown.calls) return;
  drawn_ = shown.calls;
  // A new call: the teacher may want to hear it too.
  if (session_.CallSoundOn() && shown.calls.size() > callsHeard_) QApplication::beep();
  callsHeard_ = shown.calls.size();
  for (QToolButton* old : list->findChildren<QToolButton*>()) delete old;
  for (const console::Call& call : shown.calls) {
    auto* entry = new QToolButton(list);
    entry->setObjectName(QStringLiteral("Call%1").arg(call.desk + 1));
    const std::string& student = shown.desks[call.desk].name;
    const QString time =
        QDateTime::fromSecsSinceEpoch(call.since).toString(QStringLiteral("HH:mm"));
    entry->setText(
        QString::fromStdString(console::CallEntryText(call.desk, student, time.toStdString())));
    // The student's name is shown as typed, never read as markup.
    const QString hint = QStringLiteral("Вызов стола %1 (%2) с %3: нажмите, чтобы слушать стол")
                             .arg(QString::number(call.desk + 1), QString::fromStdString(student), time);
    entry->setToolTip(PlainToolTip(hint));
    entry->setAccessibleName(QStringLiteral("Вызов стола %1").arg(call.desk + 1));
    entry->setAccessibleDescription(hint);
    entry->setStyleSheet(QStringLiteral("QToolButton { background: rgb(255,160,60); }"));
    entry->setFocusPolicy(Qt::TabFocus);
    const int desk = call.desk;
    connect(entry, &QToolButton::clicked, this,
            [this, desk] { session_.Apply([desk](console::ConsoleModel& m) { m.ListenTo(desk); }); });
    list->layout()->addWidget(entry);
  }
}
