// SPDX-License-Identifier: GPL-3.0-or-later
// The real main window, built by the Qt host and driven offscreen.
#include <QAccessible>
#include <QApplication>
#include <QDirIterator>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QTemporaryDir>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <sys/stat.h>

#include <filesystem>

#include "app/AboutDlg.h"
#include "app/LauncherDlg.h"
#include "app/ResultsDlg.h"
#include "hosts/qt/QtDialogWindow.h"
#include "hosts/qt/QtHost.h"
#include "hosts/qt/QtText.h"
#include "os/Files.h"
#include "resources/Resources.h"
#include "tests/support/TestSupport.h"

using namespace sx;
using sx::qt::QtDialogWindow;
using sx::qt::QtHost;

namespace {

const std::string kMission =
    ".MissionSummary\r\nFirst line.\r\n\r\nSecond \xe9 line.\r\n.EndMissionSummary\r\n"
    "\t.IsPlayer\r\n\t.Skill  2\r\n\t.Callsign  Old Fox\r\n\t.MPCallsign  Old Fox\r\n";

QStringList Entries(QWidget* w) {
    QStringList texts;
    auto* list = qobject_cast<QListView*>(w);
    for (int i = 0; list && i < list->model()->rowCount(); ++i)
        texts << list->model()->index(i, 0).data().toString();
    return texts;
}

int CurrentRow(QWidget* w) {
    auto* list = qobject_cast<QListView*>(w);
    const QModelIndexList selected = list->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.constFirst().row();
}

void ClickRow(QWidget* w, int row) {
    auto* list = qobject_cast<QListView*>(w);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(row, 0)).center());
}

// A menu as the user reads it: "-" a separator, " (off)" after a disabled entry, a submenu's
// entries after it behind "> ", "*" after a checked one.
QStringList MenuTexts(QMenu* menu) {
    QStringList texts;
    for (QAction* a : menu->actions()) {
        texts << (a->isSeparator() ? QStringLiteral("-") : a->text() + (a->isEnabled() ? "" : " (off)"));
        if (a->menu())
            for (QAction* entry : a->menu()->actions())
                texts << "> " + entry->text() + (entry->isChecked() ? "*" : "");
    }
    return texts;
}

// Acts on the next modal window or popup menu of type W once it shows: a timer of the case's
// own that gives up after a few seconds (the case then fails on what the action would have
// recorded).
template <class W>
void WhenShown(QObject* context, std::function<void(W*)> act) {
    auto* timer = new QTimer(context);
    auto deadline = std::make_shared<QElapsedTimer>();
    deadline->start();
    QObject::connect(timer, &QTimer::timeout, context, [timer, deadline, act] {
        QWidget* top = QApplication::activePopupWidget();
        if (top == nullptr) top = QApplication::activeModalWidget();
        if (auto* w = dynamic_cast<W*>(top); w && w->isVisible()) {
            timer->deleteLater();
            timer->stop();
            act(w);
        } else if (deadline->elapsed() > 5000) {
            timer->deleteLater();
            timer->stop();
            if (top) top->close();
        }
    });
    timer->start(10);
}

}  // namespace

class QtWindowTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<sxtest::FakePrefix> m_prefix;
    QtHost m_host;
    std::unique_ptr<CLauncherDlg> m_dlg;
    QtDialogWindow* m_wnd = nullptr;

    template <class W>
    W* Ctl(int id) {
        return qobject_cast<W*>(m_wnd->Control(id));
    }
    void Open() {
        m_dlg = std::make_unique<CLauncherDlg>();
        QVERIFY(m_dlg->Create());
        m_wnd = dynamic_cast<QtDialogWindow*>(m_dlg->GetWindow());
        QVERIFY(QTest::qWaitForWindowExposed(m_wnd));
    }

  private slots:
    void initTestCase() { ui::InstallResources(AppResources()); }
    void cleanupTestCase();
    void init() {
        m_prefix = std::make_unique<sxtest::FakePrefix>(sxtest::InstalledGameValues());
        sxtest::WriteFile(m_prefix->missions() + "/b mission.mis", kMission);
        sxtest::WriteFile(m_prefix->missions() + "/A mission.mis", kMission);
        sxtest::WriteFile(m_prefix->missions() + "/c no player.mis",
                          ".MissionSummary\r\nNo pilot.\r\n.EndMissionSummary\r\n");
        sxtest::WriteFile(m_prefix->campaigns() + "/Camp.mis", kMission);
        ui::SetHost(&m_host);
        Open();
    }
    void cleanup() {
        m_dlg.reset();
        m_wnd = nullptr;
        ui::SetHost(nullptr);
        m_prefix.reset();
    }

    void layoutAsTheTemplateSays() {
        QCOMPARE(m_wnd->windowTitle(), QStringLiteral("Sortilex v2.1"));
        QCOMPARE(m_wnd->minimumSize(), m_wnd->maximumSize());
        QVERIFY(!(m_wnd->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(m_wnd->windowFlags() & Qt::WindowMinimizeButtonHint);
        QCOMPARE(Ctl<QPushButton>(IDC_LAUNCH_MISSION)->text(), QStringLiteral("Launch\nMission"));
        QVERIFY(Ctl<QPushButton>(IDC_SINGLE_MISSIONS)->isCheckable());
        // Every control there and inside the window, whatever the font did to the layout; every
        // text of every dialog fits its rectangle, the captions with room for the window's
        // buttons.
        const QFont font = QtHost::DialogFont();
        QCOMPARE(m_wnd->font(), font);
        for (const ui::DialogTemplate& t : ui::Resources().dialogs) {
            for (const ui::ControlTemplate& c : t.controls) {
                QVERIFY2(QtHost::TextFits(c, font), c.text);
                if (t.id != IDD_LAUNCHER_DIALOG || c.id == ui::NoControlId) continue;
                QWidget* w = m_wnd->Control(c.id);
                QVERIFY2(w && m_wnd->rect().contains(w->geometry()), qPrintable(QString::number(c.id)));
            }
            QVERIFY(QFontMetrics(font).horizontalAdvance(qt::DecodeForDisplay(t.caption)) <
                    QtHost::DluToPixelsX(t.cx) - 60);
        }
        // The tab order is the template's, starting at the list.
        QList<int> order;
        QWidget* first = m_wnd->Control(IDC_MISSION_LIST);
        QWidget* w = first;
        do {
            if ((w->focusPolicy() & Qt::TabFocus) && w->isVisible() && w->window() == m_wnd)
                order << w->property("controlId").toInt();
            w = w->nextInFocusChain();
        } while (w != first && order.size() < 20);
        QCOMPARE(order, (QList<int>{1000, 1001, 1005, 1006, 1011, 1013}));
        QCOMPARE(QApplication::focusWidget(), first);
    }

    void theListTheBriefingAndTheCallsign() {
        QWidget* list = m_wnd->Control(IDC_MISSION_LIST);
        auto* view = qobject_cast<QListView*>(list);
        auto* callsign = Ctl<QLineEdit>(IDC_CALLSIGN);
        QVERIFY(Ctl<QPushButton>(IDC_SINGLE_MISSIONS)->isChecked());
        QCOMPARE(Entries(list), (QStringList{"A mission.mis", "b mission.mis", "c no player.mis"}));
        QCOMPARE(CurrentRow(list), 0);
        // Each separator is one line break; the bytes show as Windows-1252.
        QCOMPARE(Ctl<QPlainTextEdit>(IDC_BRIEFING)->toPlainText(), QStringLiteral("\nFirst line.\n\nSecond \u00e9 line."));
        QCOMPARE(m_dlg->m_strBriefing, std::string("\r\r\nFirst line.\r\r\n\r\r\nSecond \xe9 line."));
        QCOMPARE(callsign->text(), QStringLiteral("Old Fox"));
        QCOMPARE(callsign->alignment(), Qt::AlignCenter);

        // The selection stays through Ctrl+click on it, Ctrl+Space and a click below the last entry.
        ClickRow(list, 1);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          view->visualRect(view->model()->index(1, 0)).center());
        QTest::keyClick(list, Qt::Key_Space, Qt::ControlModifier);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(5, view->viewport()->height() - 3));
        QCOMPARE(CurrentRow(list), 1);

        // The program's own selection is not reported (the handler would clear m_bReselect); a
        // user's is.
        m_dlg->m_bReselect = 1;
        m_dlg->m_strSelectedMission = "b mis";
        m_dlg->RefreshMissionList();
        QCOMPARE(CurrentRow(list), 1);
        QCOMPARE(m_dlg->m_bReselect, 1);
        ClickRow(list, 0);
        QCOMPARE(m_dlg->m_bReselect, 0);

        // Typed with a letter of the code page and changed; a mission without a player record
        // keeps it in the field.
        ClickRow(list, 1);
        callsign->clear();
        QTest::keyClicks(callsign, QStringLiteral("Red \u00c4ce"));
        QTest::mouseClick(Ctl<QPushButton>(IDC_CHANGE_CALLSIGN), Qt::LeftButton);
        const std::string red = "Red \xc4" "ce";
        QVERIFY(sxtest::ReadFile(m_prefix->missions() + "/b mission.mis")
                    .find("\t.Callsign  " + red + "\r\n\t.MPCallsign  " + red + "\r\n") != std::string::npos);
        ClickRow(list, 2);
        QCOMPARE(Ctl<QPlainTextEdit>(IDC_BRIEFING)->toPlainText(), QStringLiteral("\nNo pilot."));
        QCOMPARE(callsign->text(), QStringLiteral("Red \u00c4ce"));

        // A category button checks itself and clears the others; clicked again, it stays checked.
        for (int i = 0; i < 2; ++i) QTest::mouseClick(Ctl<QPushButton>(IDC_CAMPAIGN_MISSIONS), Qt::LeftButton);
        QVERIFY(Ctl<QPushButton>(IDC_CAMPAIGN_MISSIONS)->isChecked());
        QVERIFY(!Ctl<QPushButton>(IDC_SINGLE_MISSIONS)->isChecked());
        QCOMPARE(Entries(list), QStringList{"Camp.mis"});
        QCOMPARE(m_dlg->m_nCategory, 1);
    }

    void fileDialogStartsWithThePatternAmongTheDrives() {
        // The name box holds the pattern; the places list the prefix's drives; the folder is the
        // game's real one, not a path through the prefix's drive links.
        // Each place reads whole: the side bar is as wide as its widest entry.
        QString name, folder;
        QStringList places;
        bool cut = true;
        WhenShown<QFileDialog>(this, [&name, &folder, &places, &cut](QFileDialog* dialog) {
            if (auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                name = edit->text();
            folder = dialog->directory().absolutePath();
            if (auto* sidebar = dialog->findChild<QListView*>(QStringLiteral("sidebar"))) {
                for (int i = 0; i < sidebar->model()->rowCount(); ++i)
                    places << sidebar->model()->index(i, 0).data().toString();
                cut = sidebar->viewport()->width() < sidebar->sizeHintForColumn(0);
            }
            dialog->reject();
        });
        QTest::mouseClick(Ctl<QPushButton>(IDC_CUSTOM_MISSIONS), Qt::LeftButton);
        QCOMPARE(name, QStringLiteral("*.mis"));
        QVERIFY2(places.contains(QStringLiteral("C:")), qPrintable(places.join(',')));
        QVERIFY(!cut);
        QCOMPARE(folder, QFileInfo(QString::fromStdString(m_prefix->game())).canonicalFilePath());
        // Cancelled: the single missions' button is checked again.
        QVERIFY(Ctl<QPushButton>(IDC_SINGLE_MISSIONS)->isChecked());
    }

    void keysThatEndTheRunOrNot() {
        const struct {
            const char* what;
            int focus;  // the control with the focus (0: the close box is clicked)
            Qt::Key key;
            bool ends;
            int result;
        } rows[] = {
            // Enter clicks the focused push button...
            {"Enter on Change", IDC_CHANGE_CALLSIGN, Qt::Key_Return, false, 0},
            // ...and elsewhere is the dialog's OK, the controls pulled first.
            {"Enter in the callsign field", IDC_CALLSIGN, Qt::Key_Return, true, ui::IdOk},
            {"Enter on a category button", IDC_CAMPAIGN_MISSIONS, Qt::Key_Enter, true, ui::IdOk},
            {"Escape", IDC_MISSION_LIST, Qt::Key_Escape, true, ui::IdCancel},
            {"the close box", 0, Qt::Key_unknown, true, ui::IdCancel},
        };
        for (const auto& row : rows) {
            Open();
            Ctl<QLineEdit>(IDC_CALLSIGN)->setText(QStringLiteral("By key"));
            if (row.focus == 0) {
                m_wnd->close();
            } else {
                m_wnd->Control(row.focus)->setFocus();
                QTest::keyClick(m_wnd->Control(row.focus), row.key);
            }
            QVERIFY2(m_dlg->HasEnded() == row.ends, row.what);
            if (!row.ends) {
                QVERIFY(sxtest::ReadFile(m_prefix->missions() + "/A mission.mis").find("By key") !=
                        std::string::npos);
                continue;
            }
            QVERIFY2(m_dlg->Result() == row.result && !m_wnd->isVisible(), row.what);
            QVERIFY(!Ctl<QPushButton>(IDC_CAMPAIGN_MISSIONS)->isChecked());
            if (row.result == ui::IdOk) QCOMPARE(m_dlg->m_strCallsign, std::string("By key"));
        }
    }

    void windowMenuAndAboutBox() {
        // Right-click on the window's background: the platform's entries, then ours; the last
        // one opens the about box, whose OK closes it.
        QStringList menuTexts, aboutTexts;
        WhenShown<QMenu>(this, [this, &menuTexts, &aboutTexts](QMenu* menu) {
            menuTexts = MenuTexts(menu);
            WhenShown<QtDialogWindow>(this, [&aboutTexts](QtDialogWindow* about) {
                aboutTexts << about->windowTitle();
                for (QLabel* l : about->findChildren<QLabel*>())
                    if (!l->text().isEmpty()) aboutTexts << l->text();
                auto* ok = qobject_cast<QPushButton*>(about->Control(ui::IdOk));
                aboutTexts << ok->text() + (ok->isDefault() ? "*" : "");
                QTest::keyClick(ok, Qt::Key_Return);
            });
            menu->actions().constLast()->trigger();
            menu->close();
        });
        QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5),
                                m_wnd->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(m_wnd, &click);
        QCOMPARE(menuTexts, (QStringList{"Mi&nimize", "&Close", "-",
                                         QString::fromUtf8("Inf&o \u00fcber Sortilex...")}));
        QCOMPARE(aboutTexts,
                 (QStringList{QString::fromUtf8("Info \u00fcber Sortilex"), "Sortilex\nVersion 2.1",
                              "Copyright (C) 2026\nThe Sortilex developers", "OK*"}));
        QVERIFY(!m_dlg->HasEnded());
        QVERIFY(m_wnd->isVisible());
        QVERIFY(!m_wnd->windowIcon().isNull());

        // The menu key and Shift+F10 open the same menu: on the list the list's own entries and
        // then the window's, in a field the field's own (Cut, Copy, Paste), on a button the
        // window's.
        const struct {
            int control;
            const char* first;  // the menu's first entry
            int entries;        // 0: any number
        } menus[] = {
            {IDC_MISSION_LIST, "&Install missions...", 9},
            {IDC_CALLSIGN, "&Undo", 0},
            {IDC_BRIEFING, "&Copy", 0},
            {IDC_LAUNCH_GAME, "Mi&nimize", 4},
        };
        for (const auto& m : menus)
            for (const auto& [key, modifiers] :
                 {std::pair{Qt::Key_Menu, Qt::KeyboardModifiers()},
                  std::pair{Qt::Key_F10, Qt::KeyboardModifiers(Qt::ShiftModifier)}}) {
                QStringList texts;
                WhenShown<QMenu>(this, [&texts](QMenu* menu) {
                    texts = MenuTexts(menu);
                    menu->close();
                });
                m_wnd->Control(m.control)->setFocus();
                QTest::keyClick(m_wnd->Control(m.control), key, modifiers);
                QTRY_VERIFY(!texts.isEmpty());
                QVERIFY2(texts.constFirst().startsWith(m.first), qPrintable(texts.join('|')));
                if (m.entries) QCOMPARE(texts.size(), m.entries);
                if (!m.entries) QVERIFY(!texts.contains(QStringLiteral("&Close")));
            }
    }

    void waitedLaunchKeepsTheWindowAlive() {
        // The substitute game runs a second on its own and leaves its results.
        std::filesystem::copy_file(SORTILEX_SUBSTITUTE_GAME, m_prefix->game() + "/vnt.exe");
        sxtest::TempDir logDir;
        sxtest::Env seconds("SORTILEX_VNT_SECONDS", "1"), log("SORTILEX_VNT_LOG", logDir / "game.log");

        struct PaintCounter : QObject {
            int paints = 0;
            bool eventFilter(QObject*, QEvent* e) override {
                if (e->type() == QEvent::Paint) ++paints;
                return false;
            }
        } counter;
        m_wnd->installEventFilter(&counter);
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&ticks, this] {
            ++ticks;
            m_wnd->update();
        });
        ticker.start(20);

        // Halfway through the run: the window paints and timers fire, but it takes no click, no
        // key, and no request to close.
        struct {
            int paints = -1, ticks = -1;
            bool enabled = true, ended = true, visible = false;
        } during;
        QTimer::singleShot(300, this, [&] {
            const int paints = counter.paints, ticksBefore = ticks;
            QTest::qWait(300);
            during.paints = counter.paints - paints;
            during.ticks = ticks - ticksBefore;
            during.enabled = m_wnd->isEnabled();
            QTest::mouseClick(Ctl<QPushButton>(IDC_LAUNCH_GAME), Qt::LeftButton);
            QTest::keyClick(m_wnd->Control(IDC_MISSION_LIST), Qt::Key_Escape);
            QTest::keyClick(m_wnd, Qt::Key_Escape);
            m_wnd->close();
            during.ended = m_dlg->HasEnded();
            during.visible = m_wnd->isVisible();
        });
        QStringList questions;
        WhenShown<QMessageBox>(this, [&questions](QMessageBox* box) {
            questions << box->text();
            box->button(QMessageBox::No)->click();
        });
        QTest::mouseClick(Ctl<QPushButton>(IDC_LAUNCH_MISSION), Qt::LeftButton);

        QVERIFY2(during.paints > 0, "no paint event during the run");
        QVERIFY2(during.ticks >= 5, qPrintable(QString::number(during.ticks)));
        QVERIFY(!during.enabled);
        QVERIFY(!during.ended);
        QVERIFY(during.visible);
        // After the game: the time and the results question, once; the window alive again, and
        // the game started once only.
        QCOMPARE(questions.size(), 1);
        QVERIFY(questions[0].startsWith(QStringLiteral("Total Mission Time : 00:00:0")));
        QVERIFY(questions[0].endsWith(QStringLiteral("Would you like to view the results table ?")));
        QVERIFY(m_wnd->isEnabled());
        QVERIFY(!m_dlg->HasEnded());
        QCOMPARE(sxtest::Split(sxtest::ReadFile(logDir / "game.log"), '\n').size(), 1u);
    }

    void gameInstallationSubmenu() {
        // Two installations of the game, in a home of the case's own; WINEPREFIX names none.
        sxtest::TempDir home;
        for (const char* prefix : {".wine", ".local/share/wineprefixes/v"}) {
            sxtest::MakeDirs(home / prefix);
            sxtest::WriteFile(home / prefix + "/system.reg",
                              "WINE REGISTRY Version 2\n[Software\\\\Microsoft\\\\Windows\\\\"
                              "CurrentVersion\\\\App Paths\\\\vnt.exe] 1\n\"Path\"=\"C:\\\\G\"\n");
        }
        std::filesystem::last_write_time(home / ".wine/system.reg",
                                         std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
        sxtest::Env homeVar("HOME", home.path()), data("XDG_DATA_HOME", home / ".local/share"),
            prefix("WINEPREFIX", std::nullopt);
        Open();
        QStringList texts;
        WhenShown<QMenu>(this, [&texts](QMenu* menu) {
            texts = MenuTexts(menu);
            menu->close();
        });
        QTest::keyClick(m_wnd->Control(IDC_LAUNCH_GAME), Qt::Key_Menu);
        const QString h = QString::fromStdString(home.path());
        QCOMPARE(texts, (QStringList{"Mi&nimize", "&Close", "&Game installation",
                                     "> winetricks: " + h + "/.local/share/wineprefixes/v*",
                                     "> Wine: " + h + "/.wine", "-",
                                     QString::fromUtf8("Inf&o \u00fcber Sortilex...")}));
    }

    void everyModalWindowBelongsToTheTopmostVisibleWindow() {
        QVERIFY(QTest::qWaitForWindowActive(m_wnd));
        struct Seen {
            QWidget* parent = nullptr;
            bool ownerEnabled = true, enabled = false, active = false;
            QString box;  // a message box's caption, text and buttons (the default one starred)
        };
        const auto watch = [this](Seen& seen) {
            WhenShown<QDialog>(this, [&seen](QDialog* d) {
                const bool active =
                    QTest::qWaitFor([d] { return QApplication::activeWindow() == d; }, 2000);
                seen = {d->parentWidget(), !d->parentWidget() || d->parentWidget()->isEnabled(),
                        d->isEnabled(), active, {}};
                if (auto* box = qobject_cast<QMessageBox*>(d)) {
                    // In the dialogs' font, with plain buttons, as the program's own dialogs.
                    seen.box = box->windowTitle() + "|" + box->text() + "|" +
                               (box->font() == QtHost::DialogFont() ? "" : "other font|");
                    for (QAbstractButton* b : box->buttons())
                        seen.box += b->text().remove(QChar('&')) + (b->icon().isNull() ? "" : "+icon") +
                                    (b == box->defaultButton() ? "* " : " ");
                }
                d->reject();
            });
        };
        std::filesystem::remove(m_prefix->missions() + "/Results.txt");
        // The caption of a box is the executable's name (Sortilex's own is "Sortilex").
        const QString app = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
        const struct {
            const char* what;
            std::function<void()> open;
            QString box;
        } rows[] = {
            {"message box", [this] { m_dlg->ShowMessageBox("Start?", nullptr, ui::MbYesNo); },
             app + "|Start?|Yes* No "},
            {"file dialog",
             [this] { QTest::mouseClick(Ctl<QPushButton>(IDC_CUSTOM_MISSIONS), Qt::LeftButton); },
             {}},
            {"about box", [this] { m_dlg->DispatchSysCommand(IDM_ABOUTBOX, 0); }, {}},
            // The results window ends before it shows: its box belongs to the main window.
            {"no results file",
             [] {
                 CResultsDlg missing;
                 missing.m_strGameDir = "C:\\Games\\Vantorra";
                 QCOMPARE(missing.DoModal(), ui::IdOk);
             },
             app + "|Results file cannot be located|OK "},
        };
        for (const auto& row : rows) {
            Seen seen;
            watch(seen);
            row.open();
            QVERIFY2(seen.parent == m_wnd, row.what);
            QVERIFY2(!seen.ownerEnabled && seen.enabled && seen.active, row.what);
            QCOMPARE(seen.box, row.box);
            // Closed: the main window takes input again and is the active one.
            QVERIFY2(m_wnd->isEnabled(), row.what);
            QTRY_VERIFY2(QApplication::activeWindow() == m_wnd, row.what);
        }
        // Before the main window shows, a box has no owner and comes to the front on its own.
        m_dlg->DestroyWindow();
        Seen seen;
        watch(seen);
        CAboutDlg().ShowMessageBox("Vantorra not detected on your machine");
        QVERIFY(seen.parent == nullptr);
        QVERIFY(seen.enabled && seen.active);
    }

    void oneCallsignForTheWholeList() {
        // The list's menu by a right click on another row (the selection stays), its first entry,
        // the dialog (open before its count is known, over the middle of the window), the
        // progress window (the same), the summary; then the list and the field afterwards.
        QWidget* list = m_wnd->Control(IDC_MISSION_LIST);
        ClickRow(list, 1);
        // Typed in the field, not yet changed: the dialog starts from it.
        Ctl<QLineEdit>(IDC_CALLSIGN)->selectAll();
        Ctl<QLineEdit>(IDC_CALLSIGN)->insert(QString::fromUtf8("Gr\u00fcn Fox"));
        // Each mission takes a while to read and to write: the count and the batch are seen at
        // work.
        bool slow = true;
        os::SetFaultHook([&slow](os::FileOp op, const std::string& path) {
            if (slow && (op == os::FileOp::Open || op == os::FileOp::Write) && !path.ends_with("Results.txt"))
                QThread::msleep(op == os::FileOp::Write ? 300 : 40);
            return std::error_code();
        });
        const auto offCentre = [this](QWidget* w) {
            const QPoint d = w->frameGeometry().center() - m_wnd->frameGeometry().center();
            return d.manhattanLength();
        };
        QStringList menu, dialog;
        QString summary, counted;
        int dialogOffCentre = -1, progressOffCentre = -1;
        WhenShown<QMenu>(this, [&](QMenu* shown) {
            menu = MenuTexts(shown);
            menu << QString::number(CurrentRow(list));
            WhenShown<QtDialogWindow>(this, [&](QtDialogWindow* d) {
                dialog << d->windowTitle() + (d->parentWidget() == m_wnd ? " (owned)" : "");
                for (int id : {IDC_BATCH_COUNT, IDC_BATCH_OTHER})
                    dialog << qobject_cast<QLabel*>(d->Control(id))->text();
                auto* edit = qobject_cast<QLineEdit*>(d->Control(IDC_BATCH_CALLSIGN));
                dialog << edit->text();
                dialogOffCentre = offCentre(d);
                // The count comes while the dialog waits; then OK.
                auto* poll = new QTimer(d);
                connect(poll, &QTimer::timeout, d, [&, d, edit, poll] {
                    const QString now = qobject_cast<QLabel*>(d->Control(IDC_BATCH_OTHER))->text();
                    if (now.startsWith(QStringLiteral("Counting"))) return;
                    poll->stop();
                    counted = now;
                    QTest::keyClick(edit, Qt::Key_Return);
                });
                poll->start(10);
                WhenShown<QMessageBox>(this, [&summary](QMessageBox* box) {
                    summary = box->text();
                    box->button(QMessageBox::Ok)->click();
                });
            });
            shown->actions().at(1)->trigger();
            shown->close();
        });
        QTimer progress;
        connect(&progress, &QTimer::timeout, this, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->isVisible() && w->windowTitle() == QStringLiteral("Setting callsign") && progressOffCentre < 0)
                    progressOffCentre = offCentre(w);
        });
        progress.start(5);
        auto* view = qobject_cast<QListView*>(list);
        const QPoint row2 = view->visualRect(view->model()->index(2, 0)).center();
        // Through the window system, as a real click comes: the toolkit makes the menu request.
        QTest::mouseClick(m_wnd->windowHandle(), Qt::RightButton, {}, view->viewport()->mapTo(m_wnd, row2));
        QTRY_VERIFY2(!summary.isEmpty(), qPrintable(menu.join("|") + "/" + dialog.join("|") + "/" + counted));
        slow = false;
        os::SetFaultHook(nullptr);
        QCOMPARE(menu, (QStringList{"&Install missions...", "Set callsign in &all missions...", "Open this &folder",
                                    "Move to &trash", "-",
                                    "Mi&nimize", "&Close", "-", QString::fromUtf8("Inf&o \u00fcber Sortilex..."), "1"}));
        QCOMPARE(dialog, (QStringList{"Callsign for all missions (owned)",
                                      "Callsign for the 3 missions of this list:",
                                      "Counting the missions that hold another callsign...",
                                      QString::fromUtf8("Gr\u00fcn Fox")}));
        QCOMPARE(counted, QStringLiteral("2 of them hold another callsign now. This cannot be undone."));
        QCOMPARE(summary, QStringLiteral("Callsign set in 2 missions.\n0 already had it.\n1 has no player record."));
        QVERIFY2(dialogOffCentre >= 0 && dialogOffCentre <= 2, qPrintable(QString::number(dialogOffCentre)));
        QVERIFY2(progressOffCentre >= 0 && progressOffCentre <= 2, qPrintable(QString::number(progressOffCentre)));
        const std::string changed = sxtest::ReadFile(m_prefix->missions() + "/A mission.mis");
        QVERIFY(changed.find("\t.Callsign  Gr\xfcn Fox\r\n\t.MPCallsign  Gr\xfcn Fox\r\n") != std::string::npos);
        QCOMPARE(sxtest::ReadFile(m_prefix->missions() + "/b mission.mis"), changed);
        QCOMPARE(CurrentRow(list), 1);
        QCOMPARE(Ctl<QLineEdit>(IDC_CALLSIGN)->text(), QString::fromUtf8("Gr\u00fcn Fox"));
        QVERIFY(m_wnd->isEnabled());
    }

    void installByTheMenuAndByADrop() {
        // A real zip picked in the host's file dialog, the confirmation and the summary; then a
        // mission dropped on the window as the toolkit delivers a drop. The replaced mission is
        // in the run's own trash.
        const QTemporaryDir packs;
        const std::string dir = packs.path().toStdString();
        std::filesystem::create_directories(dir + "/pack/Missions");
        sxtest::WriteFile(dir + "/pack/Missions/New one.mis", kMission);
        sxtest::WriteFile(dir + "/pack/Missions/A mission.mis", kMission + "\r\n");
        sxtest::WriteFile(dir + "/pack/readme.txt", "read me");
        sxtest::WriteFile(dir + "/Dropped.mis", kMission);
        const std::string zip = dir + "/pack.zip";
        QCOMPARE(std::system(("cd '" + dir + "/pack' && bsdtar --format zip -cf '" + zip + "' 'Missions/New one.mis' 'Missions/A mission.mis' readme.txt").c_str()), 0);
        QString caption, text, summary;
        QStringList entries;
        WhenShown<QMenu>(this, [&](QMenu* menu) {
            WhenShown<QFileDialog>(this, [&](QFileDialog* files) {
                caption = files->windowTitle();
                WhenShown<QtDialogWindow>(this, [&](QtDialogWindow* confirm) {
                    text = qobject_cast<QPlainTextEdit*>(confirm->Control(IDC_INSTALL_TEXT))->toPlainText();
                    entries = Entries(confirm->Control(IDC_INSTALL_ENTRIES));
                    WhenShown<QMessageBox>(this, [&summary](QMessageBox* box) {
                        summary = box->text();
                        box->button(QMessageBox::Ok)->click();
                    });
                    qobject_cast<QPushButton*>(confirm->Control(ui::IdOk))->click();
                });
                // Typed into the name field, as a user would: selectFile leaves the field as it was
                // once the field has the focus, which depends on when the window system activated
                // the dialog.
                auto* name = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                QVERIFY(name != nullptr);
                files->activateWindow();
                name->setFocus();
                name->setText(QString::fromStdString(zip));
                static_cast<QDialog*>(files)->accept();
            });
            menu->actions().at(0)->trigger();
            menu->close();
        });
        QWidget* list = m_wnd->Control(IDC_MISSION_LIST);
        auto* view = qobject_cast<QListView*>(list);
        QTest::mouseClick(m_wnd->windowHandle(), Qt::RightButton, {},
                          view->viewport()->mapTo(m_wnd, view->visualRect(view->model()->index(0, 0)).center()));
        QTRY_VERIFY2(!summary.isEmpty(), qPrintable(caption + "/" + text + "/" + entries.join("|")));
        QCOMPARE(caption, QStringLiteral("Install missions"));
        QCOMPARE(text, QStringLiteral("2 missions and 0 other files from pack.zip go into C:\\Games\\Vantorra\\Data\\Missions.\n"
                                      "1 of them replaces a file of the same name, which goes to the trash."));
        QCOMPARE(entries, (QStringList{"Missions/New one.mis: new", "Missions/A mission.mis: replaces",
                                       "readme.txt: left out: not part of a mission folder"}));
        QCOMPARE(summary, QStringLiteral("Installed 2 missions and 0 other files.\n1 replaced file is in the trash.\n"
                                         "1 was left out:\nreadme.txt: not part of a mission folder"));
        QCOMPARE(sxtest::ReadFile(m_prefix->missions() + "/A mission.mis"), kMission + "\r\n");
        QCOMPARE(sxtest::ReadFile(m_prefix->trash() + "/files/A mission.mis"), kMission);
        QCOMPARE(Entries(list).size(), 4);
        QCOMPARE(Entries(list).at(CurrentRow(list)), QStringLiteral("A mission.mis"));

        // A drop: refused while it holds anything but local files, then taken as a pick.
        const auto drop = [this](const QList<QUrl>& urls) {
            QMimeData data;
            data.setUrls(urls);
            const QPointF at(m_wnd->width() / 2.0, m_wnd->height() / 2.0);
            QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(m_wnd, &enter);
            if (!enter.isAccepted()) return false;
            QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(m_wnd, &dropped);
            return dropped.isAccepted();
        };
        const QUrl dropped = QUrl::fromLocalFile(QString::fromStdString(dir + "/Dropped.mis"));
        QVERIFY(m_wnd->acceptDrops());
        QVERIFY(!drop({dropped, QUrl(QStringLiteral("https://example.org/pack.zip"))}));
        summary.clear();
        WhenShown<QtDialogWindow>(this, [&](QtDialogWindow* confirm) {
            WhenShown<QMessageBox>(this, [&summary](QMessageBox* box) {
                summary = box->text();
                box->button(QMessageBox::Ok)->click();
            });
            qobject_cast<QPushButton*>(confirm->Control(ui::IdOk))->click();
        });
        QVERIFY(drop({dropped}));
        QTRY_VERIFY(!summary.isEmpty());
        QCOMPARE(summary, QStringLiteral("Installed 1 mission and 0 other files."));
        QCOMPARE(Entries(list).at(CurrentRow(list)), QStringLiteral("Dropped.mis"));
        QCOMPARE(sxtest::ReadFile(m_prefix->missions() + "/Dropped.mis"), kMission);
    }

    void resultsTableAndEveryControlsName() {
        sxtest::WriteFile(m_prefix->missions() + "/Results.txt",
                          "Fighters: 12\r\nBombers: 3\r\nFightersByPlayer: 4\r\nBombersByPlayer: 1\r\n"
                          "AxisFlak: 3\r\nAlliedOther: 1\r\nAxisArmor: 2\r\nAlliedFlak: 5\r\n");
        CResultsDlg results;
        results.m_strGameDir = "C:\\Games\\Vantorra";
        QVERIFY(results.Create());
        auto* r = dynamic_cast<QtDialogWindow*>(results.GetWindow());
        QVERIFY(QTest::qWaitForWindowExposed(r));
        QCOMPARE(r->windowTitle(), QStringLiteral("Results Table"));
        // The counts read-only and centred, out of the tab order; the lists by side.
        const QList<QPair<int, QString>> counts = {{1010, "12"}, {1011, "3"}, {1012, "4"}, {1013, "1"}};
        for (const auto& [id, text] : counts) {
            auto* e = qobject_cast<QLineEdit*>(r->Control(id));
            QVERIFY(e && e->isReadOnly() && !(e->focusPolicy() & Qt::TabFocus));
            QCOMPARE(e->text(), text);
            QCOMPARE(e->alignment(), Qt::AlignCenter);
        }
        QCOMPARE(Entries(r->Control(1008)), (QStringList{"AlliedOther: 1", "AlliedFlak: 5"}));
        QCOMPARE(Entries(r->Control(1009)), (QStringList{"AxisFlak: 3", "AxisArmor: 2"}));
        QCOMPARE(QApplication::focusWidget(), r->Control(1008));

        // Every control of the three windows has a name a screen reader finds.
        CAboutDlg about;
        QVERIFY(about.Create());
        QMap<QString, QString> names;  // "window/object": name
        for (ui::CDialog* dlg : {static_cast<ui::CDialog*>(m_dlg.get()), static_cast<ui::CDialog*>(&results),
                                 static_cast<ui::CDialog*>(&about)}) {
            auto* wnd = dynamic_cast<QtDialogWindow*>(dlg->GetWindow());
            for (QWidget* w : wnd->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                if (w->metaObject() == &QFrame::staticMetaObject) continue;  // the etched frames only draw lines
                QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
                const QString name = a ? a->text(QAccessible::Name) : QString();
                QVERIFY2(!name.isEmpty(), qPrintable(wnd->windowTitle() + " " + w->metaObject()->className()));
                names[wnd->windowTitle() + "/" + w->objectName()] = name;
            }
        }
        // A control without a text of its own takes the label or frame that names it.
        QCOMPARE(names.value("Sortilex v2.1/ctl1000"), QStringLiteral("Available Missions"));
        QCOMPARE(names.value("Sortilex v2.1/ctl1011"), QStringLiteral("Current Callsign"));
        QCOMPARE(names.value("Results Table/ctl1010"), QStringLiteral("Total Fighter Losses"));
    }
};

namespace {
// Every folder where a program keeps settings, caches, state or sockets, empty at the start.
struct EmptyHome {
    sxtest::TempDir dir;
    QStringList folders;
    EmptyHome() {
        const std::pair<const char*, const char*> vars[] = {
            {"HOME", "home"},           {"XDG_CONFIG_HOME", "config"}, {"XDG_DATA_HOME", "data"},
            {"XDG_CACHE_HOME", "cache"}, {"XDG_STATE_HOME", "state"},  {"XDG_RUNTIME_DIR", "runtime"}};
        for (const auto& [var, name] : vars) {
            const std::string folder = dir / name;
            ::mkdir(folder.c_str(), 0700);
            ::setenv(var, folder.c_str(), 1);
            folders << QString::fromStdString(folder);
        }
    }
    // What the run left in them.
    QStringList Kept() const {
        QStringList kept;
        for (const QString& f : folders)
            for (QDirIterator it(f, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                                 QDirIterator::Subdirectories);
                 it.hasNext();)
                kept << it.next();
        return kept;
    }
};
EmptyHome* g_home = nullptr;
}  // namespace

void QtWindowTest::cleanupTestCase() {
    // Every window and dialog opened, a mission run by the substitute game: the program kept
    // nothing between runs, nor did the toolkit on its behalf.
    QCOMPARE(g_home->Kept(), QStringList());
}

int main(int argc, char** argv) {
    EmptyHome home;
    g_home = &home;
    QApplication app(argc, argv);
    QtWindowTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "QtWindowTest.moc"
