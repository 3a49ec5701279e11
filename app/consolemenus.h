// The menus, made from the shared commands: the menu bar with every command
// and its key, the desk menu ("PopupMenu1") and the key table (F1).
#pragma once

#include <QDialog>
#include <QMenu>
#include <QMenuBar>

class ConsoleCommands;

// Makes `menu` (and its submenus) wide enough for every entry's whole text
// and key in the font and style it is shown with, each time it opens.
void KeepEntriesWhole(QMenu* menu);
// The width `menu` needs for that.
int WholeEntriesWidth(const QMenu* menu);

// The desk menu: the selected desk's commands and, at its foot, the round.
QMenu* BuildDeskMenu(const ConsoleCommands& commands, QWidget* parent);

// "&Файл", "&Столы", "&Урок", "&Настройки", "&Справка"; the lesson menu takes
// the tools' own submenus (arrangements, class list).
QMenuBar* BuildMenuBar(const ConsoleCommands& commands, QMenu* deskMenu, QMenu* arrangements,
                       QMenu* classList, QWidget* parent);

// Every command with its key, as the menus show them.
class KeyTableDialog : public QDialog {
  Q_OBJECT
 public:
  KeyTableDialog(const ConsoleCommands& commands, QWidget* parent);
};
