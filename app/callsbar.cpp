// The call list: the count, its menu of every call and the entries that fit.
#include "app/callsbar.h"

#include <QDateTime>
#include <QEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QTimer>

#include "app/controldescriber.h"
#include "app/lessonkeys.h"
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
  const std::vector<std::string> shortTexts = console::CompactCallEntries(calls_, desks, now);

  count->setToolTip(QStringLiteral("Все вызовы, первый вызвавший первым; F7 — ответить первому"));
  // The bar is a row of the strip while calls wait, and no room otherwise.
  const bool showing = !isHidden();
  setVisible(!calls_.empty());
  if (showing != !isHidden() && parentWidget() != nullptr && parentWidget()->layout() != nullptr) {
    parentWidget()->layout()->activate();
  }
  allCalls->clear();
  for (QToolButton* old : entries_) delete old;
  entries_.clear();
  wholeTexts_.clear();
  compactTexts_.clear();
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
    wholeTexts_.push_back(text);
    compactTexts_.push_back(QString::fromStdString(shortTexts[i]));
  }
  if (calls_.empty()) {
    waitTicker_->stop();
  } else if (!waitTicker_->isActive()) {
    waitTicker_->start();
  }
  FitEntries();
}

// The room the entries have beside the count showing `countText`: measured
// from the bar's own width, which the count's text never changes.
int CallsBar::RoomBeside(const QString& countText) {
  count->setText(countText);
  return width() - count->sizeHint().width() - kEntrySpacing;
}

void CallsBar::FitEntries() {
  std::vector<int> whole;
  std::vector<int> compact;
  whole.reserve(entries_.size());
  compact.reserve(entries_.size());
  for (size_t i = 0; i < entries_.size(); ++i) {
    // The button's own margins around its text, measured on the text it has.
    QToolButton* entry = entries_[i];
    const QFontMetrics metrics = entry->fontMetrics();
    const int margins = entry->sizeHint().width() - metrics.horizontalAdvance(entry->text());
    whole.push_back(margins + metrics.horizontalAdvance(wholeTexts_[i]));
    compact.push_back(margins + metrics.horizontalAdvance(compactTexts_[i]));
  }
  const size_t waiting = entries_.size();
  auto countText = [waiting](size_t onlyInList) {
    return QString::fromStdString(console::CallCountText(waiting, onlyInList));
  };
  console::CallStripFit fit = console::FitCallStrip(whole, compact, RoomBeside(countText(0)), kEntrySpacing);
  if (fit.shown < waiting) {
    // The count then says how many only its list shows, and takes more room.
    fit = console::FitCallStrip(whole, compact, RoomBeside(countText(waiting)), kEntrySpacing);
  }
  compact_ = fit.compact;
  for (size_t i = 0; i < waiting; ++i) {
    entries_[i]->setText(fit.compact ? compactTexts_[i] : wholeTexts_[i]);
    entries_[i]->setVisible(i < fit.shown);
  }
  count->setText(countText(waiting - fit.shown));
  count->setAccessibleName(count->text());
  // The entries stand in their places at once, not at the next layout pass.
  layout()->activate();
  list->layout()->activate();
}

int CallsBar::ShownEntries() const {
  int shown = 0;
  for (QToolButton* entry : entries_) shown += entry->isVisibleTo(list) ? 1 : 0;
  return shown;
}

void CallsBar::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FitEntries();
}

void CallsBar::DescribeControls(ControlDescriber& keys) {
  keys.Describe(list, QStringLiteral("Вызовы"),
                QStringLiteral("Вызывающие столы по порядку вызова."), KeyText(KeyCommand::AnswerCall));
}
