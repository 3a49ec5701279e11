// The Alt letters of menus and dialogs on their keys whichever layout is on:
// with the Latin layout, Alt and the key of "Ф" open "Файл", in an open menu
// the key of "Р" opens "Расстановки", and in a dialog Alt and the key of "Д"
// presses "Да", as they do with the Russian layout; with the Russian layout,
// the key of "C" takes "&CSV" in an open menu. Qt matches a letter only in
// the layout that is on.
#pragma once

#include <QObject>

class QAction;
class QKeyEvent;
class QMenuBar;
class QWidget;

class EitherLayoutMnemonics : public QObject {
  Q_OBJECT
 public:
  // Watches the keys of every window and menu of the application; goes with `bar`.
  explicit EitherLayoutMnemonics(QMenuBar& bar);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Alt and a Latin key nothing took: in the bar's window the menu whose
  // letter is on that key opens; in a dialog, the button or the label's field.
  bool TakeLetterOnKey(QWidget& receiver, const QKeyEvent& key);
  void OpenMenu(QAction& top);
  // A key in an open menu (or the bar, Alt released) that matches no entry's
  // letter: it is given again as the other layout's letter on the same key.
  bool RetypeInMenu(QWidget& menu, const QKeyEvent& key);

  QMenuBar& bar_;
};
