#include "launch.h"

#include "notes/notes_file.h"

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace pindle {

namespace {

// The context the command-line texts are translated under.
constexpr const char* kContext = "pindle::Launch";

const char* const kUsage = QT_TRANSLATE_NOOP(
    "pindle::Launch", "Usage: pindle [--show-panel]\n"
                      "\n"
                      "Pindle keeps quick plain-text notes in the system tray. A click on its icon,\n"
                      "or Ctrl+Shift+Y from any application, opens the notes panel. One copy runs per\n"
                      "user.\n"
                      "\n"
                      "  --show-panel  open the panel at start, or in the copy that is already running\n"
                      "  -h, --help    show this help and exit\n"
                      "  --version     show the version and exit\n"
                      "\n"
                      "The notes are saved in %1");
const char* const kUnknownOption =
    QT_TRANSLATE_NOOP("pindle::Launch", "unknown option %1 (pindle --help lists the options)");
const char* const kNoDisplaySet = QT_TRANSLATE_NOOP(
    "pindle::Launch", "cannot start without a graphical session: neither DISPLAY nor WAYLAND_DISPLAY is set");
const char* const kDisplayRefused =
    QT_TRANSLATE_NOOP("pindle::Launch", "cannot start without a graphical session: the display %1 could not be opened");

// Translated with a translator of its own rather than an installed one: the answer is printed
// where the application object is only a QCoreApplication, or half made.
QString inUserLanguage(const char* source) {
    QTranslator translator;
    if (Launch::loadTranslation(translator)) {
        QString translated = translator.translate(kContext, source);
        if (!translated.isEmpty()) {
            return translated;
        }
    }
    return QString::fromUtf8(source);
}

void printLine(std::FILE* stream, const QString& text) {
    (void)std::fprintf(stream, "%s\n", text.toLocal8Bit().constData());
}

bool noDisplayNamed() {
    return qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

QString noDisplayLine() {
    if (noDisplayNamed()) {
        return QStringLiteral("pindle: ") + inUserLanguage(kNoDisplaySet);
    }
    const QString display = qEnvironmentVariableIsEmpty("DISPLAY") ? qEnvironmentVariable("WAYLAND_DISPLAY")
                                                                   : qEnvironmentVariable("DISPLAY");
    return QStringLiteral("pindle: ") + inUserLanguage(kDisplayRefused).arg(display);
}

// While the application is made, Qt's messages are held back: when the platform plugin cannot
// connect, Qt warns twice and then aborts, and one clear line is worth more than those three.
struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};
std::vector<HeldMessage>* g_held = nullptr;
QtMessageHandler g_previousHandler = nullptr;

void holdMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg && text.contains(QLatin1String("platform plugin"))) {
        // A plugin that was found but could not start is one that could not reach its display.
        const bool displayRefused = std::any_of(g_held->begin(), g_held->end(), [](const HeldMessage& held) {
            return held.text.contains(QLatin1String("even though it was found"));
        });
        if (displayRefused) {
            printLine(stderr, noDisplayLine());
            (void)std::fflush(stdout);
            std::_Exit(1);
        }
    }
    if (type == QtFatalMsg) {
        for (const HeldMessage& held : *g_held) {
            const QMessageLogContext heldContext(nullptr, 0, nullptr, held.category.constData());
            g_previousHandler(held.type, heldContext, held.text);
        }
        g_held->clear();
        g_previousHandler(type, context, text);
        return;
    }
    g_held->push_back({type, QByteArray(context.category), text});
}

QString translationsFolder(const char* relative) {
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(relative));
}

} // namespace

LaunchRequest Launch::read(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (std::strcmp(argument, "--") == 0) {
            break;
        }
        if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0) {
            return {LaunchRequest::Kind::help, {}};
        }
        if (std::strcmp(argument, "--version") == 0) {
            return {LaunchRequest::Kind::version, {}};
        }
        // A lone "-" is an operand by custom, not an option.
        if (argument[0] == '-' && argument[1] != '\0' && std::strcmp(argument, "--show-panel") != 0) {
            return {LaunchRequest::Kind::unknownOption, QString::fromLocal8Bit(argument)};
        }
    }
    return {};
}

QString Launch::usage() {
    return inUserLanguage(kUsage).arg(QString::fromStdString(defaultDocumentPath().string()));
}

int Launch::answer(const LaunchRequest& request, int& argc, char** argv) {
    // Translations are found next to the program, which a QCoreApplication knows; it opens no
    // display and reads no notes.
    const QCoreApplication core(argc, argv);
    switch (request.kind) {
    case LaunchRequest::Kind::run:
        break;
    case LaunchRequest::Kind::help:
        printLine(stdout, usage());
        return 0;
    case LaunchRequest::Kind::version:
        std::printf("Pindle %s\n", PINDLE_VERSION);
        return 0;
    case LaunchRequest::Kind::unknownOption:
        printLine(stderr, QStringLiteral("pindle: ") + inUserLanguage(kUnknownOption).arg(request.unknownOption));
        return 2;
    }
    return 0;
}

std::unique_ptr<QApplication> Launch::openApplication(int& argc, char** argv) {
    if (noDisplayNamed() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        const QCoreApplication core(argc, argv);
        printLine(stderr, noDisplayLine());
        return nullptr;
    }
    std::vector<HeldMessage> held;
    g_held = &held;
    g_previousHandler = qInstallMessageHandler(holdMessage);
    auto application = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(g_previousHandler);
    g_held = nullptr;
    for (const HeldMessage& message : held) {
        const QMessageLogContext context(nullptr, 0, nullptr, message.category.constData());
        qt_message_output(message.type, context, message.text);
    }
    return application;
}

bool Launch::loadTranslation(QTranslator& translator) {
    // The user's languages in order of preference. English, the language of the code, ends the
    // search: with LANGUAGE=en_GB:de the program stays English rather than falling to German.
    for (const QString& language : QLocale().uiLanguages()) {
        const QLocale locale(language);
        if (locale.language() == QLocale::English || locale.language() == QLocale::C) {
            return false;
        }
        // The build folder first, so that `make run` shows the translations just built.
        for (const char* relative : {"translations", PINDLE_INSTALLED_TRANSLATIONS}) {
            if (translator.load(locale, QStringLiteral("pindle"), QStringLiteral("_"), translationsFolder(relative))) {
                return true;
            }
        }
    }
    return false;
}

void Launch::installTranslations() {
    // Owned by the application, which lives until the process ends.
    auto* pindleTranslator = new QTranslator(qApp);
    if (loadTranslation(*pindleTranslator)) {
        QCoreApplication::installTranslator(pindleTranslator);
        // Qt's own texts (the editor's context menu) in the language Pindle speaks, so that one
        // panel never mixes two languages.
        auto* qtTranslator = new QTranslator(qApp);
        if (qtTranslator->load(QLocale(pindleTranslator->language()), QStringLiteral("qtbase"), QStringLiteral("_"),
                               QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            QCoreApplication::installTranslator(qtTranslator);
        }
    }
}

} // namespace pindle
