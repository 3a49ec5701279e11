// The window's control kinds that the console's walks tell apart: glyph
// buttons (with a group index and a tag) and desk panels.
#pragma once

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

// A toggle (or plain) button with a picture. groupIndex 0 is a desk's LED
// button; 1 listen, 2 speak; 3, 4, 5 the teacher's buttons. tag is the LED-on
// mark of an LED button.
class ControlDescriber;
class GlyphButton : public QToolButton {
  Q_OBJECT
 public:
  static constexpr int kSpeakGroupIndex = 2;
  static constexpr int kTeacherLineGroupIndex = 4;  // "Линия": the teacher's microphone
  GlyphButton(int groupIndex, bool checkable, QWidget* parent);
  int groupIndex() const { return groupIndex_; }
  int tag() const { return tag_; }
  void setTag(int tag) { tag_ = tag; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int groupIndex_;
  int tag_ = 0;
};

// What a desk panel marks on top of its colour: the selected desk, a live
// microphone, a student's call (bright or dark while it blinks).
struct DeskMarks {
  bool selected = false;
  bool keyboardFocus = false;  // the selection moved by the arrow keys
  bool speaking = false;
  bool calling = false;
  bool callBright = true;
  bool operator==(const DeskMarks& o) const {
    return selected == o.selected && keyboardFocus == o.keyboardFocus && speaking == o.speaking && calling == o.calling &&
           callBright == o.callBright;
  }
};

// One desk of the plan: a framed panel whose tag is the desk index 0..15.
// It reports mouse presses, moves and releases on its own surface (not on its
// buttons or name box) to the window.
class HeardGaugeWidget;

class DeskPanel : public QGroupBox {
  Q_OBJECT
 public:
  // Names its controls for screen readers, with their keys.
  void DescribeControls(ControlDescriber& keys);
  DeskPanel(int deskIndex, QWidget* parent);
  int tag() const { return tag_; }

  GlyphButton* listen = nullptr;    // SpeedButton1, 4, ...
  GlyphButton* speak = nullptr;     // SpeedButton2, 5, ...
  GlyphButton* led = nullptr;       // SpeedButton3, 6, ...
  QPushButton* lineButton = nullptr;  // Button1, 2, ...
  QLineEdit* nameBox = nullptr;     // Edit1, 2, ...
  HeardGaugeWidget* heard = nullptr;  // "HeardGauge": hidden until the teacher asks

  // The panel's own colour (normal or highlight), as the console reads it back.
  QColor colour() const { return colour_; }
  void setColour(const QColor& colour);
  const DeskMarks& marks() const { return marks_; }
  void setMarks(const DeskMarks& marks);

  static constexpr int kCallBorderWidth = 4;
  static constexpr int kSpeakingBandHeight = 4;
  // The plan's scale: the marks grow with the panel.
  void SetMarkScale(double scale);
  // Where the style puts the desk's number.
  QRect TitleRect() const;

 signals:
  void mousePressed(DeskPanel* panel, QMouseEvent* event);
  void mouseMoved(DeskPanel* panel, QMouseEvent* event);
  void mouseReleased(DeskPanel* panel, QMouseEvent* event);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  int tag_;
  int Scaled(int described) const;

  DeskMarks marks_;
  QColor colour_ = Qt::white;
  double markScale_ = 1.0;
};


// A tooltip that shows `text` as it is: Qt takes anything that looks like
// markup for rich text (and would load an <img>), so such text is escaped.
QString PlainToolTip(const QString& text);

// A button of the status strip's tool row, flat like its neighbours (a frame
// would read as pressed); Tab reaches it, a click leaves the keyboard where it was.
QToolButton* NewStripButton(QWidget* parent, const QString& name, const QString& text,
                            const QString& hint);
