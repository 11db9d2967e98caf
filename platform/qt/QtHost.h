// The Qt window backend: builds real widgets from the dialog templates.
#pragma once

#include <QDialog>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <vector>

#include "platform/Dialog.h"

#include <QAbstractListModel>

class QWidget;
class QListView;
class QButtonGroup;

namespace sx {

class QtDialogWindow;

// The entries of a list box: single-byte text, decoded only when a row is drawn. Entries added
// at the end are shown in one batch (before the program selects one, or when the event loop
// runs), so a list of thousands fills without a signal per entry.
class ListModel : public QAbstractListModel {
  public:
    using QAbstractListModel::QAbstractListModel;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    void Reset();
    void Insert(int index, const std::string& text);
    int Count() const { return static_cast<int>(m_entries.size()); }
    const std::string& Text(int index) const { return m_entries[static_cast<size_t>(index)]; }
    // Shows the entries added since the last batch.
    void Publish();

  private:
    std::vector<std::string> m_entries;
    int m_published = 0;
    bool m_publishQueued = false;
};

class QtHost : public IHost {
  public:
    int RunModal(CDialog& dlg) override;
    int MessageBox(CDialog* owner, const std::string& text, const char* caption,
                   unsigned type) override;
    std::optional<std::string> OpenFileDialog(const FileDialogRequest& request) override;
    std::string AppName() const override;

    // For tests and tools: creates and shows the dialog's window without a modal loop of its
    // own. The window lives until CloseModeless.
    QtDialogWindow* OpenModeless(CDialog& dlg);
    void CloseModeless(CDialog& dlg);

    // The dialog font and its base units (pixels per 4 horizontal and 8 vertical dialog units).
    static QFont DialogFont();
    static QSize BaseUnits();
    // True when the control's text fits inside its rectangle in the font.
    static bool TextFits(const ControlTemplate& c, const QFont& font);

  private:
    QWidget* TopWindow() const;
    std::vector<QtDialogWindow*> m_stack;
};

class QtDialogWindow : public QDialog, public IDialogWindow {
  public:
    QtDialogWindow(CDialog& dlg, QWidget* parent);

    // IDialogWindow
    void SetText(int id, const std::string& text) override;
    ControlText GetText(int id) const override;
    void SetCheck(int id, bool checked) override;
    bool GetCheck(int id) const override;
    void ListReset(int id) override;
    void ListInsert(int id, int index, const std::string& text) override;
    int ListCount(int id) const override;
    std::string ListText(int id, int index) const override;
    void ListSetCurSel(int id, int index) override;
    int ListCurSel(int id) const override;
    void SetIcon(HICON icon, bool big) override;
    bool AppendMenuEntry(unsigned id, const std::string& text) override;
    void DefaultSysCommand(unsigned id, long param) override;
    void End(int result) override;

    QWidget* Control(int id) const { return m_controls.value(id, nullptr); }
    // The stand-in for the window menu: a separator is an entry with an empty text.
    const QList<QPair<unsigned, QString>>& MenuEntries() const { return m_menu; }
    void FocusFirstTabStop();
    // Shows the window menu's entries as a context menu at a global position.
    void ShowWindowMenu(const QPoint& globalPos);

    static int DluToPixelsX(int dlu);
    static int DluToPixelsY(int dlu);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void reject() override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void Build();
    QWidget* CreateControl(const ControlTemplate& c);
    bool HandleKey(QObject* watched, QKeyEvent* key);
    QListView* List(int id) const;
    ListModel* Model(int id) const;

    CDialog& m_dlg;
    QHash<int, QWidget*> m_controls;
    QList<QPair<unsigned, QString>> m_menu;
    QButtonGroup* m_radioGroup = nullptr;
    int m_defaultButton = 0;
    bool m_programmatic = false;
};

// Text conversions for display: single-byte text to what the user sees and back.
QString DecodeForDisplay(const std::string& bytes);
ControlText EncodeFromDisplay(const QString& text);

}  // namespace sx
