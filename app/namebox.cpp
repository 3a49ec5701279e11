// The name box: a plain edit line while edited, the whole name otherwise.
#include "app/namebox.h"

#include <QEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QPainter>

namespace {

QRect ToQRect(const console::PlanRect& r) { return QRect(r.left, r.top, r.width, r.height); }

// Inside the lines' area: the edit line's own text margin.
constexpr int kTextMargin = 1;

}  // namespace

NameBox::NameBox(QWidget* parent) : QLineEdit(parent) {
  setGeometry(ToQRect(kEditRect));
  connect(this, &QLineEdit::textChanged, this, [this] { Relayout(); });
}

void NameBox::SetPlanScale(const console::PlanScale& plan) {
  plan_ = plan;
  QFont font = this->font();
  font.setPixelSize(plan_.FontPixels(kFontPixels));
  // The font change lays the name out again.
  if (font != this->font()) setFont(font);
  Relayout();
}

QFont NameBox::FontOf(int pixels) const {
  QFont font = this->font();
  font.setPixelSize(std::max(1, pixels));
  return font;
}

void NameBox::Relayout() {
  if (relayingOut_) return;
  relayingOut_ = true;
  const console::PlanRect area = plan_.Inner(kLongNameRect);
  const console::NameMeasure measure{
      [this](const std::string& text, int pixels) {
        return QFontMetrics(FontOf(pixels)).horizontalAdvance(QString::fromStdString(text));
      },
      [this](int pixels) { return QFontMetrics(FontOf(pixels)).lineSpacing(); }};
  const int full = plan_.FontPixels(kFontPixels);
  const console::PlanRect edit = plan_.Inner(kEditRect);
  const std::string name = text().toStdString();
  // The edit line shows a name that fits it just as it always did.
  const bool fitsEditLine =
      measure.width(name, full) <= edit.width - 2 * (kTextMargin + 1);
  if (fitsEditLine) {
    layout_ = console::NameLayout{full, {name}, false};
  } else {
    layout_ = console::FitName(name, area.width - 2 * kTextMargin, area.height, full,
                               plan_.FontPixels(kSmallestFontPixels), measure);
  }
  showsLines_ = isReadOnly() && !fitsEditLine;
  const QRect wanted = ToQRect(showsLines_ ? area : edit);
  if (geometry() != wanted) setGeometry(wanted);
  if (isReadOnly()) setCursorPosition(0);
  relayingOut_ = false;
  update();
}

void NameBox::paintEvent(QPaintEvent* event) {
  if (!showsLines_) {
    QLineEdit::paintEvent(event);
    return;
  }
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Base));
  painter.setPen(palette().color(QPalette::Text));
  const QFont font = FontOf(layout_.fontPixels);
  painter.setFont(font);
  const QFontMetrics metrics(font);
  const int lines = static_cast<int>(layout_.lines.size());
  // The lines centred in the area, as one line is in the edit box.
  int y = (height() - lines * metrics.lineSpacing()) / 2 + metrics.ascent();
  for (const std::string& line : layout_.lines) {
    painter.drawText(kTextMargin, y, QString::fromStdString(line));
    y += metrics.lineSpacing();
  }
}

void NameBox::changeEvent(QEvent* event) {
  QLineEdit::changeEvent(event);
  if (event->type() == QEvent::ReadOnlyChange || event->type() == QEvent::FontChange) Relayout();
}

void NameBox::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  // Tab passing through leaves the name shown from its start.
  if (isReadOnly()) {
    deselect();
    setCursorPosition(0);
  }
}
