// SPDX-License-Identifier: GPL-3.0-or-later
#include "hosts/qt/QtHost.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QListView>
#include <QUrl>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QStyle>
#include <QTimer>

#include "hosts/qt/QtDialogWindow.h"
#include "hosts/qt/QtText.h"
#include "ui/Constants.h"

namespace sx::qt {

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

// A modal window of the toolkit's over its owner, as the program's own dialogs are: the owner
// takes no input while it shows (its child windows with it, the modal one excepted), and gets it
// back before the window goes, so that it is the active window again. Without an owner the
// window comes to the front on its own.
template <class Base>
class Owned : public Base {
  public:
    template <class... Args>
    explicit Owned(QWidget* owner, Args&&... args)
        : Base(owner, std::forward<Args>(args)...), m_owner(owner) {}

    int Run() {
        if (m_owner != nullptr && m_owner->isEnabled()) {
            m_owner->setEnabled(false);
            m_disabledOwner = true;
        }
        this->setEnabled(true);
        this->setWindowModality(Qt::ApplicationModal);
        if (m_owner == nullptr) {
            this->show();
            this->raise();
            this->activateWindow();
        }
        const int result = this->exec();
        GiveBack();
        if (m_owner != nullptr) m_owner->activateWindow();
        return result;
    }
    void done(int result) override {
        GiveBack();
        Base::done(result);
    }

  private:
    void GiveBack() {
        if (m_disabledOwner) m_owner->setEnabled(true);
        m_disabledOwner = false;
    }
    QWidget* m_owner;
    bool m_disabledOwner = false;
};

// The places of a file dialog's side bar: its own, then the drives of the prefix, each under its
// drive letter (the side bar would name it after its folder, "drive_c"). The side bar renames
// its entries when a folder changes, so the names are put back then.
void AddPlaces(QFileDialog& dialog, const std::vector<ui::FilePlace>& places) {
    if (places.empty()) return;
    QList<QUrl> urls = dialog.sidebarUrls();
    const qsizetype first = urls.size();
    for (const ui::FilePlace& p : places)
        urls << QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(p.hostPath)));
    dialog.setSidebarUrls(urls);
    auto* sidebar = dialog.findChild<QListView*>(QStringLiteral("sidebar"));
    if (sidebar == nullptr || sidebar->model() == nullptr) return;
    QAbstractItemModel* model = sidebar->model();
    const auto label = [model, first, places] {
        for (size_t i = 0; i < places.size(); ++i) {
            const QModelIndex row = model->index(static_cast<int>(first + static_cast<qsizetype>(i)), 0);
            const QString name = QString::fromLatin1(places[i].label.c_str());
            if (row.isValid() && row.data(Qt::DisplayRole).toString() != name) {
                model->setData(row, name, Qt::DisplayRole);
                model->setData(row, QFile::decodeName(QByteArray::fromStdString(places[i].hostPath)),
                               Qt::ToolTipRole);
            }
        }
    };
    label();
    QObject::connect(model, &QAbstractItemModel::dataChanged, &dialog, label);
    // The side bar as wide as its widest entry, so that none of them is cut, at any scale.
    if (auto* splitter = dialog.findChild<QSplitter*>(QStringLiteral("splitter"))) {
        QList<int> sizes = splitter->sizes();
        const int need = sidebar->sizeHintForColumn(0) + 2 * sidebar->frameWidth() +
                         sidebar->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 8;
        if (sizes.size() == 2 && sizes[0] < need) {
            sizes[1] -= need - sizes[0];
            sizes[0] = need;
            splitter->setSizes(sizes);
        }
    }
}

}  // namespace

QtHost::QtHost() {
    // The toolkit's own dialogs keep a history of folders in the user's settings, and its file
    // dialog's side bar would list the drives of prefixes long gone from then on. This program
    // keeps nothing between runs: the toolkit's user settings lie where no file can ever be, so
    // they read as none and are never written.
    for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, QStringLiteral("/dev/null"));
}

bool QtHost::TextFits(const ui::ControlTemplate& c, const QFont& font) {
    if (c.kind != ui::ControlKind::Label && c.kind != ui::ControlKind::PushButton &&
        c.kind != ui::ControlKind::RadioButton)
        return true;
    const QFontMetrics fm(font);
    const bool button = c.kind != ui::ControlKind::Label;
    // A button's frame and padding take a few pixels on each side.
    const int width = DluToPixelsX(c.cx) - (button ? 6 : 0);
    const int height = DluToPixelsY(c.cy) - (button ? 4 : 0);
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
            for (const ui::DialogTemplate& t : ui::Resources().dialogs)
                for (const ui::ControlTemplate& c : t.controls) fits = fits && TextFits(c, f);
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

int QtHost::DluToPixelsX(int dlu) {
    return (dlu * BaseUnits().width() + 2) / 4;
}

int QtHost::DluToPixelsY(int dlu) {
    return (dlu * BaseUnits().height() + 4) / 8;
}

std::unique_ptr<ui::IDialogWindow> QtHost::CreateDialogWindow(ui::CDialog& dlg,
                                                              ui::IDialogWindow* owner) {
    return std::make_unique<QtDialogWindow>(dlg, dynamic_cast<QtDialogWindow*>(owner));
}

void QtHost::RunUntil(const std::function<bool()>& done, const std::function<bool()>& idle) {
    // Wakes the loop now and then, for conditions that no event of the window system changes.
    QTimer wake;
    wake.start(25);
    while (!done()) {
        // Work to do: the events that wait are handled between its pieces, none waited for.
        if (idle && idle()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            continue;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

void QtHost::PumpEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

int QtHost::ShowMessageBox(ui::IDialogWindow* owner, const std::string& text,
                           const std::string& caption, unsigned type) {
    Owned<QMessageBox> box(dynamic_cast<QtDialogWindow*>(owner));
    // In the program's dialog font, with plain buttons, as the program's own dialogs are.
    box.setFont(DialogFont());
    box.setWindowTitle(DecodeForDisplay(caption));
    box.setTextFormat(Qt::PlainText);
    box.setText(DecodeForDisplay(text));
    box.setIcon(QMessageBox::NoIcon);
    if ((type & 0xF) == ui::MbYesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton((type & ui::MbDefaultSecond) ? QMessageBox::No : QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    for (QAbstractButton* button : box.buttons()) button->setIcon(QIcon());
    const int answer = box.Run();
    if (answer == QMessageBox::Yes) return ui::IdYes;
    if (answer == QMessageBox::No) return ui::IdNo;
    return ui::IdOk;
}

namespace {
// "Name (*.a;*.b)|*.a;*.b|..." -> "Name (*.a *.b)", ...: the patterns as the toolkit parts them.
QStringList NameFilters(const std::string& filter) {
    QStringList filters;
    const QStringList parts = QString::fromLatin1(filter.c_str()).split(QChar('|'));
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) continue;
        const qsizetype open = parts[i].lastIndexOf(QChar('('));
        QString name = parts[i].left(open < 0 ? parts[i].size() : open).trimmed();
        QString patterns = parts[i + 1];
        patterns.replace(QChar(';'), QChar(' '));
        filters << name + QStringLiteral(" (") + patterns + QStringLiteral(")");
    }
    return filters;
}
}  // namespace

std::optional<std::string> QtHost::OpenFileDialog(ui::IDialogWindow* owner,
                                                  const ui::FileDialogRequest& request) {
    const ChosenFiles chosen = RunFileDialog(owner, request, false);
    if (chosen.paths.empty()) return std::nullopt;
    return chosen.paths.front();
}

ui::IHost::ChosenFiles QtHost::OpenFilesDialog(ui::IDialogWindow* owner, const ui::FileDialogRequest& request) {
    return RunFileDialog(owner, request, true);
}

ui::IHost::ChosenFiles QtHost::RunFileDialog(ui::IDialogWindow* owner, const ui::FileDialogRequest& request,
                                             bool several) {
    ChosenFiles chosen;
    Owned<QFileDialog> dialog(dynamic_cast<QtDialogWindow*>(owner),
                              request.title.empty() ? QStringLiteral("Open") : DecodeForDisplay(request.title));
    // Qt's own dialog on every desktop: it takes the prefix's drives among its places, and looks
    // like the program's other windows.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(request.open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(several                                  ? QFileDialog::ExistingFiles
                       : (request.flags & ui::OfnFileMustExist) ? QFileDialog::ExistingFile
                                                                : QFileDialog::AnyFile);
    dialog.setNameFilters(NameFilters(request.filter));
    dialog.setDefaultSuffix(QString::fromLatin1(request.defaultExt.c_str()));
    if (!request.initialDir.empty())
        dialog.setDirectory(QFile::decodeName(QByteArray::fromStdString(request.initialDir)));
    AddPlaces(dialog, request.places);
    // The name box starts with the pattern, as the program asks.
    if (!request.fileName.empty()) dialog.selectFile(QString::fromLatin1(request.fileName.c_str()));
    if (dialog.Run() != QDialog::Accepted) return chosen;
    for (const QString& file : dialog.selectedFiles()) chosen.paths.push_back(QFile::encodeName(file).toStdString());
    return chosen;
}

std::string QtHost::AppName() const {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName().toStdString();
}

}  // namespace sx::qt
