// The call list: the count, its menu of every call and the entries that fit.
#include "app/callsbar.h"

#include <QDateTime>
#include <QEvent>
#include <QHBoxLayout>
#include <QTimer>

#include "app/widgets.h"
#include "console/calllist.h"

namespace {

constexpr int kEntrySpacing = 4;
constexpr int kWaitRefreshMs = 15000;  // the waits are shown by the minute

}  // namespace

CallsBar::CallsBar(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("CallsBar"));
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(kEntrySpacing);
  count = new QToolButton(this);
  count->setObjectName(QStringLiteral("CallCount"));
  count->setPopupMode(QToolButton::InstantPopup);
  count->setFocusPolicy(Qt::StrongFocus);
  allCalls = new QMenu(count);
  allCalls->setObjectName(QStringLiteral("AllCalls"));
  count->setMenu(allCalls);
  layout->addWidget(count);
  list = new QWidget(this);
  list->setObjectName(QStringLiteral("CallList"));
  auto* row = new QHBoxLayout(list);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(kEntrySpacing);
  row->addStretch(1);
  layout->addWidget(list, 1);
  // The entries that fit are counted again whenever the list's room changes.
  list->installEventFilter(this);
  waitTicker_ = new QTimer(this);
  waitTicker_->setInterval(kWaitRefreshMs);
  connect(waitTicker_, &QTimer::timeout, this, &CallsBar::Refresh);
  Rebuild();
}

void CallsBar::Draw(const console::ConsoleDisplay& shown) {
  std::array<std::string, kDeskCount> names;
  for (int d = 0; d < kDeskCount; ++d) names[d] = shown.desks[d].name;
  if (shown.calls == calls_ && names == names_) return;
  calls_ = shown.calls;
  names_ = names;
  Rebuild();
}

void CallsBar::Refresh() { Rebuild(); }

void CallsBar::Rebuild() {
  const int64_t now = QDateTime::currentSecsSinceEpoch();
  std::array<console::DeskDisplay, kDeskCount> desks{};
  for (int d = 0; d < kDeskCount; ++d) desks[d].name = names_[d];
  const std::vector<std::string> texts = console::CallListEntries(calls_, desks, now);

  count->setText(QString::fromStdString(console::CallCountText(calls_.size())));
  count->setToolTip(QStringLiteral("Все вызовы, первый вызвавший первым; F7 — ответить первому"));
  count->setAccessibleName(count->text());
  count->setVisible(!calls_.empty());
  allCalls->clear();
  for (QToolButton* old : entries_) delete old;
  entries_.clear();
  auto* row = static_cast<QHBoxLayout*>(list->layout());
  for (size_t i = 0; i < calls_.size(); ++i) {
    const int desk = calls_[i].desk;
    const QString text = QString::fromStdString(texts[i]);
    // The student's name is shown as typed, never read as markup.
    const QString hint = QStringLiteral("Вызов стола %1: %2. Нажмите, чтобы слушать стол")
                             .arg(QString::number(desk + 1), text);
    QAction* item = allCalls->addAction(text, this, [this, desk] { emit answer(desk); });
    item->setObjectName(QStringLiteral("AllCalls%1").arg(desk + 1));

    auto* entry = new QToolButton(list);
    entry->setObjectName(QStringLiteral("Call%1").arg(desk + 1));
    entry->setText(text);
    entry->setToolTip(PlainToolTip(hint));
    entry->setAccessibleName(text);
    entry->setAccessibleDescription(hint);
    entry->setStyleSheet(QStringLiteral("QToolButton { background: rgb(255,160,60); }"));
    entry->setFocusPolicy(Qt::StrongFocus);
    connect(entry, &QToolButton::clicked, this, [this, desk] { emit answer(desk); });
    row->addWidget(entry);
    entries_.push_back(entry);
  }
  if (calls_.empty()) {
    waitTicker_->stop();
  } else if (!waitTicker_->isActive()) {
    waitTicker_->start();
  }
  FitEntries();
}

void CallsBar::FitEntries() {
  std::vector<int> widths;
  widths.reserve(entries_.size());
  for (QToolButton* entry : entries_) widths.push_back(entry->sizeHint().width());
  const size_t fit = console::EntriesThatFit(widths, list->width(), kEntrySpacing);
  for (size_t i = 0; i < entries_.size(); ++i) entries_[i]->setVisible(i < fit);
}

int CallsBar::ShownEntries() const {
  int shown = 0;
  for (QToolButton* entry : entries_) shown += entry->isVisibleTo(list) ? 1 : 0;
  return shown;
}

bool CallsBar::eventFilter(QObject* watched, QEvent* event) {
  if (watched == list && event->type() == QEvent::Resize) FitEntries();
  return QWidget::eventFilter(watched, event);
}
