#include "app_delegate.h"

#include "hot_key.h"
#include "key_monitor.h"
#include "notes/notes_file.h"
#include "notes/store.h"
#include "panel_placement.h"
#include "panel_window.h"
#include "platform/desktop_integration.h"
#include "platform/file_manager.h"
#include "platform/session_end.h"
#include "platform/tray_host_watcher.h"
#include "platform/tray_icon.h"
#include "platform/wayland_session.h"
#include "toggle_rule.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScopedValueRollback>
#include <QScreen>
#include <QThread>
#include <QEvent>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace pindle {

namespace {

const QString kShowPanelArgument = QStringLiteral("--show-panel");
// The tray usually takes the icon in within a few milliseconds of the request; a tray that never
// does holds the panel of "--show-panel" back this long at most.
constexpr int kDockWaitMs = 2000;

// Code reached from the platform's callbacks must run on the GUI thread; anything else is a
// programming error that would corrupt the store.
void assertMainThread() {
    if (QThread::currentThread() != QCoreApplication::instance()->thread()) {
        qFatal("Pindle: shell code called off the GUI thread");
    }
}

} // namespace

AppDelegate::AppDelegate(ShellServices services, QStringList arguments, QObject* parent)
    : QObject(parent)
    , m_services(std::move(services))
    , m_arguments(std::move(arguments)) {
    assertMainThread();
    if (!m_services.quit) {
        m_services.quit = [] { QCoreApplication::quit(); };
    }
    if (!m_services.revealFile) {
        m_services.revealFile = [](const QString& path) { revealInFileManager(path); };
    }
    m_store = std::make_unique<Store>(
        StoreServices{m_services.scheduler, m_services.clock, m_services.fileSystem, m_services.folderWatcher},
        m_services.documentPath);
    m_sessionEnd = std::make_unique<SessionEnd>([this] { applicationWillTerminate(); });
    connect(qApp, &QCoreApplication::aboutToQuit, this, &AppDelegate::applicationWillTerminate);
}

AppDelegate::~AppDelegate() {
    // The session hook refers to the store; it goes first.
    m_sessionEnd.reset();
    m_keyMonitor.reset();
    m_hotKey.reset();
    if (m_contextMenu) {
        delete m_contextMenu.data();
    }
    delete m_panel;
    delete m_statusItem;
}

void AppDelegate::applicationDidFinishLaunching() {
    assertMainThread();
    buildMainMenu();
    buildContextMenu();
    watchForTray();
    createPanel();
    registerHotKey();
    if (m_arguments.mid(1).contains(kShowPanelArgument)) {
        m_panel->installEventFilter(this);
        openPanelOnceDocked();
    } else {
        whenGlobalMenuAvailable(this, [this] { installMenuBar(); });
    }
}

bool AppDelegate::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Paint) {
        return false;
    }
    if (watched == m_panel && !m_menuBarAsked) {
        m_menuBarAsked = true;
        m_panel->removeEventFilter(this);
        whenGlobalMenuAvailable(this, [this] { installMenuBar(); });
    } else if (m_waitingForDock && watched != m_panel) {
        // Out of the paint first: opening the panel makes and shows windows.
        QTimer::singleShot(0, this, [this] {
            if (m_waitingForDock && trayIconGeometry()) {
                endDockWait();
            }
        });
    }
    return false;
}

void AppDelegate::installMenuBar() {
    m_menuBar = new QMenuBar(m_panel);
    m_menuBar->addMenu(m_appMenu.get());
    m_menuBar->addMenu(m_editMenu.get());
    m_menuBar->hide();
}

void AppDelegate::openPanelOnceDocked() {
    // Right after start the tray has not taken the icon in yet; give it a moment, so the panel
    // opens under the icon rather than at the fallback place. Qt is asked about the tray only
    // once the icon exists: asked earlier, it would settle on "no StatusNotifierItem host" for good.
    // A StatusNotifierItem icon has no geometry to wait for (it is invalid, not at the origin).
    if (!m_statusItem || !QSystemTrayIcon::isSystemTrayAvailable() || !m_statusItem->geometry().isValid() ||
        trayIconGeometry()) {
        openPanel();
        return;
    }
    // Taken in, the icon is painted in the tray: each paint of a window (the panel's aside) is
    // the moment to look again. Nothing runs while nothing happens.
    m_waitingForDock = true;
    qApp->installEventFilter(this);
    QTimer::singleShot(kDockWaitMs, this, [this] {
        if (m_waitingForDock) {
            endDockWait();
        }
    });
}

void AppDelegate::endDockWait() {
    m_waitingForDock = false;
    qApp->removeEventFilter(this);
    openPanel();
}

void AppDelegate::applicationWillTerminate() {
    m_store->flush();
    if (m_store->lastWriteStatus().ok()) {
        return;
    }
    // The last chance for what was typed since the last good save: a copy of the user's own, and
    // one line that says where it is.
    if (const auto copy = m_store->keepEmergencyCopy()) {
        (void)std::fprintf(stderr, "pindle: the notes could not be saved to %s; a copy is in %s\n",
                           m_store->fileURL().c_str(), copy->c_str());
    } else {
        (void)std::fprintf(stderr, "pindle: the notes could not be saved to %s, nor anywhere else\n",
                           m_store->fileURL().c_str());
    }
}

void AppDelegate::buildMainMenu() {
    // The menu bar shows where the desktop has a global menu; elsewhere it stays hidden. Its
    // shortcuts work while the panel is the active window (see createPanel) for the keys the key
    // commands pass on, such as Ctrl+Q with Caps Lock; a key the commands claim never reaches them.
    m_appMenu = std::make_unique<QMenu>();
    QMenu* appMenu = m_appMenu.get();
    QAction* quit = appMenu->addAction(tr("Quit Pindle"), this, &AppDelegate::terminate);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    m_editMenu = std::make_unique<QMenu>(tr("Edit"));
    QMenu* edit = m_editMenu.get();
    const auto addEditing = [&](const QString& title, const QKeySequence& keys, KeyCommand command) {
        QAction* action = edit->addAction(title, this, [this, command] { editingAction(command); });
        action->setShortcut(keys);
    };
    addEditing(tr("Undo"), QKeySequence(Qt::CTRL | Qt::Key_Z), KeyCommand::undo);
    addEditing(tr("Redo"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), KeyCommand::redo);
    edit->addSeparator();
    addEditing(tr("Cut"), QKeySequence(Qt::CTRL | Qt::Key_X), KeyCommand::cut);
    addEditing(tr("Copy"), QKeySequence(Qt::CTRL | Qt::Key_C), KeyCommand::copy);
    addEditing(tr("Paste"), QKeySequence(Qt::CTRL | Qt::Key_V), KeyCommand::paste);
    addEditing(tr("Select All"), QKeySequence(Qt::CTRL | Qt::Key_A), KeyCommand::selectAll);
    for (QMenu* menu : {appMenu, edit}) {
        for (QAction* action : menu->actions()) {
            action->setShortcutContext(Qt::WindowShortcut);
        }
    }
}

void AppDelegate::buildContextMenu() {
    m_contextMenu = new QMenu();
    QAction* title = m_contextMenu->addAction(QStringLiteral("Pindle"));
    title->setEnabled(false);
    m_contextMenu->addSeparator();
    m_contextMenu->addAction(tr("Reveal Notes in Finder"), this, &AppDelegate::revealNotes);
    m_contextMenu->addSeparator();
    QAction* quit = m_contextMenu->addAction(tr("Quit Pindle"), this, &AppDelegate::terminate);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(m_contextMenu, &QMenu::aboutToShow, this, &AppDelegate::closePanel);
}

void AppDelegate::watchForTray() {
    if (!m_services.useTray) {
        return;
    }
    // Qt chooses between a StatusNotifierItem and an XEmbed icon once, when the icon is made, and
    // keeps to it: made before the desktop's tray runs (autostart order at login), it would never
    // show in a StatusNotifierItem host. So it is made when a tray is there, at once when one is.
    m_trayWatcher = createTrayHostWatcher();
    connect(m_trayWatcher.get(), &TrayHostWatcher::trayAppeared, this, &AppDelegate::createStatusItem);
    m_trayWatcher->start();
}

void AppDelegate::createStatusItem() {
    if (m_statusItem) {
        return;
    }
    // Qt keeps showing this icon from here on: an XEmbed icon docks again in a tray that
    // restarts, a StatusNotifierItem registers again with a watcher that does.
    m_statusItem = new QSystemTrayIcon(trayIcon(m_highlighted));
    m_statusItem->setToolTip(QStringLiteral("Pindle"));
    // The menu stays with the icon: a StatusNotifierItem host shows it itself (over D-Bus) on a
    // right click, and only when the icon has one; an XEmbed tray's right click pops it up in Qt.
    m_statusItem->setContextMenu(m_contextMenu);
    connect(m_statusItem, &QSystemTrayIcon::activated, this, &AppDelegate::statusItemActivated);
    m_statusItem->show();
}

void AppDelegate::createPanel() {
    m_desktop = createDesktopIntegration();
    QWidget* content = m_services.makeContent(*m_store, m_services.scheduler);
    m_panel = new PanelWindow(content, m_services.contentSize, *m_desktop);
    // A hidden menu bar's shortcuts never fire; the panel carries them as well.
    for (const QMenu* menu : {m_appMenu.get(), m_editMenu.get()}) {
        m_panel->addActions(menu->actions());
    }
    connect(m_panel, &PanelWindow::deactivated, this, &AppDelegate::closePanel);
}

void AppDelegate::registerHotKey() {
    m_hotKeyService = m_services.makeHotKeyService ? m_services.makeHotKeyService() : createHotKeyService();
    m_hotKeyRegistry = std::make_unique<HotKeyRegistry>(*m_hotKeyService, m_services.scheduler);
    m_hotKey = HotKey::create(*m_hotKeyRegistry, kToggleHotKey, [this] { hotKeyPressed(); });
}

bool AppDelegate::panelVisible() const {
    return m_panel && m_panel->isVisible();
}

std::optional<QRect> AppDelegate::trayIconGeometry() const {
    if (!m_statusItem) {
        return std::nullopt;
    }
    // An icon not docked yet reports its own top-level window, at the origin; a docked one sits
    // inside the tray, which never puts it on the very corner of the screen.
    const QRect icon = m_statusItem->geometry();
    if (!icon.isValid() || icon.isEmpty() || icon.topLeft() == QPoint(0, 0)) {
        return std::nullopt;
    }
    return icon;
}

std::optional<QRectF> AppDelegate::currentAnchor() {
    if (const auto icon = trayIconGeometry()) {
        m_clickAnchor.reset();
        m_lastAnchor = QRectF(*icon);
        return m_lastAnchor;
    }
    if (m_clickAnchor) {
        m_lastAnchor = *m_clickAnchor;
        m_clickAnchor.reset();
    }
    return m_lastAnchor;
}

void AppDelegate::openPanel() {
    if (!m_panel) {
        return;
    }
    const std::optional<QRectF> anchor = currentAnchor();
    // The compositor's work area where it has one (its bars are not the X11 screen's business),
    // on the screen it lies on; else the screen of the anchor, or the primary one.
    const std::optional<QRect> workArea = m_desktop->workArea();
    QScreen* screen = workArea ? QGuiApplication::screenAt(workArea->center())
                      : anchor ? QGuiApplication::screenAt(anchor->center().toPoint())
                               : nullptr;
    if (!screen) {
        screen = QGuiApplication::primaryScreen();
    }
    std::optional<ScreenArea> screenArea;
    if (screen) {
        const QRect available = workArea ? workArea->intersected(screen->geometry()) : screen->availableGeometry();
        screenArea = ScreenArea{QRectF(screen->geometry()), QRectF(available)};
    }
    const QRectF at = anchor ? *anchor : screenArea ? fallbackAnchor(*screenArea) : QRectF();
    m_panel->moveContentTo(panelOrigin(at, QSizeF(m_panel->contentSize()), screenArea));
    m_panel->present();
    m_store->requestEditorFocus();
    setHighlighted(true);
    installKeyMonitor();
}

void AppDelegate::closePanel() {
    // Hiding the active panel deactivates it on the spot, and the deactivation asks for this very
    // close again from inside hide(): one close is one pass, whatever reports it meanwhile.
    if (!panelVisible() || m_closing) {
        return;
    }
    const QScopedValueRollback closing(m_closing, true);
    m_panel->hide();
    m_lastCloseTime = m_services.clock.now();
    setHighlighted(false);
    m_store->setConfirmingDelete(false);
    m_store->flush();
    removeKeyMonitor();
}

void AppDelegate::togglePanel() {
    switch (toggleAction(panelVisible(), m_services.clock.now(), m_lastCloseTime)) {
    case ToggleAction::close:
        closePanel();
        break;
    case ToggleAction::open:
        openPanel();
        break;
    case ToggleAction::stayClosed:
        break;
    }
}

void AppDelegate::hotKeyPressed() {
    assertMainThread();
    togglePanel();
}

void AppDelegate::anotherLaunch(const QStringList& /*arguments*/) {
    if (panelVisible()) {
        m_panel->present();
        m_store->requestEditorFocus();
    } else {
        openPanel();
    }
}

void AppDelegate::appearanceChanged() {
    setHighlighted(m_highlighted);
}

void AppDelegate::statusItemActivated(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
    case QSystemTrayIcon::Context:
        // The tray or Qt shows the icon's menu; its aboutToShow closes the panel. Some hosts ask
        // for the menu without showing it, so the panel is closed here as well.
        closePanel();
        break;
    case QSystemTrayIcon::Trigger:
        // Ctrl with the left button stands for the right button, as on one-button pointers. The
        // keyboard as it is now counts: the modifiers Qt saw last may be those of a Ctrl+W that
        // closed the panel, and a tray's click carries no key state of its own.
        if (QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier) {
            showContextMenu();
            break;
        }
        [[fallthrough]];
    case QSystemTrayIcon::DoubleClick:
    case QSystemTrayIcon::MiddleClick:
        // Trays that keep their icon's place to themselves still leave the pointer on it. Not on a
        // Wayland session: there the tray is the compositor's client, and the pointer XWayland
        // reports is wherever it last crossed an X11 window; the fallback place is better.
        if (!isWaylandSession()) {
            m_clickAnchor = QRectF(QPointF(QCursor::pos()), QSizeF(0, 0));
        }
        togglePanel();
        break;
    case QSystemTrayIcon::Unknown:
        break;
    }
}

void AppDelegate::showContextMenu() {
    closePanel();
    QPoint at = QCursor::pos();
    if (const auto icon = trayIconGeometry()) {
        at = icon->bottomLeft() + QPoint(0, 1);
    }
    // QMenu moves itself up when there is no room below (a tray at the bottom of the screen).
    m_contextMenu->popup(at);
}

void AppDelegate::revealNotes() const {
    m_services.revealFile(QString::fromStdString(defaultDocumentPath().string()));
}

void AppDelegate::terminate() const {
    m_services.quit();
}

void AppDelegate::setHighlighted(bool highlighted) {
    m_highlighted = highlighted;
    if (m_statusItem) {
        m_statusItem->setIcon(trayIcon(highlighted));
    }
}

void AppDelegate::installKeyMonitor() {
    if (m_keyMonitor) {
        return;
    }
    m_keyMonitor =
        std::make_unique<KeyMonitor>([this](const KeyInput& input) { return decideKey(input); },
                                     [this](const KeyDecision& decision) { return performKeyCommand(decision); });
}

void AppDelegate::removeKeyMonitor() {
    // Escape and Ctrl+W close the panel from inside the monitor's own event filter: it stops
    // seeing keys now and is destroyed once that filter has returned.
    if (KeyMonitor* monitor = m_keyMonitor.release()) {
        qApp->removeEventFilter(monitor);
        monitor->deleteLater();
    }
}

KeyDecision AppDelegate::decideKey(const KeyInput& input) const {
    return decideKeyCommand(input, m_store->confirmingDelete());
}

bool AppDelegate::performKeyCommand(const KeyDecision& decision) {
    assertMainThread();
    switch (decision.command) {
    case KeyCommand::passOn:
        return false;
    case KeyCommand::dismissConfirmation:
        m_store->setConfirmingDelete(false);
        return true;
    case KeyCommand::closePanel:
        closePanel();
        return true;
    case KeyCommand::selectNote:
        m_store->select(static_cast<std::int64_t>(decision.noteIndex));
        return true;
    case KeyCommand::quit:
        terminate();
        return true;
    case KeyCommand::copy:
    case KeyCommand::paste:
    case KeyCommand::cut:
    case KeyCommand::selectAll:
    case KeyCommand::undo:
    case KeyCommand::redo:
        return performEditingCommand(decision.command, QApplication::focusWidget());
    }
    return false;
}

void AppDelegate::editingAction(KeyCommand command) {
    performEditingCommand(command, QApplication::focusWidget());
}

} // namespace pindle
