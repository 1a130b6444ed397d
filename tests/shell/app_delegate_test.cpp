// The shell's delegate on the offscreen platform, with a hand-advanced clock, a stand-in for the
// panel content (an editor wired to the store) and a fake desktop hot-key service.

#include "notes/file_system.h"
#include "notes/manual_time.h"
#include "notes/store.h"
#include "shell/app_delegate.h"
#include "shell/hot_key.h"
#include "shell/panel_window.h"

#include <QFile>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <chrono>

using namespace std::chrono_literals;

namespace pindle {
namespace {

class StandInContent final : public QWidget {
public:
    explicit StandInContent(Store& store)
        : m_store(store)
        , m_editor(new QPlainTextEdit(this)) {
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(m_editor);
        m_editor->setPlainText(QString::fromStdString(store.activeNote()->text));
        connect(m_editor, &QPlainTextEdit::textChanged, this,
                [this] { m_store.updateActiveText(m_editor->toPlainText().toStdString()); });
        m_observer = store.observe([this](StoreChange change) {
            if (change == StoreChange::focusToken) {
                m_editor->setFocus();
            }
        });
    }
    ~StandInContent() override { m_store.unobserve(m_observer); }

protected:
    // Like the notes view: the editor has the focus whenever the panel is shown.
    void showEvent(QShowEvent*) override { m_editor->setFocus(); }

public:
    QPlainTextEdit* editor() const { return m_editor; }

private:
    Store& m_store;
    QPlainTextEdit* m_editor;
    Store::ObserverId m_observer = 0;
};

class FakeHotKeyService final : public HotKeyService {
public:
    void setPressHandler(PressHandler handler) override { m_handler = std::move(handler); }
    bool registerHotKey(HotKeyId id, HotKeyCombination combination) override {
        lastId = id;
        lastCombination = combination;
        return true;
    }
    void unregisterHotKey(HotKeyId) override {}
    void press() { m_handler(lastId); }

    HotKeyId lastId;
    HotKeyCombination lastCombination;

private:
    PressHandler m_handler;
};

QByteArray readFile(const std::filesystem::path& path) {
    QFile file(QString::fromStdString(path.string()));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class AppDelegateTest : public QObject {
    Q_OBJECT

private:
    struct Shell {
        QTemporaryDir folder;
        ManualTime time;
        FakeHotKeyService* hotKeys = nullptr;
        QStringList revealed;
        int quits = 0;
        std::unique_ptr<AppDelegate> delegate;

        explicit Shell(QStringList arguments = {QStringLiteral("pindle")}) {
            ShellServices services{time, time, PosixFileSystem::instance()};
            services.documentPath = std::filesystem::path(folder.path().toStdString()) / "notes.json";
            services.makeContent = [](Store& store, Scheduler&) -> QWidget* { return new StandInContent(store); };
            services.makeHotKeyService = [this] {
                auto service = std::make_unique<FakeHotKeyService>();
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
        QPlainTextEdit* editor() const { return static_cast<StandInContent*>(panel()->content())->editor(); }
        Store& store() const { return delegate->store(); }
        std::filesystem::path document() const { return store().fileURL(); }
        void pressHotKey() {
            hotKeys->press();
            time.advance(0ms);
        }
        bool openAndFocus() {
            delegate->openPanel();
            return QTest::qWaitForWindowActive(panel()) && editor()->hasFocus();
        }
        void key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
            QTest::keyClick(panel()->windowHandle(), key, modifiers);
        }
    };

private slots:
    void launchesInOrderAndHonoursOnlyTheExactShowPanelArgument() {
        Shell plain;
        QVERIFY(!plain.delegate->panelVisible());
        // Menus, panel and the Ctrl+Shift+Y hot key all exist after launch.
        QCOMPARE(plain.hotKeys->lastId.id, 1u);
        QCOMPARE(plain.hotKeys->lastCombination.keysym, 0x79u);
        QCOMPARE(plain.hotKeys->lastCombination.modifiers, kHotKeyControl | kHotKeyShift);
        QVERIFY(plain.delegate->hotKey());

        const QList<QAction*> bar = plain.delegate->menuBar()->actions();
        QCOMPARE(bar.size(), 2);
        const QList<QAction*> app = bar[0]->menu()->actions();
        QCOMPARE(app.size(), 1);
        QCOMPARE(app[0]->text(), QStringLiteral("Quit Pindle"));
        QCOMPARE(app[0]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
        QCOMPARE(bar[1]->menu()->title(), QStringLiteral("Edit"));
        QStringList edit;
        for (QAction* action : bar[1]->menu()->actions()) {
            edit << (action->isSeparator() ? QStringLiteral("-")
                                           : action->text() + QLatin1Char(' ') + action->shortcut().toString());
        }
        QCOMPARE(edit, (QStringList{"Undo Ctrl+Z", "Redo Ctrl+Shift+Z", "-", "Cut Ctrl+X", "Copy Ctrl+C",
                                    "Paste Ctrl+V", "Select All Ctrl+A"}));

        Shell shown({"pindle", "--verbose", "--show-panel"});
        QVERIFY(shown.delegate->panelVisible());
        QVERIFY(shown.delegate->keyMonitorInstalled());
        for (const char* near : {"--Show-Panel", "--show-panel=1", "show-panel"}) {
            Shell other({"pindle", near});
            QVERIFY2(!other.delegate->panelVisible(), near);
        }
    }

    void opensAtTheFallbackAnchorWithoutATray() {
        Shell shell;
        QVERIFY(shell.openAndFocus());
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        const QRect content = shell.panel()->contentGeometry();
        QCOMPARE(content.size(), QSize(360, 520));
        QVERIFY(qAbs(content.center().x() - area.center().x()) <= 1);
        QCOMPARE(content.top(), area.top() + 6);
    }

    void hotKeyTogglesWithAQuarterSecondOfSuppressionAfterAClose() {
        Shell shell;
        const auto tokenBefore = shell.store().focusToken();
        shell.pressHotKey();
        QVERIFY(shell.delegate->panelVisible());
        QVERIFY(shell.delegate->highlighted());
        QVERIFY(shell.delegate->keyMonitorInstalled());
        QCOMPARE(shell.store().focusToken(), tokenBefore + 1);

        shell.pressHotKey();
        QVERIFY(!shell.delegate->panelVisible());
        QVERIFY(!shell.delegate->highlighted());
        QVERIFY(!shell.delegate->keyMonitorInstalled());
        QVERIFY(shell.delegate->lastCloseTime() == shell.time.now());

        shell.time.setNow(shell.time.now() + 249ms);
        shell.pressHotKey();
        QVERIFY(!shell.delegate->panelVisible());
        shell.time.setNow(shell.time.now() + 1ms);
        shell.pressHotKey();
        QVERIFY(shell.delegate->panelVisible());
        QCOMPARE(shell.store().focusToken(), tokenBefore + 2);

        // A later launch opens the panel even right after a close.
        shell.delegate->closePanel();
        shell.delegate->anotherLaunch({"pindle"});
        QVERIFY(shell.delegate->panelVisible());
    }

    void closingWritesPendingTextAndDismissesTheConfirmation() {
        Shell shell;
        QVERIFY(shell.openAndFocus());
        QTest::keyClicks(shell.editor(), "buy milk");
        QVERIFY(shell.time.pendingCount() > 0);
        QVERIFY(!readFile(shell.document()).contains("buy milk"));
        shell.store().setConfirmingDelete(true);

        shell.delegate->closePanel();
        QVERIFY(!shell.delegate->panelVisible());
        QVERIFY(readFile(shell.document()).contains("buy milk"));
        QVERIFY(!shell.store().confirmingDelete());
        QCOMPARE(shell.time.pendingCount(), 0u);
    }

    void keyCommandsActWhileShownAndOnlyThen() {
        Shell shell;
        shell.store().addNote();
        shell.store().addNote();
        const std::string second = shell.store().notes()[1].id;
        QVERIFY(shell.openAndFocus());

        shell.key(Qt::Key_2, Qt::ControlModifier);
        QCOMPARE(shell.store().activeId(), second);
        shell.key(Qt::Key_5, Qt::ControlModifier);
        QCOMPARE(shell.store().activeId(), second);
        QVERIFY(readFile(shell.document()).contains(QByteArray("\"activeId\" : \"") + second.c_str()));

        // Escape first dismisses the confirmation, then closes.
        shell.store().setConfirmingDelete(true);
        shell.key(Qt::Key_Escape, Qt::ShiftModifier);
        QVERIFY(shell.delegate->panelVisible());
        QVERIFY(!shell.store().confirmingDelete());
        shell.key(Qt::Key_Escape);
        QVERIFY(!shell.delegate->panelVisible());

        // Hidden: nothing is intercepted any more.
        shell.key(Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(shell.quits, 0);

        shell.time.setNow(shell.time.now() + 1s);
        QVERIFY(shell.openAndFocus());
        shell.key(Qt::Key_W, Qt::ControlModifier);
        QVERIFY(!shell.delegate->panelVisible());

        shell.time.setNow(shell.time.now() + 1s);
        QVERIFY(shell.openAndFocus());
        shell.key(Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(shell.quits, 1);
    }

    void editingKeysReachTheFocusedEditorOnce() {
        Shell shell;
        QVERIFY(shell.openAndFocus());
        QTest::keyClicks(shell.editor(), "abc");
        shell.key(Qt::Key_A, Qt::ControlModifier);
        QVERIFY(shell.editor()->textCursor().hasSelection());
        shell.key(Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(shell.editor()->toPlainText(), QString());
        // One undo step per Ctrl+Z: run twice, the cut and the typing would both be undone.
        shell.key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(shell.editor()->toPlainText(), QStringLiteral("abc"));
        shell.key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(shell.editor()->toPlainText(), QString());
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
        QVERIFY(readFile(shell.document()).contains("note"));

        QMenu* menu = shell.delegate->contextMenu();
        QVERIFY(menu);
        const QList<QAction*> items = menu->actions();
        QCOMPARE(items.size(), 5);
        QCOMPARE(items[0]->text(), QStringLiteral("Pindle"));
        QVERIFY(!items[0]->isEnabled());
        QVERIFY(items[1]->isSeparator() && items[3]->isSeparator());
        QCOMPARE(items[2]->text(), QStringLiteral("Reveal Notes in Finder"));
        QCOMPARE(items[4]->text(), QStringLiteral("Quit Pindle"));

        // The document the store uses is elsewhere; the reveal shows the default location.
        items[2]->trigger();
        QCOMPARE(shell.revealed, QStringList{dataHome.path() + "/Pindle/notes.json"});
        items[4]->trigger();
        QCOMPARE(shell.quits, 1);

        // Dismissed, the menu is gone and the next toggle opens the panel again.
        menu->close();
        QTRY_VERIFY(!shell.delegate->contextMenu());
        shell.time.setNow(shell.time.now() + 1s);
        shell.delegate->togglePanel();
        QVERIFY(shell.delegate->panelVisible());
        qunsetenv("XDG_DATA_HOME");
    }
};

} // namespace pindle

QTEST_MAIN(pindle::AppDelegateTest)
#include "app_delegate_test.moc"
