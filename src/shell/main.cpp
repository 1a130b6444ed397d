// Pindle's entry point: one instance per user, the GUI on X11 (XWayland on a Wayland session),
// and an orderly, flushing quit for every way the process is asked to end.

#include "app_delegate.h"
#include "launch.h"
#include "notes/file_system.h"
#include "notes/notes_file.h"
#include "notes/scheduler.h"
#include "panel/panel_view.h"
#include "platform/desktop_color_scheme.h"
#include "platform/inotify_folder_watcher.h"
#include "platform/qt_scheduler.h"
#include "platform/quit_signals.h"
#include "platform/single_instance.h"
#include "platform/startup_preload.h"
#include "platform/wayland_session.h"

#include <QApplication>
#include <QDBusConnection>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

// Placing the panel under the tray icon needs global coordinates, which Wayland does not give
// to clients: on a Wayland session Pindle runs through XWayland unless told otherwise.
void preferX11() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && pindle::isWaylandSession() &&
        !qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
}

} // namespace

int main(int argc, char* argv[]) {
    // First of all: a quit request during the start (a slow disk, a huge document) ends it.
    pindle::QuitSignals::catchEarly();
    // --help, --version and mistakes are answered before anything else happens.
    if (const pindle::LaunchRequest request = pindle::Launch::read(argc, argv);
        request.kind != pindle::LaunchRequest::Kind::run) {
        return pindle::Launch::answer(request, argc, argv);
    }
    preferX11();
    const std::unique_ptr<QApplication> application = pindle::Launch::openApplication(argc, argv);
    if (!application) {
        return 1;
    }
    QApplication& app = *application;
    pindle::Launch::installTranslations();
    QApplication::setApplicationName(QStringLiteral("Pindle"));
    // Desktops match windows and tray items to the installed pindle.desktop by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("pindle"));
    QApplication::setQuitOnLastWindowClosed(false);

    // The notes folder is locked too: two sessions sharing one home never both write the notes.
    pindle::SingleInstance instance(pindle::SingleInstance::runtimeFolder(),
                                    QFile::decodeName(pindle::defaultDocumentPath().parent_path().c_str()));
    switch (instance.start(QApplication::arguments())) {
    case pindle::SingleInstance::Outcome::handedOver:
        if (!instance.warning().isEmpty()) {
            (void)std::fprintf(stderr, "pindle: %s\n", qPrintable(instance.warning()));
        }
        return 0;
    case pindle::SingleInstance::Outcome::failed:
        (void)std::fprintf(stderr, "pindle: %s\n", qPrintable(instance.warning()));
        return 1;
    case pindle::SingleInstance::Outcome::primary:
        if (!instance.warning().isEmpty()) {
            (void)std::fprintf(stderr, "pindle: %s; running without the one-instance guard\n",
                               qPrintable(instance.warning()));
        }
        break;
    }

    // Gone before the application object, declared after it.
    const pindle::StartupPreload preload;

    pindle::QtScheduler scheduler;
    pindle::SystemClock clock;
    pindle::InotifyFolderWatcher folderWatcher;
    pindle::ShellServices services{scheduler, clock, pindle::PosixFileSystem::instance()};
    services.folderWatcher = &folderWatcher;
    services.makeContent = [](pindle::Store& store, pindle::Scheduler& panelScheduler) -> QWidget* {
        return new pindle::PanelView(store, panelScheduler);
    };
    services.contentSize = pindle::PanelView::size();

    pindle::AppDelegate delegate(std::move(services), QApplication::arguments());
    // Asked once the notes are read, while the session bus had that time to connect, and before
    // the launch goes on: the answer is usually in before anything is shown.
    pindle::DesktopColorScheme colorScheme(QDBusConnection::sessionBus());
    colorScheme.start();
    QObject::connect(&instance, &pindle::SingleInstance::launched, &delegate, &pindle::AppDelegate::anotherLaunch);
    QObject::connect(&colorScheme, &pindle::DesktopColorScheme::schemeChanged, &delegate,
                     &pindle::AppDelegate::appearanceChanged);
    QTimer::singleShot(0, &delegate, &pindle::AppDelegate::applicationDidFinishLaunching);

    // From here on there is a store to flush: quit signals go through the event loop.
    pindle::QuitSignals quitSignals;
    quitSignals.install();
    QObject::connect(&quitSignals, &pindle::QuitSignals::quitRequested, &app, [] { QCoreApplication::quit(); });
    return QApplication::exec();
}
