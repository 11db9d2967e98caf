// SPDX-License-Identifier: GPL-3.0-or-later
// One dialog's window under Qt: the template's controls as widgets, user actions forwarded to
// the dialog.
#pragma once

#include <QDialog>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>

#include "ui/Dialog.h"

class QButtonGroup;
class QListView;

namespace sx::qt {

class ListModel;

class QtDialogWindow : public QDialog, public ui::IDialogWindow {
  public:
    QtDialogWindow(ui::CDialog& dlg, QWidget* parent);

    // For start-up measurements: the next window shown closes at once.
    static void CloseNextWindowWhenShown();

    // ui::IDialogWindow
    void Show(bool focusFirstTabStop, bool modal) override;
    void Hide() override;
    void SetEnabled(bool enabled) override;
    bool IsEnabled() const override { return isEnabled(); }
    void SetText(int id, const std::string& text) override;
    ui::ControlText GetText(int id) const override;
    void SetCheck(int id, bool checked) override;
    bool GetCheck(int id) const override;
    void ListReset(int id) override;
    void ListInsert(int id, int index, const std::string& text) override;
    int ListCount(int id) const override;
    std::string ListText(int id, int index) const override;
    void ListSetCurSel(int id, int index) override;
    int ListCurSel(int id) const override;
    void SetIcon(ui::IconHandle icon, bool big) override;
    bool AppendMenuEntry(unsigned id, const std::string& text) override;
    bool AppendSubmenu(const std::string& text, const std::vector<ui::MenuEntry>& entries) override;
    unsigned ShowControlMenu(int id, const std::vector<ui::MenuEntry>& entries) override;
    void PlatformSysCommand(unsigned id, std::intptr_t param) override;
    bool IsMinimized() const override { return isMinimized(); }
    // X11 and Wayland draw minimized windows themselves.
    std::unique_ptr<ui::IPaintContext> BeginPaint() override { return nullptr; }
    void DefaultPaint() override {}

    QWidget* Control(int id) const { return m_controls.value(id, nullptr); }
    // Shows the window menu's entries as a context menu at a global position.
    void ShowWindowMenu(const QPoint& globalPos);
    // Where a control's menu opens when the keyboard asked for it.
    QPoint KeyboardMenuPos(QWidget* control) const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void reject() override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void Build();
    QWidget* CreateControl(const ui::ControlTemplate& c);
    bool HandleKey(QObject* watched, QKeyEvent* key);
    // The window menu's entries, added to a menu.
    void AddWindowMenu(QMenu& menu);
    // The control a widget is, or lies in (a list's viewport), whose menu the dialog handles.
    int MenuControl(QObject* watched) const;
    unsigned m_chosen = 0;
    QPoint m_menuPos;
    QListView* List(int id) const;
    ListModel* Model(int id) const;

    ui::CDialog& m_dlg;
    QHash<int, QWidget*> m_controls;
    // The stand-in for the window menu: an entry, or a submenu of entries.
    struct MenuItem {
        ui::MenuEntry entry;
        std::vector<ui::MenuEntry> submenu;
    };
    QList<MenuItem> m_menu;
    QButtonGroup* m_radioGroup = nullptr;
    bool m_programmatic = false;
    bool m_disabledOwner = false;
};

// The file a picture resource is read from.
QString PictureFile(int id);

}  // namespace sx::qt
