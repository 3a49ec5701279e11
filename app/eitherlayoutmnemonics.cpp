// One filter on the application: menus are windows of their own, and the key
// that opens one arrives at whichever widget has the focus.
#include "app/eitherlayoutmnemonics.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>

#include "console/keyboardlayouts.h"

namespace {

// The letter a text's "&" marks, as Qt matches it (capital); 0 for none.
char32_t MnemonicOf(const QString& text) {
  const QKeySequence mnemonic = QKeySequence::mnemonic(text);
  if (mnemonic.isEmpty()) return 0;
  return static_cast<char32_t>(mnemonic[0].key());
}

char32_t MnemonicOf(const QAction* action) { return MnemonicOf(action->text()); }

char32_t Capital(char32_t c) { return QChar::toUpper(c); }

// A menu's (or the bar's) entry with that letter; nullptr for none.
QAction* EntryWithLetter(const QWidget& menu, char32_t capital) {
  for (QAction* action : menu.actions()) {
    if (action->isVisible() && !action->isSeparator() && MnemonicOf(action) == capital) {
      return action;
    }
  }
  return nullptr;
}

// The key a Qt key code stands for, as the US layout writes it; 0 for none.
char32_t LatinOf(int key) {
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return static_cast<char32_t>(key - Qt::Key_A + 'a');
  switch (key) {
    case Qt::Key_QuoteLeft: return U'`';
    case Qt::Key_BracketLeft: return U'[';
    case Qt::Key_BracketRight: return U']';
    case Qt::Key_Semicolon: return U';';
    case Qt::Key_Apostrophe: return U'\'';
    case Qt::Key_Comma: return U',';
    case Qt::Key_Period: return U'.';
    default: return 0;
  }
}

}  // namespace

EitherLayoutMnemonics::EitherLayoutMnemonics(QMenuBar& bar) : QObject(&bar), bar_(bar) {
  qApp->installEventFilter(this);
}

bool EitherLayoutMnemonics::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
  auto& receiver = *static_cast<QWidget*>(watched);
  const auto& key = *static_cast<QKeyEvent*>(event);
  if (qobject_cast<QMenu*>(&receiver) != nullptr || &receiver == &bar_) {
    return RetypeInMenu(receiver, key);
  }
  return TakeLetterOnKey(receiver, key);
}

bool EitherLayoutMnemonics::TakeLetterOnKey(QWidget& receiver, const QKeyEvent& key) {
  const Qt::KeyboardModifiers mods = key.modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
  if (mods != Qt::AltModifier) return false;
  const char32_t russian = console::RussianLetterOnLatinKey(LatinOf(key.key()));
  if (russian == 0) return false;
  const char32_t letter = Capital(russian);
  QWidget* window = receiver.window();
  if (window == bar_.window()) {
    QAction* top = EntryWithLetter(bar_, letter);
    if (top != nullptr && top->isEnabled()) {
      OpenMenu(*top);
      return true;
    }
  }
  // A dialog's buttons and labels, as their own Alt letter does it.
  for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
    if (button->isVisibleTo(window) && button->isEnabled() && MnemonicOf(button->text()) == letter) {
      if (button->focusPolicy() != Qt::NoFocus) button->setFocus(Qt::ShortcutFocusReason);
      button->animateClick();
      return true;
    }
  }
  for (QLabel* label : window->findChildren<QLabel*>()) {
    QWidget* buddy = label->buddy();
    if (buddy != nullptr && label->isVisibleTo(window) && buddy->isEnabled() &&
        MnemonicOf(label->text()) == letter) {
      buddy->setFocus(Qt::ShortcutFocusReason);
      return true;
    }
  }
  return false;
}

void EitherLayoutMnemonics::OpenMenu(QAction& top) {
  bar_.setActiveAction(&top);
  // Its first entry lit, as the Russian letter leaves it.
  if (QMenu* menu = top.menu()) {
    for (QAction* entry : menu->actions()) {
      if (!entry->isSeparator() && entry->isVisible() && entry->isEnabled()) {
        menu->setActiveAction(entry);
        break;
      }
    }
  }
}

bool EitherLayoutMnemonics::RetypeInMenu(QWidget& menu, const QKeyEvent& key) {
  if ((key.modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) || key.text().size() != 1) {
    return false;
  }
  const char32_t typed = key.text().at(0).unicode();
  // Either way round: a Latin letter ("&CSV") typed with the Russian layout on.
  char32_t other = console::RussianLetterOnLatinKey(typed);
  if (other == 0) other = console::LatinKeyOfRussianLetter(typed);
  if (other == 0 || EntryWithLetter(menu, Capital(typed)) != nullptr ||
      EntryWithLetter(menu, Capital(other)) == nullptr) {
    return false;
  }
  QKeyEvent retyped(QEvent::KeyPress, static_cast<int>(Capital(other)), key.modifiers(),
                    QString(QChar(static_cast<char16_t>(other))), key.isAutoRepeat());
  QCoreApplication::sendEvent(&menu, &retyped);
  return true;
}
