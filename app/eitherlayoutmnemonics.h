// The menus' Alt letters on their keys whichever layout is on: with the Latin
// layout, Alt and the key of "Ф" open "Файл", and in an open menu the key of
// "Р" opens "Расстановки", as they do with the Russian layout. Qt matches a
// letter only in the layout that is on.
#pragma once

#include <QObject>

class QKeyEvent;
class QMenuBar;
class QWidget;

class EitherLayoutMnemonics : public QObject {
  Q_OBJECT
 public:
  // Watches the keys of `bar`'s window and of every menu; goes with `bar`.
  explicit EitherLayoutMnemonics(QMenuBar& bar);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Alt and a Latin key nothing took, in the bar's window: the menu whose
  // letter is on that key opens.
  bool OpenMenuOnKey(QWidget& receiver, const QKeyEvent& key);
  // A key in an open menu (or the bar, Alt released) that matches no entry's
  // letter: it is given again as the Russian letter on the same key.
  bool RetypeInMenu(QWidget& menu, const QKeyEvent& key);

  QMenuBar& bar_;
};
