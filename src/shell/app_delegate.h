#pragma once

#include "key_commands.h"
#include "platform/hot_key_service.h"

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QSize>
#include <QStringList>
#include <QSystemTrayIcon>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

class QMenuBar;
class QWidget;

namespace pindle {

class Clock;
class DesktopIntegration;
class FileSystem;
class FolderWatcher;
class HotKey;
class HotKeyRegistry;
class KeyMonitor;
class PanelWindow;
class Scheduler;
class SessionEnd;
class Store;
class TrayHostWatcher;

// What the shell is built from. References must outlive the delegate. Empty factories mean
// the real thing for the session (the X11 hot keys and window hints on X11, none elsewhere).
struct ShellServices {
    ShellServices(Scheduler& scheduler_, Clock& clock_, FileSystem& fileSystem_)
        : scheduler(scheduler_)
        , clock(clock_)
        , fileSystem(fileSystem_) {}

    Scheduler& scheduler;
    Clock& clock;
    FileSystem& fileSystem;
    // Reports changes other programs make beside the document (none: they are found before saves).
    FolderWatcher* folderWatcher = nullptr;
    // The notes document; the default location when none.
    std::optional<std::filesystem::path> documentPath;
    // Builds the panel's content for the store (in the app, the notes view).
    std::function<QWidget*(Store&, Scheduler&)> makeContent;
    QSize contentSize{360, 520};
    std::function<std::unique_ptr<HotKeyService>()> makeHotKeyService;
    // Shows a file selected in the file manager.
    std::function<void(const QString& path)> revealFile;
    // Ends the application through the event loop (QCoreApplication::quit by default).
    std::function<void()> quit;
    // Whether to put an icon in the system tray (once the desktop has one).
    bool useTray = true;
};

// The hub of the shell. Owns the store (created first, in the constructor), the menu bar, the
// tray icon, the panel, the hot key and, while the panel is shown, the key monitor. Everything
// runs on the GUI thread; the platform's callbacks arrive there.
class AppDelegate final : public QObject {
    Q_OBJECT

public:
    // The Ctrl+Shift+Y that toggles the panel from anywhere.
    static constexpr HotKeyCombination kToggleHotKey{0x79 /* y */, kHotKeyControl | kHotKeyShift};

    AppDelegate(ShellServices services, QStringList arguments, QObject* parent = nullptr);
    ~AppDelegate() override;

    Store& store() { return *m_store; }

    // Once the event loop runs: the menus, the tray icon, the panel, the hot key and, with
    // "--show-panel" among the arguments, the panel opened; in that order. The tray icon is made
    // only once the desktop has a tray (see TrayHostWatcher), which may be later; until then the
    // hot key, "--show-panel" and later launches open the panel at the fallback place.
    void applicationDidFinishLaunching();
    // Every orderly end of the application: writes the notes now; when that fails, keeps them in
    // an emergency copy and names it on standard error.
    void applicationWillTerminate();

    // Places the panel at the current anchor, shows it with the editor focused, highlights the
    // tray icon and starts the key commands.
    void openPanel();
    // Hides the panel (when shown), records the time, takes the highlight off, dismisses a
    // delete confirmation, writes the notes and stops the key commands.
    void closePanel();
    // The tray click and hot key rule: close when shown, else open unless a close happened less
    // than 0.25 s ago.
    void togglePanel();
    // The hot key's callback: the toggle, from the main loop.
    void hotKeyPressed();
    // A later launch of the program handed its arguments over: the panel opens (or comes to the
    // front when it is shown already).
    void anotherLaunch(const QStringList& arguments);

    // The desktop switched between light and dark: the tray icon is drawn again from the new
    // application palette (the panel repaints by itself).
    void appearanceChanged();

    void statusItemActivated(QSystemTrayIcon::ActivationReason reason);
    // Closes the panel and pops up the tray icon's menu ("Pindle" / "Reveal Notes in Finder" /
    // "Quit Pindle"), for Ctrl with the left button.
    void showContextMenu();
    // Shows notes.json at its default location selected in the file manager.
    void revealNotes() const;
    void terminate() const;

    // Decides and carries out the key commands while the panel is shown; true swallows.
    KeyDecision decideKey(const KeyInput& input) const;
    bool performKeyCommand(const KeyDecision& decision);

    PanelWindow* panel() const { return m_panel; }
    // The main menu: "Quit Pindle" and "Edit". Their shortcuts work while the panel is shown.
    QList<QMenu*> mainMenus() const { return {m_appMenu.get(), m_editMenu.get()}; }
    // Made only where the desktop shows application menus in its own bar, and only once the
    // panel's first frame is out: elsewhere a menu bar is never seen, and making one loads every
    // image reader of Qt for its one bitmap icon and asks the session bus, blocking, for that bar.
    QMenuBar* menuBar() const { return m_menuBar; }
    QMenu* contextMenu() const { return m_contextMenu; }
    HotKey* hotKey() const { return m_hotKey.get(); }
    bool keyMonitorInstalled() const { return m_keyMonitor != nullptr; }
    bool panelVisible() const;
    std::chrono::system_clock::time_point lastCloseTime() const { return m_lastCloseTime; }
    bool highlighted() const { return m_highlighted; }

private:
    void buildMainMenu();
    void installMenuBar();
    bool eventFilter(QObject* watched, QEvent* event) override;
    void buildContextMenu();
    void watchForTray();
    void createStatusItem();
    void createPanel();
    void registerHotKey();
    void installKeyMonitor();
    void removeKeyMonitor();
    void setHighlighted(bool highlighted);
    // The tray icon's rectangle, the point of the click that opens the panel, or the last of
    // these; none when nothing tells where the icon is.
    std::optional<QRectF> currentAnchor();
    std::optional<QRect> trayIconGeometry() const;
    void openPanelOnceDocked();
    void endDockWait();
    void editingAction(KeyCommand command);

    ShellServices m_services;
    QStringList m_arguments;
    std::unique_ptr<Store> m_store;
    std::unique_ptr<SessionEnd> m_sessionEnd;
    std::unique_ptr<DesktopIntegration> m_desktop;
    std::unique_ptr<HotKeyService> m_hotKeyService;
    std::unique_ptr<HotKeyRegistry> m_hotKeyRegistry;
    std::unique_ptr<TrayHostWatcher> m_trayWatcher;

    QMenuBar* m_menuBar = nullptr;
    bool m_menuBarAsked = false;
    bool m_waitingForDock = false;
    std::unique_ptr<QMenu> m_appMenu;
    std::unique_ptr<QMenu> m_editMenu;
    QSystemTrayIcon* m_statusItem = nullptr;
    PanelWindow* m_panel = nullptr;
    std::unique_ptr<KeyMonitor> m_keyMonitor;
    std::unique_ptr<HotKey> m_hotKey;
    QPointer<QMenu> m_contextMenu;
    // The clock's epoch (0) until the first close.
    std::chrono::system_clock::time_point m_lastCloseTime{};
    bool m_highlighted = false;
    bool m_closing = false;

    // Where the last tray click happened, for trays that do not tell their icon's place.
    std::optional<QRectF> m_clickAnchor;
    std::optional<QRectF> m_lastAnchor;
};

} // namespace pindle
