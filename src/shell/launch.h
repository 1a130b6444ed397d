#pragma once

#include <QString>

#include <memory>

class QApplication;
class QTranslator;

namespace pindle {

// What a command line asks of Pindle, decided before anything touches the display, the notes or
// a running copy. "--show-panel" (anywhere, exact) is the only option that changes what Pindle
// does and is read later by the shell; "--help" and "--version" are answered on the spot; any
// other argument starting with "-" is a mistake. Other words are ignored, as is everything
// after "--".
struct LaunchRequest {
    enum class Kind { run, help, version, unknownOption };
    Kind kind = Kind::run;
    QString unknownOption;
};

class Launch {
public:
    static LaunchRequest read(int argc, const char* const* argv);

    // Prints the help or the version to stdout, or the one-line complaint about an unknown option
    // to stderr, in the user's language; returns the exit status. Needs no display.
    static int answer(const LaunchRequest& request, int& argc, char** argv);

    // The application for the GUI. Where no display can be opened (no DISPLAY or WAYLAND_DISPLAY,
    // or a server that refuses the connection) Qt would abort with a core dump: instead this
    // prints one line saying a graphical session is needed, having touched nothing, and returns
    // none (no DISPLAY or WAYLAND_DISPLAY) or exits with status 1 (a refused connection).
    static std::unique_ptr<QApplication> openApplication(int& argc, char** argv);

    // Loads Pindle's translation for the user's language (LANGUAGE, LC_ALL, LC_MESSAGES, LANG)
    // into `translator`, from next to the program in the build folder or from the installed
    // share/pindle/translations. False for English and for languages without a translation.
    static bool loadTranslation(QTranslator& translator);

    // Installs Pindle's translation and Qt's own (which covers the editor's context menu) into
    // the running application; call before any widget is made.
    static void installTranslations();

    static QString usage();
};

} // namespace pindle
