// The real main window, built by the Qt host and driven offscreen.
#include <QApplication>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <filesystem>

#include <QLabel>
#include <QMenu>
#include <QMessageBox>

#include "app/LauncherDlg.h"
#include "platform/qt/QtHost.h"
#include "results/ResultsDlg.h"
#include "tests/TestSupport.h"

using namespace sx;

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

}  // namespace

class QtWindowTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<sxtest::FakePrefix> m_prefix;
    QtHost m_host;
    std::unique_ptr<CLauncherDlg> m_dlg;
    QtDialogWindow* m_wnd = nullptr;
    // Message boxes a test expects: their texts, each answered with its default button.
    bool m_expectMessages = false;
    QStringList m_messages;
    bool m_resultsShown = false;
    // What the about box and the window menu showed while they were open.
    QStringList m_aboutTexts;
    int m_aboutRuns = 0;
    QStringList m_menuTexts;
    int m_menuChoice = -1;  // the entry of the window menu to choose, from the end

    template <class W>
    W* Ctl(int id) {
        return qobject_cast<W*>(m_wnd->Control(id));
    }
    void Open() {
        m_dlg = std::make_unique<CLauncherDlg>();
        m_wnd = m_host.OpenModeless(*m_dlg);
        QVERIFY(QTest::qWaitForWindowExposed(m_wnd));
    }
    void Close() {
        if (m_dlg) m_host.CloseModeless(*m_dlg);
        m_dlg.reset();
        m_wnd = nullptr;
    }

  private slots:
    void init() {
        m_prefix = std::make_unique<sxtest::FakePrefix>(sxtest::InstalledGameValues());
        sxtest::WriteFile(m_prefix->missions() + "/b mission.mis", kMission);
        sxtest::WriteFile(m_prefix->missions() + "/A mission.mis", kMission);
        sxtest::WriteFile(m_prefix->missions() + "/c no player.mis",
                          ".MissionSummary\r\nNo pilot.\r\n.EndMissionSummary\r\n");
        sxtest::WriteFile(m_prefix->campaigns() + "/Camp.mis", kMission);
        SetHost(&m_host);
        // A message box would wait for a user: close any that opens, and fail the test.
        auto* guard = new QTimer(this);
        connect(guard, &QTimer::timeout, this, [this] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->isVisible() && w->windowTitle() == QStringLiteral("Results Table"))
                    m_resultsShown = true;
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                m_menuTexts.clear();
                for (QAction* a : menu->actions())
                    m_menuTexts << (a->isSeparator() ? QStringLiteral("-") : a->text());
                const auto actions = menu->actions();
                if (m_menuChoice >= 0) actions[actions.size() - 1 - m_menuChoice]->trigger();
                menu->close();
                return;
            }
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr) return;
            if (auto* about = dynamic_cast<QtDialogWindow*>(modal);
                about && about->windowTitle() == QString::fromUtf8("Info \u00fcber Sortilex")) {
                ++m_aboutRuns;
                m_aboutTexts.clear();
                for (QLabel* l : about->findChildren<QLabel*>())
                    if (!l->text().isEmpty()) m_aboutTexts << l->text();
                auto* ok = qobject_cast<QPushButton*>(about->Control(IDOK));
                m_aboutTexts << ok->text() + (ok->isDefault() ? "*" : "");
                QTest::keyClick(ok, Qt::Key_Return);
                return;
            }
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (m_expectMessages && box) {
                m_messages << box->windowTitle() + QStringLiteral("|") + box->text();
                box->defaultButton() ? box->defaultButton()->click() : box->accept();
                return;
            }
            modal->close();
            QFAIL("an unexpected modal window opened");
        });
        guard->start(100);
        m_expectMessages = false;
        m_messages.clear();
        m_resultsShown = false;
        m_aboutRuns = 0;
        m_menuChoice = -1;
        Open();
    }
    void cleanup() {
        Close();
        SetHost(nullptr);
        m_prefix.reset();
    }

    void controlsAsTheTemplateSays() {
        QCOMPARE(m_wnd->windowTitle(), QStringLiteral("Sortilex v2.1"));
        const DialogTemplate* t = FindDialogTemplate(IDD_LAUNCHER_DIALOG);
        QVERIFY(t != nullptr);
        int found = 0;
        for (const ControlTemplate& c : t->controls) {
            if (c.id == IDC_STATIC) continue;
            QWidget* w = m_wnd->Control(c.id);
            QVERIFY2(w != nullptr, qPrintable(QString::number(c.id)));
            QCOMPARE(w->objectName(), QStringLiteral("ctl%1").arg(c.id));
            switch (c.kind) {
                case ControlKind::ListBox:
                    QVERIFY(qobject_cast<QListView*>(w));
                    break;
                case ControlKind::Edit:
                    QVERIFY((c.style & style::ES_MULTILINE)
                                ? qobject_cast<QPlainTextEdit*>(w) != nullptr
                                : qobject_cast<QLineEdit*>(w) != nullptr);
                    break;
                case ControlKind::PushButton:
                case ControlKind::RadioButton: {
                    auto* b = qobject_cast<QPushButton*>(w);
                    QVERIFY(b);
                    QCOMPARE(b->text(), DecodeForDisplay(c.text));
                    QCOMPARE(b->isCheckable(), c.kind == ControlKind::RadioButton);
                    QVERIFY(!b->autoDefault());
                    break;
                }
                default:
                    break;
            }
            // Where the template puts it.
            QCOMPARE(w->pos(),
                     QPoint(QtDialogWindow::DluToPixelsX(c.x), QtDialogWindow::DluToPixelsY(c.y)));
            ++found;
        }
        QCOMPARE(found, 9);
        QCOMPARE(Ctl<QPushButton>(IDC_LAUNCH_MISSION)->text(), QStringLiteral("Launch\nMission"));
        QCOMPARE(m_wnd->size(),
                 QSize(QtDialogWindow::DluToPixelsX(394), QtDialogWindow::DluToPixelsY(300)));
        QVERIFY(!(m_wnd->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(m_wnd->windowFlags() & Qt::WindowMinimizeButtonHint);
        QCOMPARE(m_wnd->minimumSize(), m_wnd->maximumSize());
    }

    void everyTextFitsItsRectangle() {
        const QFont font = QtHost::DialogFont();
        QCOMPARE(m_wnd->font(), font);
        for (int id : {IDD_LAUNCHER_DIALOG, IDD_ABOUTBOX, IDD_RESULTS_DIALOG}) {
            const DialogTemplate* t = FindDialogTemplate(id);
            QVERIFY(t != nullptr);
            for (const ControlTemplate& c : t->controls)
                QVERIFY2(QtHost::TextFits(c, font), c.text);
            // The caption too, with room for the window's buttons.
            QVERIFY(QFontMetrics(font).horizontalAdvance(DecodeForDisplay(t->caption)) <
                    QtDialogWindow::DluToPixelsX(t->cx) - 60);
        }
    }

    void tabOrder() {
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

    void openingStateAndCategories() {
        QVERIFY(Ctl<QPushButton>(IDC_SINGLE_MISSIONS)->isChecked());
        QVERIFY(!Ctl<QPushButton>(IDC_CAMPAIGN_MISSIONS)->isChecked());
        QWidget* list = m_wnd->Control(IDC_MISSION_LIST);
        QCOMPARE(Entries(list), (QStringList{"A mission.mis", "b mission.mis", "c no player.mis"}));
        QCOMPARE(CurrentRow(list), 0);
        // Each separator is one line break; the bytes show as Windows-1252.
        QCOMPARE(Ctl<QPlainTextEdit>(IDC_BRIEFING)->toPlainText(),
                 QStringLiteral("\nFirst line.\n\nSecond \u00e9 line."));
        QCOMPARE(m_dlg->m_strBriefing,
                 std::string("\r\r\nFirst line.\r\r\n\r\r\nSecond \xe9 line."));
        QCOMPARE(Ctl<QLineEdit>(IDC_CALLSIGN)->text(), QStringLiteral("Old Fox"));
        QCOMPARE(Ctl<QLineEdit>(IDC_CALLSIGN)->alignment(), Qt::AlignCenter);

        QTest::mouseClick(Ctl<QPushButton>(IDC_CAMPAIGN_MISSIONS), Qt::LeftButton);
        QVERIFY(Ctl<QPushButton>(IDC_CAMPAIGN_MISSIONS)->isChecked());
        QVERIFY(!Ctl<QPushButton>(IDC_SINGLE_MISSIONS)->isChecked());
        QCOMPARE(Entries(list), QStringList{"Camp.mis"});
        QCOMPARE(m_dlg->m_nCategory, 1);
        // Clicking a checked category button again keeps it checked.
        QTest::mouseClick(Ctl<QPushButton>(IDC_CAMPAIGN_MISSIONS), Qt::LeftButton);
        QVERIFY(Ctl<QPushButton>(IDC_CAMPAIGN_MISSIONS)->isChecked());
    }

    void selectTypeAndChange() {
        QWidget* list = m_wnd->Control(IDC_MISSION_LIST);
        auto* callsign = Ctl<QLineEdit>(IDC_CALLSIGN);
        // The program's own selection is not reported (the handler would clear m_bReselect)...
        m_dlg->m_bReselect = 1;
        m_dlg->m_strSelectedMission = "b mis";
        m_dlg->RefreshMissionList();
        QCOMPARE(CurrentRow(list), 1);
        QCOMPARE(m_dlg->m_bReselect, 1);
        ClickRow(list, 0);
        // ...a user's is.
        QCOMPARE(m_dlg->m_bReselect, 0);
        ClickRow(list, 1);
        QCOMPARE(CurrentRow(list), 1);
        QCOMPARE(callsign->text(), QStringLiteral("Old Fox"));
        callsign->clear();
        QTest::keyClicks(callsign, QStringLiteral("Red \u00c4ce"));
        QTest::mouseClick(Ctl<QPushButton>(IDC_CHANGE_CALLSIGN), Qt::LeftButton);
        const std::string file = sxtest::ReadFile(m_prefix->missions() + "/b mission.mis");
        QVERIFY(file.find("\t.Callsign  Red \xc4"
                          "ce\r\n\t.MPCallsign  Red \xc4"
                          "ce\r\n") != std::string::npos);
        QCOMPARE(callsign->text(), QStringLiteral("Red \u00c4ce"));
        // A mission without a player record keeps the callsign in the field.
        ClickRow(list, 2);
        QCOMPARE(Ctl<QPlainTextEdit>(IDC_BRIEFING)->toPlainText(), QStringLiteral("\nNo pilot."));
        QCOMPARE(callsign->text(), QStringLiteral("Red \u00c4ce"));
    }

    void enterOnAPushButtonClicksIt() {
        auto* change = Ctl<QPushButton>(IDC_CHANGE_CALLSIGN);
        Ctl<QLineEdit>(IDC_CALLSIGN)->setText(QStringLiteral("By Enter"));
        change->setFocus();
        QTest::keyClick(change, Qt::Key_Return);
        QVERIFY(!m_dlg->HasEnded());
        QVERIFY(sxtest::ReadFile(m_prefix->missions() + "/A mission.mis").find("By Enter") !=
                std::string::npos);
    }

    void enterElsewhereEndsTheRun() {
        auto* edit = Ctl<QLineEdit>(IDC_CALLSIGN);
        edit->setFocus();
        QTest::keyClicks(edit, QStringLiteral(" typed"));
        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(m_dlg->HasEnded());
        QCOMPARE(m_dlg->Result(), IDOK);
        // Enter pulled the controls first.
        QCOMPARE(m_dlg->m_strCallsign, std::string("Old Fox typed"));
    }

    void enterOnACategoryButtonEndsTheRun() {
        auto* campaign = Ctl<QPushButton>(IDC_CAMPAIGN_MISSIONS);
        campaign->setFocus();
        QTest::keyClick(campaign, Qt::Key_Enter);
        QVERIFY(m_dlg->HasEnded());
        QCOMPARE(m_dlg->Result(), IDOK);
        QVERIFY(!campaign->isChecked());
    }

    void resultsTable() {
        sxtest::WriteFile(
            m_prefix->missions() + "/Results.txt",
            "Fighters: 12\r\nBombers: 3\r\nFightersByPlayer: 4\r\nBombersByPlayer: 1\r\n"
            "AxisFlak: 3\r\nAlliedOther: 1\r\nAxisArmor: 2\r\nAlliedFlak: 5\r\n");
        CResultsDlg results;
        results.m_strGameDir = "C:\\Games\\Vantorra";
        QtDialogWindow* r = m_host.OpenModeless(results);
        QVERIFY(QTest::qWaitForWindowExposed(r));
        QCOMPARE(r->windowTitle(), QStringLiteral("Results Table"));
        const QList<QPair<int, QString>> counts = {
            {1010, "12"}, {1011, "3"}, {1012, "4"}, {1013, "1"}};
        for (const auto& [id, text] : counts) {
            auto* e = qobject_cast<QLineEdit*>(r->Control(id));
            QVERIFY(e);
            QCOMPARE(e->text(), text);
            QVERIFY(e->isReadOnly());
            QCOMPARE(e->alignment(), Qt::AlignCenter);
            QVERIFY(!(e->focusPolicy() & Qt::TabFocus));
        }
        QCOMPARE(Entries(r->Control(1008)), (QStringList{"AlliedOther: 1", "AlliedFlak: 5"}));
        QCOMPARE(Entries(r->Control(1009)), (QStringList{"AxisFlak: 3", "AxisArmor: 2"}));
        QCOMPARE(QApplication::focusWidget(), r->Control(1008));
        m_host.CloseModeless(results);

        // No results file: one message, and the table never shows.
        std::filesystem::remove(m_prefix->missions() + "/Results.txt");
        m_expectMessages = true;
        m_resultsShown = false;  // the watchdog saw the table above, which was meant to show
        CResultsDlg missing;
        missing.m_strGameDir = "C:\\Games\\Vantorra";
        QCOMPARE(missing.DoModal(), IDOK);
        // The caption is the executable's name (Sortilex's own is "Sortilex").
        const QString app = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
        QCOMPARE(m_messages, QStringList{app + "|Results file cannot be located"});
        QVERIFY(!m_resultsShown);
    }

    void windowMenuAndAboutBox() {
        // Right-click on the window's background: the platform's entries, then ours.
        m_menuChoice = 0;
        QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5),
                                m_wnd->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(m_wnd, &click);
        QCOMPARE(m_menuTexts.mid(m_menuTexts.size() - 2),
                 (QStringList{"-", QString::fromUtf8("Inf&o \u00fcber Sortilex...")}));
        QCOMPARE(m_aboutRuns, 1);
        QCOMPARE(m_aboutTexts, (QStringList{"Sortilex\nVersion 2.1",
                                            "Copyright (C) 2026\nThe Sortilex developers", "OK*"}));
        // The menu key and Shift+F10 open it too.
        m_menuChoice = -1;
        m_menuTexts.clear();
        QTest::keyClick(m_wnd->Control(IDC_MISSION_LIST), Qt::Key_Menu);
        QCOMPARE(m_menuTexts.size(), 4);
        m_menuTexts.clear();
        QTest::keyClick(m_wnd->Control(IDC_MISSION_LIST), Qt::Key_F10, Qt::ShiftModifier);
        QCOMPARE(m_menuTexts.size(), 4);

        // Ids 0x10 to 0x1F open the about box; no other id does.
        m_aboutRuns = 0;
        for (unsigned id = 0x00; id <= 0x2F; ++id) m_dlg->DispatchSysCommand(id, 0);
        QCOMPARE(m_aboutRuns, 16);
        QVERIFY(!m_dlg->HasEnded());
        QVERIFY(m_wnd->isVisible());
        QVERIFY(!m_wnd->windowIcon().isNull());
    }

    void escapeAndCloseBoxCancel() {
        QTest::keyClick(m_wnd->Control(IDC_MISSION_LIST), Qt::Key_Escape);
        QVERIFY(m_dlg->HasEnded());
        QCOMPARE(m_dlg->Result(), IDCANCEL);
        Close();
        Open();
        m_wnd->close();
        QVERIFY(m_dlg->HasEnded());
        QCOMPARE(m_dlg->Result(), IDCANCEL);
    }
};

QTEST_MAIN(QtWindowTest)
#include "QtWindowTest.moc"
