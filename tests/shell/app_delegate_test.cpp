// The shell's delegate with the real panel on the offscreen platform, a hand-advanced clock and a
// fake desktop hot-key service.

#include "notes/file_system.h"
#include "notes/store.h"
#include "panel/note_editor.h"
#include "panel/panel_view.h"
#include "pindle/testing/fake_hot_key_service.h"
#include "pindle/testing/forwarding_file_system.h"
#include "pindle/testing/manual_time.h"
#include "shell/app_delegate.h"
#include "shell/panel_window.h"

#include <QFile>
#include <QSessionManager>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>

using namespace std::chrono_literals;

namespace pindle {
namespace {

// A menu's items as "Text Shortcut", "-" for a separator and "(Text)" for a disabled item.
QStringList describe(const QMenu* menu) {
    QStringList items;
    for (const QAction* action : menu->actions()) {
        const QString text = (action->text() + QLatin1Char(' ') + action->shortcut().toString()).trimmed();
        items << (action->isSeparator() ? QStringLiteral("-") : action->isEnabled() ? text : "(" + text + ")");
    }
    return items;
}

} // namespace

class AppDelegateTest : public QObject {
    Q_OBJECT

    struct Shell {
        QTemporaryDir folder;
        ManualTime time;
        FakeHotKeyService* hotKeys = nullptr;
        QStringList revealed;
        int quits = 0;
        // Counts the document's replacements: one per write.
        struct CountingFileSystem : testing::ForwardingFileSystem {
            int renames = 0;
            bool intercept(const char* call) override {
                renames += std::string_view(call) == "rename";
                return false;
            }
        } files;
        std::unique_ptr<AppDelegate> delegate;

        explicit Shell(const QStringList& arguments = {QStringLiteral("pindle")}, bool refuseHotKey = false) {
            ShellServices services{time, time, files};
            services.documentPath = std::filesystem::path(folder.path().toStdString()) / "notes.json";
            services.makeContent = [](Store& store, Scheduler& scheduler) -> QWidget* {
                return new PanelView(store, scheduler);
            };
            services.makeHotKeyService = [this, refuseHotKey] {
                auto service = std::make_unique<FakeHotKeyService>();
                service->refuse = refuseHotKey;
                hotKeys = service.get();
                return service;
            };
            services.revealFile = [this](const QString& path) { revealed << path; };
            services.quit = [this] { ++quits; };
            services.useTray = false;
            delegate = std::make_unique<AppDelegate>(std::move(services), arguments);
            delegate->applicationDidFinishLaunching();
        }
        PanelWindow* panel() const { return delegate->panel(); }
        NoteEditor* editor() const { return panel()->content()->findChild<NoteEditor*>("editor"); }
        Store& store() const { return delegate->store(); }
        QByteArray document() const {
            QFile file(QString::fromStdString(store().fileURL().string()));
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }
        void pressHotKey() {
            hotKeys->press(1);
            time.advance(0ms);
        }
        bool openAndFocus() const {
            delegate->openPanel();
            return QTest::qWaitForWindowActive(panel()) && editor()->hasFocus();
        }
        void key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) const {
            QTest::keyClick(panel()->windowHandle(), key, modifiers);
        }
    };

private slots:
    void launchesWithTheHotKeyOrWithoutItAndOpensOnlyForTheExactShowPanelArgument() {
        Shell plain;
        QVERIFY(!plain.delegate->panelVisible());
        QCOMPARE(plain.hotKeys->registered.at(1).keysym, 0x79u);
        QCOMPARE(plain.hotKeys->registered.at(1).modifiers, kHotKeyControl | kHotKeyShift);
        Shell shown({"pindle", "--verbose", "--show-panel"});
        QVERIFY(shown.delegate->panelVisible() && shown.delegate->keyMonitorInstalled());
        for (const char* near : {"--Show-Panel", "--show-panel=1", "show-panel"}) {
            QVERIFY2(!Shell({"pindle", near}).delegate->panelVisible(), near);
        }
        // Another program holds the combination: the panel still opens from the icon.
        Shell refused({"pindle"}, true);
        QVERIFY(!refused.delegate->hotKey());
        QVERIFY(refused.openAndFocus());
        QCOMPARE(refused.panel()->contentGeometry().size(), QSize(360, 520));
    }

    // Open focuses the editor; close writes the typing at once and locks the toggle out for 250 ms.
    void openAndCloseStepByStepWithAQuarterSecondOfSuppression() {
        Shell shell;
        const auto tokenBefore = shell.store().focusToken();
        shell.pressHotKey();
        QVERIFY(shell.delegate->panelVisible() && shell.delegate->highlighted());
        QCOMPARE(shell.store().focusToken(), tokenBefore + 1);
        QVERIFY(QTest::qWaitForWindowActive(shell.panel()) && shell.editor()->hasFocus());
        QTest::keyClicks(shell.editor(), "buy milk");
        QVERIFY(!shell.document().contains("buy milk"));
        shell.store().setConfirmingDelete(true);

        shell.pressHotKey();
        QVERIFY(!shell.delegate->panelVisible() && !shell.delegate->highlighted());
        QVERIFY(!shell.delegate->keyMonitorInstalled() && !shell.store().confirmingDelete());
        QVERIFY(shell.document().contains("buy milk"));
        QCOMPARE(shell.time.pendingCount(), 0u);

        shell.time.setNow(shell.time.now() + 249ms);
        shell.pressHotKey();
        QVERIFY(!shell.delegate->panelVisible());
        shell.time.setNow(shell.time.now() + 1ms);
        shell.pressHotKey();
        QVERIFY(shell.delegate->panelVisible());
        // A later launch opens the panel even right after a close.
        shell.delegate->closePanel();
        shell.delegate->anotherLaunch({"pindle"});
        QVERIFY(shell.delegate->panelVisible());
    }

    // Logging out asks to commit data, and the session may end the program without a quit.
    void typingIsWrittenWhenTheSessionEndsAndOnQuit() {
        Shell shell;
        QVERIFY(shell.openAndFocus());
        QTest::keyClicks(shell.editor(), "logout");
        emit qGuiApp->commitDataRequest(*qGuiApp->findChild<QSessionManager*>());
        QVERIFY(shell.document().contains("logout"));
        QTest::keyClicks(shell.editor(), " quit");
        shell.delegate->applicationWillTerminate();
        QVERIFY(shell.document().contains("logout quit"));
    }

    // The key monitor acts while shown and only then; the command table is in key_commands_test.
    void keyCommandsActWhileShownAndOnlyThen() {
        Shell shell;
        QVERIFY(shell.openAndFocus());
        shell.store().setConfirmingDelete(true);
        shell.key(Qt::Key_Escape);
        QVERIFY(shell.delegate->panelVisible() && !shell.store().confirmingDelete());
        const int writes = shell.files.renames;
        shell.key(Qt::Key_Escape);
        QVERIFY(!shell.delegate->panelVisible());
        QCOMPARE(shell.files.renames, writes + 1); // one close, one write

        shell.key(Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(shell.quits, 0);
        shell.time.setNow(shell.time.now() + 1s);
        QVERIFY(shell.openAndFocus());
        shell.key(Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(shell.quits, 1);

        // An open popup menu (the editor's, the tray's) takes its own keys: Escape closes only it.
        QMenu popup;
        popup.addAction(QStringLiteral("Cut"));
        popup.popup(shell.panel()->pos());
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(shell.panel()->windowHandle(), &escape);
        QVERIFY(shell.delegate->panelVisible() && !popup.isVisible());
    }

    // One undo step per Ctrl+Z: run twice, the cut and the typing would both be undone.
    void editingKeysReachTheFocusedEditorOnce() {
        Shell shell;
        QVERIFY(shell.openAndFocus());
        QTest::keyClicks(shell.editor(), "abc");
        shell.key(Qt::Key_A, Qt::ControlModifier);
        shell.key(Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(shell.editor()->toPlainText(), QString());
        shell.key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(shell.editor()->toPlainText(), QStringLiteral("abc"));
        shell.key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(shell.store().activeNote()->text, std::string());
    }

    void contextMenuClosesThePanelRevealsTheDefaultDocumentAndQuits() {
        QTemporaryDir dataHome;
        qputenv("XDG_DATA_HOME", dataHome.path().toUtf8());
        Shell shell;
        QVERIFY(shell.openAndFocus());
        QTest::keyClicks(shell.editor(), "note");
        shell.delegate->showContextMenu();
        QVERIFY(!shell.delegate->panelVisible());
        QVERIFY(shell.document().contains("note"));

        QMenu* menu = shell.delegate->contextMenu();
        QCOMPARE(describe(menu), (QStringList{"(Pindle)", "-", "Reveal Notes in Finder", "-", "Quit Pindle Ctrl+Q"}));
        // The document the store uses is elsewhere; the reveal shows the default location.
        menu->actions()[2]->trigger();
        QCOMPARE(shell.revealed, QStringList{dataHome.path() + "/Pindle/notes.json"});
        menu->actions()[4]->trigger();
        QCOMPARE(shell.quits, 1);

        // Dismissed, the menu lets the next toggle open the panel again.
        menu->close();
        shell.time.setNow(shell.time.now() + 1s);
        shell.delegate->togglePanel();
        QVERIFY(shell.delegate->panelVisible());
        qunsetenv("XDG_DATA_HOME");
    }
};

} // namespace pindle

QTEST_MAIN(pindle::AppDelegateTest)
#include "app_delegate_test.moc"
