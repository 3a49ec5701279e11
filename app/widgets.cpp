// The console's control kinds: glyph buttons and desk panels.
#include "app/widgets.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QStyle>
#include <QStyleOption>
#include <QTextDocument>
#include <algorithm>
#include <cmath>

#include "app/controldescriber.h"
#include "app/lessonkeys.h"

GlyphButton::GlyphButton(int groupIndex, bool checkable, QWidget* parent)
    : QToolButton(parent), groupIndex_(groupIndex) {
  setCheckable(checkable);
  // Tab reaches the glyph buttons; a click never takes the keyboard focus
  // away from a name box.
  setFocusPolicy(Qt::TabFocus);
  setIconSize(QSize(16, 16));
}

void GlyphButton::paintEvent(QPaintEvent* event) {
  QToolButton::paintEvent(event);
  if (!isChecked()) return;
  // The style's own look of a down toggle is too faint to read at a glance
  // in front of a class: mark it with a frame and tint, red for a live
  // microphone (to a desk or into the line), green for the rest.
  const bool liveMicrophone =
      groupIndex_ == kSpeakGroupIndex || groupIndex_ == kTeacherLineGroupIndex;
  QPainter painter(this);
  painter.setPen(QPen(liveMicrophone ? QColor(200, 0, 0) : QColor(0, 110, 0), 2));
  painter.setBrush(liveMicrophone ? QColor(230, 0, 0, 90) : QColor(0, 160, 0, 60));
  painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 3, 3);
}

DeskPanel::DeskPanel(int deskIndex, QWidget* parent) : QGroupBox(parent), tag_(deskIndex) {
  // The panel paints its own colour: a palette changed at every highlight
  // gives the style's pixmap cache new keys each time, and it fills up.
  setAutoFillBackground(false);
  // Moves without a pressed button select the desk too.
  setMouseTracking(true);
}

void DeskPanel::setMarks(const DeskMarks& marks) {
  if (marks == marks_) return;
  marks_ = marks;
  update();
}

void DeskPanel::paintEvent(QPaintEvent* event) {
  {
    QPainter background(this);
    background.fillRect(rect(), colour_);
  }
  QGroupBox::paintEvent(event);
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing, false);
  if (marks_.keyboardFocus) {
    // Driving by keys, the teacher must find the selection at a glance.
    const int pen = Scaled(3);
    const qreal inset = pen / 2.0;
    painter.setPen(QPen(QColor(0, 90, 255), pen));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset));
  } else if (marks_.selected) {
    // Inside the edge, so the highlight colour stays in view.
    const int pen = Scaled(1);
    painter.setPen(QPen(QColor(0, 0, 128), pen, Qt::DashLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(pen, pen, -2 * pen, -2 * pen));
  }
  if (marks_.speaking) {
    // The microphone is live to this desk: a red band along the bottom edge.
    const int band = Scaled(kSpeakingBandHeight);
    painter.fillRect(QRect(0, height() - band, width(), band), QColor(220, 0, 0));
  }
  if (marks_.calling && marks_.callBright) {
    // A thick border that leaves the desk's number in view: open above and
    // beside the number, so that a calling desk is still read by its number.
    const QColor call(255, 120, 0);
    const int w = Scaled(kCallBorderWidth);
    const int titleEnd = fontMetrics().horizontalAdvance(title()) + Scaled(8);
    const int titleBottom = TitleRect().bottom() + 1;
    painter.fillRect(QRect(0, titleBottom, w, height() - titleBottom), call);
    painter.fillRect(QRect(width() - w, 0, w, height()), call);
    painter.fillRect(QRect(0, height() - w, width(), w), call);
    painter.fillRect(QRect(titleEnd, 0, width() - titleEnd, w), call);
  }
}

QRect DeskPanel::TitleRect() const {
  QStyleOptionGroupBox option;
  initStyleOption(&option);
  return style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, this);
}

void DeskPanel::SetMarkScale(double scale) {
  if (scale == markScale_) return;
  markScale_ = scale;
  update();
}

int DeskPanel::Scaled(int described) const {
  return std::max(1, static_cast<int>(std::lround(described * markScale_)));
}

void DeskPanel::setColour(const QColor& colour) {
  if (colour == colour_) return;
  colour_ = colour;
  update();
}

void DeskPanel::mousePressEvent(QMouseEvent* event) {
  emit mousePressed(this, event);
  event->accept();
}

void DeskPanel::mouseMoveEvent(QMouseEvent* event) {
  emit mouseMoved(this, event);
  event->accept();
}

void DeskPanel::mouseReleaseEvent(QMouseEvent* event) {
  emit mouseReleased(this, event);
  event->accept();
}

QString PlainToolTip(const QString& text) {
  if (!Qt::mightBeRichText(text)) return text;
  return QStringLiteral("<p style=\"white-space:pre-wrap\">") + text.toHtmlEscaped() +
         QStringLiteral("</p>");
}

void DeskPanel::DescribeControls(ControlDescriber& keys) {
  const QString n = QString::number(tag_ + 1);
  keys.Describe(this, QStringLiteral("Стол %1").arg(n),
                QStringLiteral("Стол ученика; стрелки выбирают стол, меню стола — Shift+F10."));
  keys.Describe(listen, QStringLiteral("Слушать стол %1").arg(n),
                QStringLiteral("Слушать стол или перестать слушать."), KeyText(KeyCommand::Listen));
  keys.Describe(speak, QStringLiteral("Говорить со столом %1").arg(n),
                QStringLiteral("Говорить со столом или перестать."), KeyText(KeyCommand::Speak));
  keys.Describe(led, QStringLiteral("Светодиод стола %1").arg(n),
                QStringLiteral("Выключить горящий светодиод стола."), KeyText(KeyCommand::LedButton));
  keys.Describe(lineButton, QStringLiteral("Линия и пара стола %1").arg(n),
                QStringLiteral("Подключить к линии, соединить в пару или разъединить."),
                KeyText(KeyCommand::LineButton));
  keys.Describe(nameBox, QStringLiteral("Имя ученика за столом %1").arg(n),
                QStringLiteral("Enter подтверждает, Esc отменяет правку."), KeyText(KeyCommand::EditName));
}

QToolButton* NewStripButton(QWidget* parent, const QString& name, const QString& text,
                            const QString& hint) {
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setText(text);
  button->setToolTip(hint);
  button->setAutoRaise(true);
  button->setFocusPolicy(Qt::TabFocus);
  return button;
}
