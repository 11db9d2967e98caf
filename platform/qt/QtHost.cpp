#include "platform/qt/QtHost.h"

#include <algorithm>

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStringDecoder>
#include <QTimer>

#include "platform/Os.h"
#include "platform/Text.h"

namespace sx {

namespace {

constexpr const char* kBytesProperty = "sxBytes";
constexpr const char* kShownProperty = "sxShown";
constexpr const char* kIdProperty = "controlId";

QString PictureFile(int id) {
    const PictureResource* r = FindPicture(id);
    return r ? QStringLiteral(":/sortilex/") + QString::fromLatin1(r->fileName) : QString();
}

bool IsAscii(const std::string& s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

bool IsValidUtf8(const std::string& s) {
    QStringDecoder dec(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    (void)dec.decode(QByteArrayView(s.data(), static_cast<qsizetype>(s.size())));
    return !dec.hasError();
}

// What a multi-line edit shows: its lines as the text holds them, whatever their line ends.
QString ForMultiLine(const std::string& bytes) {
    QString shown = DecodeForDisplay(bytes);
    shown.replace(QStringLiteral("\r\r\n"), QStringLiteral("\n"));
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.remove(QChar('\r'));
    return shown;
}

// List entries are file names (the file system's encoding) or lines of the game's files.
QString ForList(const std::string& bytes) {
    if (!IsAscii(bytes) && IsValidUtf8(bytes))
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return DecodeForDisplay(bytes);
}

}  // namespace

QString DecodeForDisplay(const std::string& bytes) {
    const auto size = static_cast<qsizetype>(bytes.size());
    if (IsAscii(bytes)) return QString::fromLatin1(bytes.data(), size);
    QString out(size, Qt::Uninitialized);
    QChar* d = out.data();
    for (qsizetype i = 0; i < size; ++i)
        d[i] = QChar(static_cast<char16_t>(
            Cp1252ToUnicode(static_cast<unsigned char>(bytes[static_cast<size_t>(i)]))));
    return out;
}

ControlText EncodeFromDisplay(const QString& text) {
    ControlText result;
    result.bytes.reserve(static_cast<size_t>(text.size()));
    for (QChar ch : text) {
        unsigned char b = 0;
        if (UnicodeToCp1252(ch.unicode(), b)) {
            result.bytes += static_cast<char>(b);
        } else {
            result.bytes += '?';
            result.exact = false;
        }
    }
    return result;
}

// ---- ListModel ----------------------------------------------------------------------------------

int ListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_published;
}

QVariant ListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_published) return {};
    if (role == Qt::DisplayRole) return ForList(Text(index.row()));
    return {};
}

void ListModel::Reset() {
    beginResetModel();
    m_entries.clear();
    m_published = 0;
    endResetModel();
}

void ListModel::Insert(int index, const std::string& text) {
    if (index >= m_published && index == Count()) {
        m_entries.push_back(text);
        if (!m_publishQueued) {
            m_publishQueued = true;
            QMetaObject::invokeMethod(
                this, [this] { Publish(); }, Qt::QueuedConnection);
        }
        return;
    }
    Publish();
    beginInsertRows(QModelIndex(), index, index);
    m_entries.insert(m_entries.begin() + index, text);
    ++m_published;
    endInsertRows();
}

void ListModel::Publish() {
    m_publishQueued = false;
    if (Count() == m_published) return;
    beginInsertRows(QModelIndex(), m_published, Count() - 1);
    m_published = Count();
    endInsertRows();
}

// ---- QtHost -----------------------------------------------------------------------------------

namespace {

QFont FontOfSize(int pixels) {
    QFont f;
    f.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                   QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                   QStringLiteral("DejaVu Sans")});
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(pixels);
    return f;
}

// 8 points at the 96 dots per inch the layouts were drawn for.
constexpr int kReferencePixels = 11;

}  // namespace

bool QtHost::TextFits(const ControlTemplate& c, const QFont& font) {
    if (c.kind != ControlKind::Label && c.kind != ControlKind::PushButton &&
        c.kind != ControlKind::RadioButton)
        return true;
    const QFontMetrics fm(font);
    const bool button = c.kind != ControlKind::Label;
    // A button's frame and padding take a few pixels on each side.
    const int width = QtDialogWindow::DluToPixelsX(c.cx) - (button ? 6 : 0);
    const int height = QtDialogWindow::DluToPixelsY(c.cy) - (button ? 4 : 0);
    QString text = DecodeForDisplay(c.text);
    text.remove(QChar('&'));
    const QStringList lines = text.split(QChar('\n'));
    for (const QString& line : lines)
        if (fm.horizontalAdvance(line) > width) return false;
    return static_cast<int>(lines.size()) * fm.height() <= height + (button ? 0 : 2);
}

QFont QtHost::DialogFont() {
    // The layouts are measured in the reference font. The nearest font this system has may run
    // wider; then the text steps down a pixel at a time until every text of every dialog fits.
    static const QFont font = [] {
        for (int px = kReferencePixels; px > 8; --px) {
            const QFont f = FontOfSize(px);
            bool fits = true;
            for (int id : {100, 102, 133}) {
                if (const DialogTemplate* t = FindDialogTemplate(id))
                    for (const ControlTemplate& c : t->controls) fits = fits && TextFits(c, f);
            }
            if (fits) return f;
        }
        return FontOfSize(9);
    }();
    return font;
}

QSize QtHost::BaseUnits() {
    // The way Windows derives dialog base units from the dialog font: the average width of the
    // 52 letters, rounded, and the font's height.
    static const QSize units = [] {
        const QFontMetrics fm(FontOfSize(kReferencePixels));
        const int w = fm.horizontalAdvance(
            QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
        return QSize((w / 26 + 1) / 2, fm.height());
    }();
    return units;
}

QWidget* QtHost::TopWindow() const {
    return m_stack.empty() ? nullptr : m_stack.back();
}

int QtHost::RunModal(CDialog& dlg) {
    QtDialogWindow wnd(dlg, TopWindow());
    m_stack.push_back(&wnd);
    dlg.AttachWindow(&wnd);
    const bool setFocus = dlg.OnInitDialog();
    if (!dlg.HasEnded()) {
        if (setFocus) wnd.FocusFirstTabStop();
        // For start-up measurements: the first window closes as soon as it is shown.
        static bool exitAfterStart = qEnvironmentVariableIsSet("SORTILEX_EXIT_AFTER_START");
        if (exitAfterStart) {
            exitAfterStart = false;
            QTimer::singleShot(0, &wnd, [&dlg] { dlg.OnCancel(); });
        }
        wnd.exec();
    }
    dlg.AttachWindow(nullptr);
    m_stack.pop_back();
    return dlg.HasEnded() ? dlg.Result() : IDCANCEL;
}

QtDialogWindow* QtHost::OpenModeless(CDialog& dlg) {
    auto* wnd = new QtDialogWindow(dlg, TopWindow());
    m_stack.push_back(wnd);
    dlg.AttachWindow(wnd);
    const bool setFocus = dlg.OnInitDialog();
    wnd->show();
    if (setFocus) wnd->FocusFirstTabStop();
    return wnd;
}

void QtHost::CloseModeless(CDialog& dlg) {
    auto* wnd = dynamic_cast<QtDialogWindow*>(dlg.GetWindow());
    dlg.AttachWindow(nullptr);
    std::erase(m_stack, wnd);
    delete wnd;
}

int QtHost::MessageBox(CDialog* owner, const std::string& text, const char* caption,
                       unsigned type) {
    QWidget* parent = owner ? dynamic_cast<QtDialogWindow*>(owner->GetWindow()) : nullptr;
    if (parent == nullptr) parent = TopWindow();
    QMessageBox box(parent);
    box.setWindowTitle(caption ? DecodeForDisplay(caption) : QString::fromStdString(AppName()));
    box.setTextFormat(Qt::PlainText);
    box.setText(DecodeForDisplay(text));
    box.setIcon(QMessageBox::NoIcon);
    if ((type & 0xF) == MB_YESNO) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const int answer = box.exec();
    if (answer == QMessageBox::Yes) return IDYES;
    if (answer == QMessageBox::No) return IDNO;
    return IDOK;
}

std::optional<std::string> QtHost::OpenFileDialog(const FileDialogRequest& request) {
    // "Name (*.ext)|*.ext||" -> "Name (*.ext)"; the pattern matches any capitalisation.
    QStringList filters;
    const QStringList parts = QString::fromLatin1(request.filter.c_str()).split(QChar('|'));
    for (int i = 0; i + 1 < parts.size(); i += 2)
        if (!parts[i].isEmpty()) filters << parts[i];
    QFileDialog dialog(TopWindow(), QStringLiteral("Open"));
    dialog.setAcceptMode(request.open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode((request.flags & OFN_FILEMUSTEXIST) ? QFileDialog::ExistingFile
                                                           : QFileDialog::AnyFile);
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(QString::fromLatin1(request.defaultExt.c_str()));
    const std::string dir = os::ToHostPath(request.initialDir);
    if (!dir.empty()) dialog.setDirectory(QFile::decodeName(QByteArray::fromStdString(dir)));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return QFile::encodeName(dialog.selectedFiles().constFirst()).toStdString();
}

std::string QtHost::AppName() const {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName().toStdString();
}

// ---- QtDialogWindow -----------------------------------------------------------------------

int QtDialogWindow::DluToPixelsX(int dlu) {
    return (dlu * QtHost::BaseUnits().width() + 2) / 4;
}
int QtDialogWindow::DluToPixelsY(int dlu) {
    return (dlu * QtHost::BaseUnits().height() + 4) / 8;
}

QtDialogWindow::QtDialogWindow(CDialog& dlg, QWidget* parent) : QDialog(parent), m_dlg(dlg) {
    Build();
}

void QtDialogWindow::Build() {
    const DialogTemplate* t = m_dlg.Template();
    if (t == nullptr) return;
    setFont(QtHost::DialogFont());
    setWindowTitle(DecodeForDisplay(t->caption));
    Qt::WindowFlags flags = ((t->exStyle & style::WS_EX_APPWINDOW) ? Qt::Window : Qt::Dialog) |
                            Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (t->style & style::WS_MINIMIZEBOX) flags |= Qt::WindowMinimizeButtonHint;
    setWindowFlags(flags);
    setFixedSize(DluToPixelsX(t->cx), DluToPixelsY(t->cy));

    QWidget* previousTabStop = nullptr;
    for (const ControlTemplate& c : t->controls) {
        QWidget* w = CreateControl(c);
        w->setGeometry(DluToPixelsX(c.x), DluToPixelsY(c.y), DluToPixelsX(c.cx),
                       DluToPixelsY(c.cy));
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
        if (c.id != IDC_STATIC) {
            w->setObjectName(QStringLiteral("ctl%1").arg(c.id));
            m_controls.insert(c.id, w);
        }
        if (c.style & style::WS_TABSTOP) {
            w->setFocusPolicy(Qt::StrongFocus);
            if (previousTabStop) setTabOrder(previousTabStop, w);
            previousTabStop = w;
        }
        w->installEventFilter(this);
    }
}

QWidget* QtDialogWindow::CreateControl(const ControlTemplate& c) {
    const bool tabStop = (c.style & style::WS_TABSTOP) != 0;
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
            // Drawn as the default button; what Enter does stays with HandleKey.
            b->setDefault((c.style & style::BS_DEFPUSHBUTTON) != 0);
            if (c.style & style::BS_DEFPUSHBUTTON) m_defaultButton = c.id;
            if (!tabStop) b->setFocusPolicy(Qt::ClickFocus);
            const int id = c.id;
            connect(b, &QPushButton::clicked, this, [this, id] {
                if (!m_dlg.DispatchCommand(id, Event::Clicked)) {
                    if (id == IDOK) m_dlg.OnOK();
                    if (id == IDCANCEL) m_dlg.OnCancel();
                }
            });
            return b;
        }
        case ControlKind::RadioButton: {
            auto* b = new QPushButton(DecodeForDisplay(c.text), this);
            b->setCheckable(true);
            b->setAutoDefault(false);
            b->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::ClickFocus);
            if (m_radioGroup == nullptr || (c.style & style::WS_GROUP)) {
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
            if (c.style & style::ES_MULTILINE) {
                auto* e = new QPlainTextEdit(this);
                e->setReadOnly((c.style & style::ES_READONLY) != 0);
                e->setVerticalScrollBarPolicy(
                    (c.style & style::WS_VSCROLL) ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
                e->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
                e->setLineWrapMode(QPlainTextEdit::WidgetWidth);
                e->setTabChangesFocus(true);
                if (!tabStop) e->setFocusPolicy(Qt::ClickFocus);
                return e;
            }
            auto* e = new QLineEdit(this);
            e->setReadOnly((c.style & style::ES_READONLY) != 0);
            e->setAlignment((c.style & style::ES_CENTER) ? Qt::AlignCenter : Qt::AlignLeft);
            e->setFrame((c.style & style::WS_BORDER) != 0);
            if (!tabStop) e->setFocusPolicy(Qt::ClickFocus);
            return e;
        }
        case ControlKind::ListBox: {
            auto* l = new QListView(this);
            l->setModel(new ListModel(l));
            l->setSelectionMode(QAbstractItemView::SingleSelection);
            l->setEditTriggers(QAbstractItemView::NoEditTriggers);
            l->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
            l->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            l->setUniformItemSizes(true);
            if (!tabStop) l->setFocusPolicy(Qt::ClickFocus);
            const int id = c.id;
            const bool notify = (c.style & style::LBS_NOTIFY) != 0;
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
        l->setText(DecodeForDisplay(text));
    }
}

ControlText QtDialogWindow::GetText(int id) const {
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
    if (l == nullptr) return LB_ERR;
    const QModelIndexList selected = l->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? LB_ERR : selected.constFirst().row();
}

void QtDialogWindow::SetIcon(HICON icon, bool) {
    if (icon != nullptr) setWindowIcon(QIcon(PictureFile(icon->id)));
}

bool QtDialogWindow::AppendMenuEntry(unsigned id, const std::string& text) {
    m_menu.append({id, DecodeForDisplay(text)});
    return true;
}

void QtDialogWindow::DefaultSysCommand(unsigned id, long) {
    switch (id & 0xFFF0) {
        case SC_CLOSE:
            m_dlg.OnCancel();
            break;
        case SC_MINIMIZE:
            showMinimized();
            break;
        default:
            break;
    }
}

void QtDialogWindow::End(int result) {
    done(result);
}

void QtDialogWindow::FocusFirstTabStop() {
    const DialogTemplate* t = m_dlg.Template();
    if (t == nullptr) return;
    for (const ControlTemplate& c : t->controls) {
        if ((c.style & style::WS_TABSTOP) && Control(c.id)) {
            Control(c.id)->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

void QtDialogWindow::ShowWindowMenu(const QPoint& globalPos) {
    QMenu menu(this);
    // The window menu's own entries, as the platform offers them, then the program's.
    const DialogTemplate* t = m_dlg.Template();
    if (t && (t->style & style::WS_MINIMIZEBOX))
        menu.addAction(QStringLiteral("Mi&nimize"), this,
                       [this] { m_dlg.DispatchSysCommand(SC_MINIMIZE, 0); });
    menu.addAction(QStringLiteral("&Close"), this,
                   [this] { m_dlg.DispatchSysCommand(SC_CLOSE, 0); });
    for (const auto& [id, text] : m_menu) {
        if (text.isEmpty()) {
            menu.addSeparator();
        } else {
            const unsigned cmd = id;
            menu.addAction(text, this, [this, cmd] { m_dlg.DispatchSysCommand(cmd, 0); });
        }
    }
    menu.exec(globalPos);
}

bool QtDialogWindow::HandleKey(QObject* watched, QKeyEvent* key) {
    switch (key->key()) {
        case Qt::Key_Escape:
            m_dlg.OnCancel();
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter: {
            // Enter clicks the focused push button; elsewhere it is the dialog's default
            // command: the default button where there is one, otherwise OK.
            auto* b = qobject_cast<QPushButton*>(watched);
            if (b && !b->isCheckable()) {
                b->click();
            } else if (m_defaultButton != 0) {
                if (auto* d = qobject_cast<QPushButton*>(Control(m_defaultButton))) d->click();
            } else if (!m_dlg.DispatchCommand(IDOK, Event::Clicked)) {
                m_dlg.OnOK();
            }
            return true;
        }
        case Qt::Key_Menu:
            ShowWindowMenu(mapToGlobal(QPoint(width() / 4, height() / 4)));
            return true;
        case Qt::Key_F10:
            if (key->modifiers() & Qt::ShiftModifier) {
                ShowWindowMenu(mapToGlobal(QPoint(width() / 4, height() / 4)));
                return true;
            }
            return false;
        default:
            return false;
    }
}

bool QtDialogWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && HandleKey(watched, static_cast<QKeyEvent*>(event)))
        return true;
    return QDialog::eventFilter(watched, event);
}

void QtDialogWindow::keyPressEvent(QKeyEvent* event) {
    if (!HandleKey(this, event)) QDialog::keyPressEvent(event);
}

void QtDialogWindow::reject() {
    m_dlg.OnCancel();
}

void QtDialogWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    m_dlg.DispatchSysCommand(SC_CLOSE, 0);
}

void QtDialogWindow::contextMenuEvent(QContextMenuEvent* event) {
    ShowWindowMenu(event->globalPos());
}

}  // namespace sx
