// The desk plan: its panels as designed, the drawing of the model's display
// on them and on the link picture, and the mouse and name-box input.
#include "app/deskplan.h"

#include <QApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>

#include "app/consolesession.h"
#include "app/heardgauge.h"
#include "app/namebox.h"
#include "app/scaledcontrols.h"
#include "app/namevalidator.h"
#include "config/classroomplan.h"
#include "resources/glyphs.h"
#include "view/colours.h"
#include "view/linkpainter.h"

namespace {

// Names and places of one desk's controls, as the window was designed.
struct DeskLayout {
  int listen, speak, led;  // SpeedButtonN
  int line;                // ButtonN
  int name;                // EditN
};

// By desk number - 1. Desks 15 and 16 were added last, hence their numbering.
constexpr DeskLayout kDeskLayouts[kDeskCount] = {
    {1, 2, 3, 1, 1},      {4, 5, 6, 2, 2},      {7, 8, 9, 3, 3},      {10, 11, 12, 4, 4},
    {19, 20, 21, 7, 7},   {22, 23, 24, 8, 8},   {25, 26, 27, 9, 9},   {28, 29, 30, 10, 10},
    {31, 32, 33, 11, 11}, {34, 35, 36, 12, 12}, {37, 38, 39, 13, 13}, {40, 41, 42, 14, 14},
    {43, 44, 45, 15, 15}, {46, 47, 48, 16, 16}, {16, 17, 18, 6, 6},   {13, 14, 15, 5, 5},
};
constexpr int kDeskColumns[] = {8, 176, 376, 544};
constexpr int kDeskRowTop = 104;  // rows at 0, 104, 208, 312
// The control order: desks 16 and 15 follow desk 4.
constexpr int kDeskCreationOrder[kDeskCount] = {1, 2, 3, 4,  16, 15, 5,  6,
                                                7, 8, 9, 10, 11, 12, 13, 14};
constexpr int kCallBlinkSeconds = 10;  // a new call blinks this long, then stays
constexpr int kBlinkIntervalMs = 400;

QFont BoldFont(const QFont& base) {
  QFont font = base;
  font.setBold(true);
  return font;
}

QString Named(const char* prefix, int number) {
  return QString::fromLatin1(prefix) + QString::number(number);
}

}  // namespace

DeskPlan::DeskPlan(ConsoleSession& session, QWidget* parent) : QWidget(parent), session_(session) {
  setObjectName(QStringLiteral("DeskPlan"));
  // Before the desks: the keyboard passes its buttons first (it shows over an empty plan).
  BuildFirstStartHint();
  // Drawn once for all sixteen desks.
  const QIcon headphones = glyphs::ButtonGlyph(glyphs::Glyph::Headphones);
  const QIcon microphone = glyphs::ButtonGlyph(glyphs::Glyph::Microphone);
  for (int deskNumber : kDeskCreationOrder) {
    BuildDeskPanel(deskNumber, headphones, microphone);
    order_.push_back(desks_[static_cast<size_t>(deskNumber - 1)]);
  }
  for (DeskPanel* panel : desks_) ConnectDesk(panel);
  blinkTimer_.setInterval(kBlinkIntervalMs);
  connect(&blinkTimer_, &QTimer::timeout, this, [this] {
    blinkBright_ = !blinkBright_;
    DrawMarks();
  });
}

void DeskPlan::PlaceIn(const console::PlanScale& plan) {
  plan_ = plan;
  const console::PlanSize described = plan.described();
  planHeight_ = described.height - console::kBottomPanelsHeight;
  // The link picture stays at the described size: what the plan looks like
  // whatever the window's size.
  if (surface_.size() != QSize(described.width, described.height)) {
    QImage resized(described.width, described.height, QImage::Format_RGB32);
    resized.fill(colours::kButtonFace);
    surface_ = resized;
  }
  setGeometry(0, 0, plan.client().width, plan.client().height);
  for (DeskPanel* panel : desks_) {
    ScaleControls(panel, plan_);
    static_cast<NameBox*>(panel->nameBox)->SetPlanScale(plan_);
    panel->SetMarkScale(plan_.scale());
  }
  if (drawn_) {
    const console::ConsoleDisplay shown = *drawn_;
    Draw(shown);
  }
  if (!firstStartHint_->isHidden()) PlaceFirstStartHint();
}

// Measured when it shows: most starts never show it, and its wrapped text
// costs a layout of its own.
void DeskPlan::PlaceFirstStartHint() {
  firstStartHint_->adjustSize();
  firstStartHint_->move((width() - firstStartHint_->width()) / 2,
                        (plan_.BottomPanelsTop() - firstStartHint_->height()) / 2);
}

void DeskPlan::PlaceDesk(DeskPanel* panel, const console::DeskDisplay& shown) {
  const console::PlanRect r = plan_.ToScreen(
      console::PlanRect{shown.left, shown.top, console::kDeskPanelWidth, console::kDeskPanelHeight});
  const QRect wanted(r.left, r.top, r.width, r.height);
  if (panel->geometry() != wanted) panel->setGeometry(wanted);
}

void DeskPlan::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  // The described size on a plain screen: the picture itself, pixel for pixel.
  if (!drawn_ || (plan_.Identity() && devicePixelRatioF() == 1.0)) {
    painter.drawImage(0, 0, surface_);
    return;
  }
  // Else drawn through the plan's transform at the device's resolution.
  painter.fillRect(rect(), colours::kButtonFace);
  painter.translate(plan_.origin().x, plan_.origin().y);
  painter.scale(plan_.scale(), plan_.scale());
  view::PaintLinks(painter, *drawn_, session_.room().PairLinkCode,
                   QSize(console::kDeskPanelWidth, console::kDeskPanelHeight));
}

void DeskPlan::mousePressEvent(QMouseEvent* event) {
  // A click on the plan's background ends a name's editing.
  if (event->button() == Qt::LeftButton) {
    session_.Apply([](console::ConsoleModel& m) { m.EndNameEditing(); });
  }
  QWidget::mousePressEvent(event);
}

bool DeskPlan::eventFilter(QObject* watched, QEvent* event) {
  auto* box = qobject_cast<QLineEdit*>(watched);
  const int desk = box != nullptr ? DeskOf(box) : -1;
  if (desk >= 0 && FilterNameBoxEvent(desk, box, event)) return true;
  return QWidget::eventFilter(watched, event);
}

void DeskPlan::Draw(const console::ConsoleDisplay& shown) {
  for (int d = 0; d < kDeskCount; ++d) DrawDesk(desks_[static_cast<size_t>(d)], shown.desks[d]);
  if (!surface_.isNull()) {
    view::PaintLinks(surface_, shown, session_.room().PairLinkCode,
                     QSize(console::kDeskPanelWidth, console::kDeskPanelHeight));
    update();
  }
  const bool emptyPlan = std::none_of(shown.desks.begin(), shown.desks.end(),
                                      [](const console::DeskDisplay& d) { return d.visible; });
  const bool hintWanted = emptyPlan && !session_.model().HasClassroomFile();
  if (hintWanted && firstStartHint_->isHidden()) {
    PlaceFirstStartHint();
    firstStartHint_->show();
  }
  if (!hintWanted) firstStartHint_->hide();
  if (hintWanted) firstStartHint_->raise();
  StartBlinkingForNewCalls(shown);
  drawn_ = shown;
  DrawMarks();
}

void DeskPlan::FocusName(int desk) {
  QLineEdit* box = desks_[static_cast<size_t>(desk)]->nameBox;
  box->setFocus(Qt::ShortcutFocusReason);
  box->selectAll();
}

QPoint DeskPlan::DeskCentre(int desk) const {
  const DeskPanel* panel = desks_[static_cast<size_t>(desk)];
  return panel->mapToGlobal(panel->rect().center());
}

void DeskPlan::SetFocusMarkShown(bool shown) {
  if (focusMark_ == shown) return;
  focusMark_ = shown;
  DrawMarks();
}

void DeskPlan::StartBlinkingForNewCalls(const console::ConsoleDisplay& shown) {
  if (drawn_ && drawn_->calls == shown.calls) return;
  const qint64 now = QDateTime::currentSecsSinceEpoch();
  const bool young = std::any_of(shown.calls.begin(), shown.calls.end(),
                                 [now](const console::Call& c) {
                                   return now - c.since < kCallBlinkSeconds;
                                 });
  if (young && !blinkTimer_.isActive()) blinkTimer_.start();
}

void DeskPlan::DrawMarks() {
  if (!drawn_) return;
  const qint64 now = QDateTime::currentSecsSinceEpoch();
  bool anyBlinking = false;
  for (int d = 0; d < kDeskCount; ++d) {
    const console::DeskDisplay& shown = drawn_->desks[d];
    DeskMarks marks;
    marks.selected = shown.selected;
    marks.keyboardFocus = shown.selected && focusMark_;
    marks.speaking = shown.speakDown;
    marks.calling = shown.callOrder > 0;
    if (marks.calling) {
      const bool blinking = now - drawn_->calls[shown.callOrder - 1].since < kCallBlinkSeconds;
      anyBlinking = anyBlinking || blinking;
      marks.callBright = !blinking || blinkBright_;
    }
    desks_[static_cast<size_t>(d)]->setMarks(marks);
  }
  if (!anyBlinking && blinkTimer_.isActive()) {
    blinkTimer_.stop();
    blinkBright_ = true;
  }
}

void DeskPlan::BuildFirstStartHint() {
  firstStartHint_ = new QFrame(this);
  firstStartHint_->setObjectName(QStringLiteral("FirstStartHint"));
  firstStartHint_->setFrameShape(QFrame::StyledPanel);
  firstStartHint_->setAutoFillBackground(true);
  firstStartHint_->setAttribute(Qt::WA_NoMousePropagation);
  auto* layout = new QVBoxLayout(firstStartHint_);
  auto* text = new QLabel(QStringLiteral(
      "Кабинет ещё не выбран.\nОткройте файл описания кабинета (*.cld)\n"
      "или создайте стандартный кабинет из 16 столов."));
  text->setAlignment(Qt::AlignCenter);
  layout->addWidget(text);
  auto* buttons = new QHBoxLayout;
  auto* open = new QPushButton(QStringLiteral("Открыть файл кабинета..."));
  open->setObjectName(QStringLiteral("HintOpen"));
  auto* standard = new QPushButton(QStringLiteral("Создать стандартный кабинет"));
  standard->setObjectName(QStringLiteral("HintStandard"));
  buttons->addWidget(open);
  buttons->addWidget(standard);
  layout->addLayout(buttons);
  connect(open, &QPushButton::clicked, this, &DeskPlan::openRequested);
  connect(standard, &QPushButton::clicked, this, &DeskPlan::standardClassroomRequested);
  firstStartHint_->hide();
}

void DeskPlan::BuildDeskPanel(int deskNumber, const QIcon& headphones, const QIcon& microphone) {
  const int index = deskNumber - 1;
  const DeskLayout& names = kDeskLayouts[index];
  auto* panel = new DeskPanel(index, this);
  panel->setObjectName(Named("GroupBox", deskNumber));
  panel->setTitle(QString::number(deskNumber));
  panel->setFont(BoldFont(font()));
  panel->setGeometry(kDeskColumns[index % 4], (index / 4) * kDeskRowTop, console::kDeskPanelWidth, console::kDeskPanelHeight);
  panel->setColour(colours::kInfoBackground);
  panel->setFlat(false);

  // Desk 1's lower row was placed one pixel up and to the left.
  const int shift = deskNumber == 1 ? -1 : 0;

  panel->listen = new GlyphButton(1, true, panel);
  panel->listen->setObjectName(Named("SpeedButton", names.listen));
  panel->listen->setGeometry(92 + shift, 49 + shift, 23, 22);
  panel->listen->setIcon(headphones);

  panel->speak = new GlyphButton(2, true, panel);
  panel->speak->setObjectName(Named("SpeedButton", names.speak));
  panel->speak->setGeometry(117 + shift, 49 + shift, 23, 22);
  panel->speak->setIcon(microphone);

  panel->led = new GlyphButton(0, false, panel);
  panel->led->setObjectName(Named("SpeedButton", names.led));
  panel->led->setGeometry(117, 8, 23, 22);
  ShowLed(panel->led, false);

  panel->lineButton = new QPushButton(QString::fromUtf8(console::LineCaptionText(
                                          console::LineCaption::Off)),
                                      panel);
  panel->lineButton->setObjectName(Named("Button", names.line));
  panel->lineButton->setGeometry(5 + shift, 49 + shift, 56, 22);
  panel->lineButton->setAutoDefault(false);

  // The name box places and sizes itself at the plan's scale.
  panel->nameBox = new NameBox(panel);
  panel->nameBox->setProperty("scalesItself", true);
  panel->nameBox->setObjectName(Named("Edit", names.name));
  panel->nameBox->setFrame(false);
  panel->nameBox->setReadOnly(true);
  auto* validator = new NameValidator(panel->nameBox);
  connect(validator, &NameValidator::refused, this,
          [this, box = panel->nameBox](const QString& c) { RefuseNameCharacter(box, c); });
  panel->nameBox->setValidator(validator);
  panel->nameBox->setMaxLength(static_cast<int>(classroom::kMaxStudentNameCharacters));
  // Outside editing the box lets its panel's colour show through.
  SetNameBoxColour(panel->nameBox, Qt::transparent);
  QPalette boxColours = panel->nameBox->palette();
  boxColours.setColor(QPalette::Text, colours::kNameText);
  panel->nameBox->setPalette(boxColours);
  panel->heard = new HeardGaugeWidget(panel);
  panel->heard->hide();

  desks_[static_cast<size_t>(index)] = panel;
}

void DeskPlan::ShowHeard(bool shown) {
  for (DeskPanel* panel : desks_) panel->heard->setVisible(shown);
}

void DeskPlan::DrawHeard(const std::array<console::HeardGauge, kDeskCount>& heard) {
  for (int d = 0; d < kDeskCount; ++d) desks_[static_cast<size_t>(d)]->heard->setGauge(heard[d]);
}

void DeskPlan::ConnectDesk(DeskPanel* panel) {
  const int desk = panel->tag();
  using console::ConsoleModel;
  // clicked, never toggled: the redraw sets the buttons and must run nothing.
  connect(panel->listen, &QAbstractButton::clicked, this,
          [this, desk] { session_.Apply([desk](ConsoleModel& m) { m.ToggleListening(desk); }); });
  connect(panel->speak, &QAbstractButton::clicked, this,
          [this, desk] { session_.Apply([desk](ConsoleModel& m) { m.ToggleSpeaking(desk); }); });
  connect(panel->led, &QAbstractButton::clicked, this,
          [this, desk] { session_.Apply([desk](ConsoleModel& m) { m.PressLedButton(desk); }); });
  connect(panel->lineButton, &QAbstractButton::clicked, this,
          [this, desk] { session_.Apply([desk](ConsoleModel& m) { m.PressLineButton(desk); }); });
  connect(panel->nameBox, &QLineEdit::textEdited, this, [this, desk](const QString& text) {
    session_.Apply([desk, &text](ConsoleModel& m) { m.TypeName(desk, text.toStdString()); });
  });
  panel->nameBox->installEventFilter(this);
  connect(panel, &DeskPanel::mousePressed, this, &DeskPlan::PressOnDesk);
  connect(panel, &DeskPanel::mouseMoved, this, &DeskPlan::MoveOverDesk);
  connect(panel, &DeskPanel::mouseReleased, this, &DeskPlan::ReleaseOnDesk);
}

int DeskPlan::DeskOf(QObject* control) const {
  for (QObject* o = control; o != nullptr; o = o->parent()) {
    if (auto* panel = qobject_cast<DeskPanel*>(o)) return panel->tag();
  }
  return -1;
}

void DeskPlan::ShowLed(GlyphButton* led, bool on) {
  if (led == nullptr) return;
  // The "LED1ON" and "LED1OFF" pictures, drawn at the button's size.
  led->setIcon(glyphs::ButtonGlyph(on ? glyphs::Glyph::LedOn : glyphs::Glyph::LedOff));
  led->setTag(on ? 1 : 0);
}

void DeskPlan::SetNameBoxColour(QLineEdit* box, const QColor& colour) {
  if (box->palette().color(QPalette::Base) == colour) return;
  QPalette palette = box->palette();
  palette.setColor(QPalette::Base, colour);
  box->setPalette(palette);
}

void DeskPlan::DrawDesk(DeskPanel* panel, const console::DeskDisplay& shown) {
  const QString label = QString::fromStdString(shown.label);
  if (panel->title() != label) panel->setTitle(label);
  PlaceDesk(panel, shown);
  if (panel->isHidden() == shown.visible) panel->setVisible(shown.visible);
  // Setters that repaint even when nothing changes are called only on a change.
  if (panel->isFlat() != shown.selected) panel->setFlat(shown.selected);

  panel->listen->setChecked(shown.listenDown);
  panel->speak->setChecked(shown.speakDown);
  if ((panel->led->tag() != 0) != shown.ledOn) ShowLed(panel->led, shown.ledOn);
  const console::DeskButtonHints hints = console::HintsFor(shown);
  const QString listenHint = QString::fromStdString(hints.listen);
  if (panel->listen->toolTip() != listenHint) panel->listen->setToolTip(listenHint);
  const QString speakHint = QString::fromStdString(hints.speak);
  if (panel->speak->toolTip() != speakHint) panel->speak->setToolTip(speakHint);
  const QString ledHint = QString::fromStdString(hints.led);
  if (panel->led->toolTip() != ledHint) panel->led->setToolTip(ledHint);
  const QString caption = QString::fromUtf8(console::LineCaptionText(shown.line));
  if (panel->lineButton->text() != caption) panel->lineButton->setText(caption);
  panel->lineButton->setToolTip(QString::fromUtf8(console::LineClickHint(shown.nextLineClick)));

  const QColor colour = shown.highlighted ? colours::kHighlight : colours::kInfoBackground;
  if (panel->colour() != colour) panel->setColour(colour);

  QLineEdit* box = panel->nameBox;
  const QString name = QString::fromStdString(shown.name);
  if (box->text() != name) {
    box->setText(name);
    // A long name shows from its start; the whole of it is in the tooltip.
    if (!shown.editingName) box->setCursorPosition(0);
  }
  if (box->toolTip() != PlainToolTip(name)) box->setToolTip(PlainToolTip(name));
  // Confirmed: back to the start of the name.
  if (!shown.editingName && !box->isReadOnly()) box->setCursorPosition(0);
  if (box->isReadOnly() == shown.editingName) box->setReadOnly(!shown.editingName);
  if (box->hasFrame() != shown.editingName) box->setFrame(shown.editingName);
  SetNameBoxColour(box, shown.editingName ? colours::kWindow : QColor(Qt::transparent));
}

void DeskPlan::RefuseNameCharacter(QLineEdit* box, const QString& character) {
  QToolTip::showText(box->mapToGlobal(QPoint(0, box->height())),
                     QStringLiteral("Символ «%1» нельзя сохранить в файле кабинета "
                                    "(кодировка Windows-1251).")
                         .arg(character),
                     box);
}

void DeskPlan::PressOnDesk(DeskPanel* panel, QMouseEvent* event) {
  const int desk = panel->tag();
  session_.model().PressOnDesk(desk);
  // Only the left button moves a panel; any button selects it.
  drag_.Cancel();
  if (event->button() == Qt::LeftButton) {
    // The drag starts from the desk's place in the plan, not on the screen.
    const console::DeskDisplay& place = drawn_ ? drawn_->desks[static_cast<size_t>(desk)]
                                               : console::DeskDisplay{};
    drag_.Start(desk, event->globalPosition().toPoint(), QPoint(place.left, place.top));
    // The dragged panel passes over its neighbours, not under them.
    if (session_.model().DesksMovable()) panel->raise();
  }
  session_.Changed();
  // The menu acts on the desk the press has just selected.
  if (event->button() == Qt::RightButton) emit deskMenuRequested(event->globalPosition().toPoint());
}

void DeskPlan::MoveOverDesk(DeskPanel* panel, QMouseEvent* event) {
  const int desk = panel->tag();
  const int selectedBefore = session_.model().selectedDesk();
  session_.model().SelectDesk(desk);
  if (drag_.Dragging(desk) && (event->buttons() & Qt::LeftButton) && session_.model().DesksMovable()) {
    const QPoint to = drag_.PositionFor(event->globalPosition().toPoint(), [this](QPoint delta) {
      const console::PlanPoint d = plan_.DescribedDelta({delta.x(), delta.y()});
      return QPoint(d.x, d.y);
    });
    session_.model().MoveDesk(desk, to.x(), to.y());
  } else if (selectedBefore == desk) {
    return;
  }
  session_.Changed();
}

void DeskPlan::ReleaseOnDesk(DeskPanel* panel, QMouseEvent* event) {
  // A release of another button leaves a left-button drag going.
  if (event->button() != Qt::LeftButton) return;
  const int desk = panel->tag();
  if (!drag_.Dragging(desk)) return;
  const QPoint start = drag_.startPosition();
  drag_.Cancel();
  session_.Apply([&](console::ConsoleModel& m) { m.EndDeskMove(desk, start.x(), start.y()); });
}

bool DeskPlan::FilterNameBoxEvent(int desk, QLineEdit* box, QEvent* event) {
  using console::ConsoleModel;
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
      // A double click on a name opens that name: told from this box's own
      // presses as well as by the platform, so that neither a pairing the
      // platform missed nor its late double click can open another box.
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() != Qt::LeftButton) {
        nameClicks_.Forget();
        return false;
      }
      if (event->type() == QEvent::MouseButtonDblClick) {
        // After a second press already taken there is nothing more to do.
        if (nameClicks_.JustCompleted(desk, mouse->timestamp())) return true;
        nameClicks_.Paired(desk, mouse->timestamp());
      } else if (!nameClicks_.Press(desk, mouse->timestamp(),
                                    static_cast<uint64_t>(QApplication::doubleClickInterval()))) {
        return false;
      }
      session_.Apply([desk](ConsoleModel& m) { m.BeginNameEditing(desk); });
      box->setFocus(Qt::MouseFocusReason);
      return true;
    }
    case QEvent::KeyPress: {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        session_.Apply([desk](ConsoleModel& m) { m.PressEnterInName(desk); });
        return true;
      }
      if (key == Qt::Key_Escape && session_.model().EditingName(desk)) {
        session_.Apply([desk](ConsoleModel& m) { m.CancelNameEditing(desk); });
        return true;
      }
      return false;
    }
    case QEvent::FocusOut: {
      // The box's own menu (copy, paste) keeps the edit going.
      if (static_cast<QFocusEvent*>(event)->reason() == Qt::PopupFocusReason) return false;
      if (session_.model().EditingName(desk)) {
        session_.Apply([desk](ConsoleModel& m) { m.FinishNameEditing(desk); });
      }
      return false;
    }
    default:
      return false;
  }
}

void DeskPlan::DescribeControls(ControlDescriber& keys) {
  for (DeskPanel* panel : desks_) panel->DescribeControls(keys);
}
