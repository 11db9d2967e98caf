// SPDX-License-Identifier: GPL-3.0-or-later
#include "hosts/qt/QtDialogWindow.h"

#include <algorithm>
#include <utility>
#include <cstdlib>

#include <QButtonGroup>
#include <QCoreApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFrame>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QFile>
#include <QUrl>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QListView>
#include <QMenu>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include "hosts/qt/QtHost.h"
#include "hosts/qt/QtListModel.h"
#include "hosts/qt/QtText.h"

namespace sx::qt {

using ui::ControlKind;
using ui::Event;
namespace style = ui::style;

namespace {
constexpr const char* kBytesProperty = "sxBytes";
constexpr const char* kShownProperty = "sxShown";
constexpr const char* kEllipsisProperty = "sxEllipsis";
constexpr const char* kIdProperty = "controlId";
bool g_closeNextWhenShown = false;
}  // namespace

namespace {
// A list box of one selection: the user moves it but cannot take it away (a Ctrl+click on the
// selected entry, Ctrl+Space, a click below the last entry), as a single-selection list box of
// the platform does.
class SingleSelectionList : public QListView {
  public:
    using QListView::QListView;

  protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override {
        const auto command = QListView::selectionCommand(index, event);
        if (!index.isValid()) return QItemSelectionModel::NoUpdate;
        if (command & (QItemSelectionModel::Deselect | QItemSelectionModel::Toggle))
            return selectionModel()->isSelected(index) ? QItemSelectionModel::NoUpdate
                                                       : QItemSelectionModel::ClearAndSelect;
        return command;
    }
};
}  // namespace

QString PictureFile(int id) {
    const ui::PictureResource* r = ui::FindPicture(id);
    return r ? QStringLiteral(":/sortilex/") + QString::fromLatin1(r->fileName) : QString();
}

void QtDialogWindow::CloseNextWindowWhenShown() {
    g_closeNextWhenShown = true;
}

QtDialogWindow::QtDialogWindow(ui::CDialog& dlg, QWidget* parent) : QDialog(parent), m_dlg(dlg) {
    Build();
    setAcceptDrops(dlg.AcceptsDroppedFiles());
}

namespace {
// The local files of a drag, as the file system names them; none when any of it is no local file.
std::vector<std::string> LocalFiles(const QMimeData* data) {
    std::vector<std::string> paths;
    if (data == nullptr || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) return {};
        paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
    }
    return paths;
}
}  // namespace

void QtDialogWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!LocalFiles(event->mimeData()).empty() && isEnabled()) event->acceptProposedAction();
}

void QtDialogWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (!LocalFiles(event->mimeData()).empty() && isEnabled()) event->acceptProposedAction();
}

void QtDialogWindow::dropEvent(QDropEvent* event) {
    const std::vector<std::string> paths = LocalFiles(event->mimeData());
    if (paths.empty()) return;
    event->acceptProposedAction();
    // The install runs after the drop has ended, so that the source is not held meanwhile.
    QTimer::singleShot(0, this, [this, paths] { m_dlg.DispatchDropFiles(paths); });
}

void QtDialogWindow::Build() {
    const ui::DialogTemplate* t = m_dlg.Template();
    if (t == nullptr) return;
    setFont(QtHost::DialogFont());
    setWindowTitle(DecodeForDisplay(t->caption));
    Qt::WindowFlags flags = ((t->exStyle & style::ExAppWindow) ? Qt::Window : Qt::Dialog) |
                            Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (t->style & style::MinimizeBox) flags |= Qt::WindowMinimizeButtonHint;
    setWindowFlags(flags);
    setFixedSize(QtHost::DluToPixelsX(t->cx), QtHost::DluToPixelsY(t->cy));

    QWidget* previousTabStop = nullptr;
    for (const ui::ControlTemplate& c : t->controls) {
        QWidget* w = CreateControl(c);
        w->setGeometry(QtHost::DluToPixelsX(c.x), QtHost::DluToPixelsY(c.y),
                       QtHost::DluToPixelsX(c.cx), QtHost::DluToPixelsY(c.cy));
        if (c.kind == ControlKind::Picture || c.kind == ControlKind::Icon) {
            // A picture control takes the size of its picture.
            if (auto* l = qobject_cast<QLabel*>(w); l && !l->pixmap().isNull())
                w->resize(l->pixmap().size());
        }
        if (c.kind == ControlKind::Label) {
            // The nearest font on this system may be wider than the one the layout was drawn
            // with: a label grows to the right rather than cut its text.
            const QSize hint = w->sizeHint();
            w->resize(std::max(w->width(), hint.width()), std::max(w->height(), hint.height()));
        }
        w->setProperty(kIdProperty, c.id);
        w->setAccessibleName(
            DecodeForDisplay(ui::AccessibleName(*t, c, ui::Host().AppName())));
        if (c.id != ui::NoControlId) {
            w->setObjectName(QStringLiteral("ctl%1").arg(c.id));
            m_controls.insert(c.id, w);
        }
        if (c.style & style::TabStop) {
            w->setFocusPolicy(Qt::StrongFocus);
            if (previousTabStop) setTabOrder(previousTabStop, w);
            previousTabStop = w;
        }
        w->installEventFilter(this);
        // A list's right clicks arrive at its viewport.
        if (auto* area = qobject_cast<QAbstractScrollArea*>(w)) area->viewport()->installEventFilter(this);
    }
}

namespace {
// A scrolling control's border as a plain line drawn by the style sheet: the style's own frame
// loses its top and right lines under a fractional scale (1.5), where the contents, placed on
// rounded pixels, paint over them.
void DrawBorder(QAbstractScrollArea* area, bool border) {
    if (border)
        area->setStyleSheet(QStringLiteral("%1 { border: 1px solid palette(mid); }")
                                .arg(QString::fromLatin1(area->metaObject()->className())));
    else
        area->setFrameShape(QFrame::NoFrame);
}
}  // namespace

QWidget* QtDialogWindow::CreateControl(const ui::ControlTemplate& c) {
    const bool tabStop = (c.style & style::TabStop) != 0;
    switch (c.kind) {
        case ControlKind::Frame: {
            auto* f = new QFrame(this);
            f->setFrameStyle(QFrame::Box | QFrame::Sunken);
            f->lower();
            return f;
        }
        case ControlKind::Label: {
            auto* l = new QLabel(DecodeForDisplay(c.text), this);
            l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            l->setWordWrap(false);
            l->setProperty(kEllipsisProperty, (c.style & style::StaticEndEllipsis) != 0);
            return l;
        }
        case ControlKind::Picture:
        case ControlKind::Icon: {
            auto* l = new QLabel(this);
            const QString file = PictureFile(std::atoi(c.text));
            if (c.kind == ControlKind::Icon)
                l->setPixmap(QIcon(file).pixmap(32, 32));
            else
                l->setPixmap(QPixmap(file));
            return l;
        }
        case ControlKind::PushButton: {
            auto* b = new QPushButton(DecodeForDisplay(c.text), this);
            // Enter is the dialog's business (see HandleKey), not an auto-default button's.
            b->setAutoDefault(false);
            // Drawn as the default button; what Enter does stays with the dialog.
            b->setDefault((c.style & style::ButtonDefault) != 0);
            if (!tabStop) b->setFocusPolicy(Qt::ClickFocus);
            const int id = c.id;
            connect(b, &QPushButton::clicked, this,
                    [this, id] { m_dlg.DispatchCommand(id, Event::Clicked); });
            return b;
        }
        case ControlKind::RadioButton: {
            auto* b = new QPushButton(DecodeForDisplay(c.text), this);
            b->setCheckable(true);
            b->setAutoDefault(false);
            b->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::ClickFocus);
            if (m_radioGroup == nullptr || (c.style & style::Group)) {
                m_radioGroup = new QButtonGroup(this);
                m_radioGroup->setExclusive(true);
            }
            m_radioGroup->addButton(b);
            const int id = c.id;
            // The button is checked before its handler runs, as an automatic radio button is.
            connect(b, &QPushButton::clicked, this, [this, b, id] {
                b->setChecked(true);
                m_dlg.DispatchCommand(id, Event::Clicked);
            });
            return b;
        }
        case ControlKind::Edit: {
            if (c.style & style::EditMultiLine) {
                auto* e = new QPlainTextEdit(this);
                e->setReadOnly((c.style & style::EditReadOnly) != 0);
                e->setVerticalScrollBarPolicy((c.style & style::VScroll) ? Qt::ScrollBarAlwaysOn
                                                                         : Qt::ScrollBarAlwaysOff);
                e->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
                e->setLineWrapMode(QPlainTextEdit::WidgetWidth);
                e->setTabChangesFocus(true);
                if (!tabStop) e->setFocusPolicy(Qt::ClickFocus);
                DrawBorder(e, (c.style & style::Border) != 0);
                return e;
            }
            auto* e = new QLineEdit(this);
            const int id = c.id;
            // Only the user's edits, never the program's own SetText.
            connect(e, &QLineEdit::textEdited, this, [this, id] { m_dlg.DispatchCommand(id, Event::Changed); });
            e->setReadOnly((c.style & style::EditReadOnly) != 0);
            e->setAlignment((c.style & style::EditCenter) ? Qt::AlignCenter : Qt::AlignLeft);
            e->setFrame((c.style & style::Border) != 0);
            if (!tabStop) e->setFocusPolicy(Qt::ClickFocus);
            return e;
        }
        case ControlKind::ListBox: {
            auto* l = new SingleSelectionList(this);
            l->setModel(new ListModel(l));
            l->setSelectionMode(QAbstractItemView::SingleSelection);
            l->setEditTriggers(QAbstractItemView::NoEditTriggers);
            l->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
            l->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            l->setUniformItemSizes(true);
            if (!tabStop) l->setFocusPolicy(Qt::ClickFocus);
            DrawBorder(l, (c.style & style::Border) != 0);
            const int id = c.id;
            const bool notify = (c.style & style::ListNotify) != 0;
            connect(l->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                    [this, id, notify] {
                        // Only a user's change is reported, never the program's own selection.
                        if (notify && !m_programmatic) m_dlg.DispatchCommand(id, Event::SelChange);
                    });
            return l;
        }
    }
    return new QWidget(this);
}

void QtDialogWindow::Show(bool focusFirstTabStop, bool modal) {
    setWindowModality(modal ? Qt::ApplicationModal : Qt::NonModal);
    // The owner takes no input while a modal window shows over it; this window is a child of
    // the owner's, so it takes its own back.
    QWidget* owner = parentWidget();
    if (modal && owner != nullptr && owner->isEnabled()) {
        owner->setEnabled(false);
        m_disabledOwner = true;
        setEnabled(true);
    }
    show();
    // Over the middle of its owner, at every scale: the toolkit places a dialog before its frame
    // and its scaled size are known.
    if (owner != nullptr) {
        const QRect frame = frameGeometry();
        move(pos() + owner->frameGeometry().center() - frame.center());
    }
    raise();
    activateWindow();
    if (focusFirstTabStop) {
        if (const ui::DialogTemplate* t = m_dlg.Template()) {
            for (const ui::ControlTemplate& c : t->controls) {
                if ((c.style & style::TabStop) && Control(c.id)) {
                    Control(c.id)->setFocus(Qt::TabFocusReason);
                    break;
                }
            }
        }
    }
    if (g_closeNextWhenShown) {
        g_closeNextWhenShown = false;
        QTimer::singleShot(0, this,
                           [this] { m_dlg.DispatchCommand(ui::IdCancel, Event::Clicked); });
    }
}

void QtDialogWindow::Hide() {
    // The owner takes input again before this window goes, so that it becomes the active one.
    QWidget* owner = parentWidget();
    if (m_disabledOwner) owner->setEnabled(true);
    hide();
    if (m_disabledOwner) owner->activateWindow();
    m_disabledOwner = false;
}

void QtDialogWindow::SetEnabled(bool enabled) {
    setEnabled(enabled);
}

QListView* QtDialogWindow::List(int id) const {
    return qobject_cast<QListView*>(Control(id));
}

ListModel* QtDialogWindow::Model(int id) const {
    QListView* l = List(id);
    return l ? static_cast<ListModel*>(l->model()) : nullptr;
}

void QtDialogWindow::SetText(int id, const std::string& text) {
    QWidget* w = Control(id);
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
        const QString shown = DecodeForDisplay(text);
        e->setText(shown);
        e->setProperty(kBytesProperty, QByteArray::fromStdString(text));
        e->setProperty(kShownProperty, shown);
    } else if (auto* m = qobject_cast<QPlainTextEdit*>(w)) {
        const QString shown = ForMultiLine(text);
        m->setPlainText(shown);
        m->setProperty(kBytesProperty, QByteArray::fromStdString(text));
        m->setProperty(kShownProperty, shown);
    } else if (auto* b = qobject_cast<QPushButton*>(w)) {
        b->setText(DecodeForDisplay(text));
    } else if (auto* l = qobject_cast<QLabel*>(w)) {
        const QString shown = DecodeForDisplay(text);
        l->setText(l->property(kEllipsisProperty).toBool()
                       ? l->fontMetrics().elidedText(shown, Qt::ElideRight, l->width())
                       : shown);
    }
}

ui::ControlText QtDialogWindow::GetText(int id) const {
    QWidget* w = Control(id);
    QString current;
    if (auto* e = qobject_cast<QLineEdit*>(w))
        current = e->text();
    else if (auto* m = qobject_cast<QPlainTextEdit*>(w))
        current = m->toPlainText();
    else if (auto* b = qobject_cast<QPushButton*>(w))
        return EncodeFromDisplay(b->text());
    else if (auto* l = qobject_cast<QLabel*>(w))
        return EncodeFromDisplay(l->text());
    else
        return {};
    // Text the program put there comes back byte for byte, whatever the display made of it.
    if (w->property(kShownProperty).toString() == current && w->property(kBytesProperty).isValid())
        return {w->property(kBytesProperty).toByteArray().toStdString(), true};
    return EncodeFromDisplay(current);
}

void QtDialogWindow::SetCheck(int id, bool checked) {
    auto* b = qobject_cast<QPushButton*>(Control(id));
    if (b == nullptr) return;
    // An exclusive group cannot show "nothing checked"; lift it while unchecking.
    QButtonGroup* group = b->group();
    const bool exclusive = group && group->exclusive();
    if (group && !checked) group->setExclusive(false);
    b->setChecked(checked);
    if (group && !checked) group->setExclusive(exclusive);
}

bool QtDialogWindow::GetCheck(int id) const {
    auto* b = qobject_cast<QPushButton*>(Control(id));
    return b && b->isChecked();
}

void QtDialogWindow::ListReset(int id) {
    if (ListModel* m = Model(id)) {
        m_programmatic = true;
        m->Reset();
        m_programmatic = false;
    }
}

void QtDialogWindow::ListInsert(int id, int index, const std::string& text) {
    if (ListModel* m = Model(id)) {
        m_programmatic = true;
        m->Insert(index, text);
        m_programmatic = false;
    }
}

int QtDialogWindow::ListCount(int id) const {
    ListModel* m = Model(id);
    return m ? m->Count() : 0;
}

std::string QtDialogWindow::ListText(int id, int index) const {
    ListModel* m = Model(id);
    return (m && index >= 0 && index < m->Count()) ? m->Text(index) : std::string();
}

void QtDialogWindow::ListSetCurSel(int id, int index) {
    QListView* l = List(id);
    ListModel* m = Model(id);
    if (l == nullptr || m == nullptr) return;
    m_programmatic = true;
    m->Publish();
    if (index < 0) {
        l->selectionModel()->clear();
    } else {
        const QModelIndex row = m->index(index);
        l->selectionModel()->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect);
        l->scrollTo(row);
    }
    m_programmatic = false;
}

int QtDialogWindow::ListCurSel(int id) const {
    QListView* l = List(id);
    if (l == nullptr) return ui::ListError;
    const QModelIndexList selected = l->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? ui::ListError : selected.constFirst().row();
}

void QtDialogWindow::SetIcon(ui::IconHandle icon, bool) {
    if (icon != nullptr) setWindowIcon(QIcon(PictureFile(icon->id)));
}

bool QtDialogWindow::AppendMenuEntry(unsigned id, const std::string& text) {
    MenuItem item;
    item.entry.id = id;
    item.entry.text = text;
    m_menu.append(std::move(item));
    return true;
}

bool QtDialogWindow::AppendSubmenu(const std::string& text, const std::vector<ui::MenuEntry>& entries) {
    MenuItem item;
    item.entry.text = text;
    item.submenu = entries;
    m_menu.append(std::move(item));
    return true;
}

void QtDialogWindow::PlatformSysCommand(unsigned id, std::intptr_t) {
    if ((id & ui::SysCommandMask) == ui::SysMinimize) showMinimized();
}

void QtDialogWindow::AddWindowMenu(QMenu& menu) {
    // The window menu's own entries, as the platform offers them, then the program's.
    const ui::DialogTemplate* t = m_dlg.Template();
    if (t && (t->style & style::MinimizeBox))
        menu.addAction(QStringLiteral("Mi&nimize"), this,
                       [this] { m_dlg.DispatchSysCommand(ui::SysMinimize, 0); });
    menu.addAction(QStringLiteral("&Close"), this,
                   [this] { m_dlg.DispatchSysCommand(ui::SysClose, 0); });
    const auto add = [this](QMenu& to, const ui::MenuEntry& e) {
        if (e.text.empty()) {
            to.addSeparator();
            return;
        }
        const unsigned cmd = e.id;
        // Texts of the program (Windows-1252) or names of the file system (UTF-8).
        QAction* a = to.addAction(ForList(e.text), this,
                                  [this, cmd] { m_dlg.DispatchSysCommand(cmd, 0); });
        a->setCheckable(e.checked);
        a->setChecked(e.checked);
    };
    for (const MenuItem& item : m_menu) {
        if (item.submenu.empty()) {
            add(menu, item.entry);
            continue;
        }
        QMenu* sub = menu.addMenu(ForList(item.entry.text));
        for (const ui::MenuEntry& e : item.submenu) add(*sub, e);
    }
}

void QtDialogWindow::ShowWindowMenu(const QPoint& globalPos) {
    QMenu menu(this);
    AddWindowMenu(menu);
    menu.exec(globalPos);
}

unsigned QtDialogWindow::ShowControlMenu(int id, const std::vector<ui::MenuEntry>& entries) {
    QMenu menu(this);
    m_chosen = 0;
    for (const ui::MenuEntry& e : entries) {
        if (e.text.empty()) {
            menu.addSeparator();
            continue;
        }
        const unsigned cmd = e.id;
        QAction* a = menu.addAction(DecodeForDisplay(e.text), this, [this, cmd] { m_chosen = cmd; });
        a->setEnabled(e.enabled);
    }
    menu.addSeparator();
    AddWindowMenu(menu);
    QWidget* control = Control(id);
    menu.exec(m_menuPos.isNull() && control ? KeyboardMenuPos(control) : m_menuPos);
    m_menuPos = {};
    return std::exchange(m_chosen, 0u);
}

QPoint QtDialogWindow::KeyboardMenuPos(QWidget* control) const {
    // Beside the list's current entry, as the platform puts a menu the keyboard opened.
    if (auto* list = qobject_cast<QListView*>(control); list && list->currentIndex().isValid())
        return list->viewport()->mapToGlobal(list->visualRect(list->currentIndex()).center());
    return control->mapToGlobal(QPoint(control->width() / 4, control->height() / 4));
}

int QtDialogWindow::MenuControl(QObject* watched) const {
    for (auto it = m_controls.begin(); it != m_controls.end(); ++it) {
        const auto* area = qobject_cast<QAbstractScrollArea*>(it.value());
        if ((watched == it.value() || (area && watched == area->viewport())) &&
            m_dlg.Handles(it.key(), Event::ContextMenu))
            return it.key();
    }
    return 0;
}

bool QtDialogWindow::HandleKey(QObject* watched, QKeyEvent* key) {
    switch (key->key()) {
        case Qt::Key_Escape:
            m_dlg.DispatchCommand(ui::IdCancel, Event::Clicked);
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter: {
            // Enter clicks the focused push button; elsewhere it is the dialog's default command.
            auto* b = qobject_cast<QPushButton*>(watched);
            if (b && !b->isCheckable())
                b->click();
            else
                m_dlg.DispatchDefaultCommand();
            return true;
        }
        case Qt::Key_Delete: {
            const int control = MenuControl(watched);
            if (control == 0 || !m_dlg.Handles(control, Event::DeleteKey)) return false;
            m_dlg.DispatchCommand(control, Event::DeleteKey);
            return true;
        }
        case Qt::Key_Menu:
        case Qt::Key_F10: {
            if (key->key() == Qt::Key_F10 && !(key->modifiers() & Qt::ShiftModifier)) return false;
            // Both ask the control with the focus for its menu, as the menu key does on every
            // platform: the list its own, a field its Cut/Copy/Paste, elsewhere the window's.
            auto* widget = qobject_cast<QWidget*>(watched);
            if (widget == nullptr) return false;
            const QPoint at = widget == this ? QPoint(width() / 4, height() / 4)
                                             : widget->rect().center();
            QContextMenuEvent menu(QContextMenuEvent::Keyboard, at, widget->mapToGlobal(at),
                                   key->modifiers());
            QCoreApplication::sendEvent(widget, &menu);
            return true;
        }
        default:
            return false;
    }
}

bool QtDialogWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && HandleKey(watched, static_cast<QKeyEvent*>(event)))
        return true;
    // A right click on a list keeps its selection, as a list box of the platform does: the menu
    // it opens is about what is selected (and the callsign typed for it stays in its field).
    if ((event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        for (QWidget* control : m_controls)
            if (auto* list = qobject_cast<QListView*>(control); list && watched == list->viewport())
                return true;
    }
    if (event->type() == QEvent::ContextMenu) {
        if (const int control = MenuControl(watched)) {
            auto* menu = static_cast<QContextMenuEvent*>(event);
            if (menu->reason() == QContextMenuEvent::Mouse) m_menuPos = menu->globalPos();
            m_dlg.DispatchCommand(control, Event::ContextMenu);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void QtDialogWindow::keyPressEvent(QKeyEvent* event) {
    if (!HandleKey(this, event)) QDialog::keyPressEvent(event);
}

void QtDialogWindow::reject() {
    m_dlg.DispatchCommand(ui::IdCancel, Event::Clicked);
}

void QtDialogWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    m_dlg.DispatchSysCommand(ui::SysClose, 0);
}

void QtDialogWindow::contextMenuEvent(QContextMenuEvent* event) {
    ShowWindowMenu(event->globalPos());
}

}  // namespace sx::qt
