// What one keystroke costs in the real panel: from the key event to the repaint flushed to the
// display server, in notes of 1 KB, 100 KB and 1 MB (lines of about a dozen words), in 1 MB
// and 100 KB written as one line with no break, and in one word of 100 KB, 1 MB and 10 MB.
//
// Runs the panel in its real window on the platform it is given (under Xvfb with xcb for the
// figures that count), types a letter in the middle of the note and deletes it again, and times
// each keystroke (press and release) until its repaint is on the server: the keys go through the
// window system interface like real ones, the posted repaint runs, the backing store is flushed,
// and a round trip to the X server makes sure the server has applied it. A keystroke that did not
// repaint the editor fails the run rather than giving a number.
//
//   panel_bench [--samples N] [--seconds S] [--json FILE] [--case NAME]...
//
// Prints a table; --json writes every sample (milliseconds) for the bench report.
#include "notes/file_system.h"
#include "notes/scheduler.h"
#include "notes/store.h"
#include "panel/note_editor.h"
#include "panel/panel_view.h"
#include "platform/desktop_integration.h"
#include "platform/qt_scheduler.h"
#include "sample_text.h"
#include "shell/panel_window.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>

#include <xcb/xcb.h>

namespace {

using namespace pindle;
using Clock = std::chrono::steady_clock;

// Prose in lines of a dozen words, prose in one line, or one long word (a pasted base64 blob).
enum class Shape { lines, oneLine, oneWord };

struct Case {
    const char* name;
    std::size_t bytes;
    Shape shape;
};

constexpr Case kCases[] = {
    {"1KB", 1u << 10, Shape::lines},
    {"100KB", 100u << 10, Shape::lines},
    {"1MB", 1u << 20, Shape::lines},
    {"100KB-one-line", 100u << 10, Shape::oneLine},
    {"1MB-one-line", 1u << 20, Shape::oneLine},
    {"100KB-one-word", 100u << 10, Shape::oneWord},
    {"1MB-one-word", 1u << 20, Shape::oneWord},
    {"10MB-one-word", 10u << 20, Shape::oneWord},
};

std::string sample(const Case& c) {
    if (c.shape != Shape::oneWord) {
        return bench::sampleText(c.bytes, true, c.shape == Shape::oneLine ? bench::Lines::one : bench::Lines::many);
    }
    constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::mt19937 random(7);
    std::string word(c.bytes, 'A');
    for (char& letter : word) {
        letter = kLetters[random() % (sizeof kLetters - 1)];
    }
    return word;
}

// Waits until the X server has handled every request sent so far, the flushed image included.
void roundTrip() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->connection() == nullptr) {
        return;
    }
    xcb_connection_t* connection = x11->connection();
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

// Counts the paints of one widget, to make sure every timed keystroke did repaint, and notes when
// the first one began: what comes before is handling the key (text, store, view state, layout),
// what follows is painting and flushing.
class PaintCounter final : public QObject {
public:
    int paints = 0;
    Clock::time_point firstPaint;

    void expectPaint() { m_seen = paints; }

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() == QEvent::Paint && paints++ == m_seen) {
            firstPaint = Clock::now();
        }
        return false;
    }

private:
    int m_seen = 0;
};

struct Result {
    std::string name;
    std::vector<double> total;   // key press to repaint on the server, ms
    std::vector<double> toPaint; // key press to the editor's repaint beginning, ms
    bool failed = false;
};

Result runCase(const Case& c, int samples, double seconds) {
    Result result{c.name, {}, {}, false};
    QTemporaryDir folder;
    QtScheduler scheduler;
    SystemClock clock;
    Store store(StoreServices{scheduler, clock, PosixFileSystem::instance()},
                std::filesystem::path(folder.filePath(QStringLiteral("notes.json")).toStdString()));
    store.updateActiveText(sample(c));
    store.flush();

    auto desktop = createDesktopIntegration();
    auto* view = new PanelView(store, scheduler);
    PanelWindow window(view, PanelView::size(), *desktop);
    window.moveContentTo(QPointF(200, 60));
    window.present();
    if (!QTest::qWaitForWindowExposed(&window) || !QTest::qWaitForWindowActive(&window)) {
        std::fprintf(stderr, "panel_bench: the panel window did not become active\n");
    }
    auto* editor = view->findChild<NoteEditor*>(QStringLiteral("editor"));
    editor->setFocus();
    QTextCursor cursor = editor->textCursor();
    cursor.setPosition(editor->document()->characterCount() / 2);
    editor->setTextCursor(cursor);
    editor->ensureCursorVisible();
    QTest::qWait(50);

    PaintCounter counter;
    editor->viewport()->installEventFilter(&counter);
    QWindow* handle = window.windowHandle();
    const auto press = [&](int i) {
        if (i % 2 == 0) {
            QTest::keyPress(handle, Qt::Key_K, Qt::NoModifier);
            QTest::keyRelease(handle, Qt::Key_K, Qt::NoModifier);
        } else {
            QTest::keyPress(handle, Qt::Key_Backspace, Qt::NoModifier);
            QTest::keyRelease(handle, Qt::Key_Backspace, Qt::NoModifier);
        }
    };

    constexpr int kWarmUp = 10;
    QElapsedTimer budget;
    for (int i = 0; i < kWarmUp + samples; ++i) {
        if (i == kWarmUp) {
            budget.start();
        }
        const int before = counter.paints;
        counter.expectPaint();
        const auto start = Clock::now();
        press(i);
        // The repaint is a posted event; a few passes cover a repaint that posts another.
        for (int pass = 0; pass < 100 && counter.paints == before; ++pass) {
            QCoreApplication::processEvents();
        }
        roundTrip();
        const auto done = Clock::now();
        if (counter.paints == before) {
            std::fprintf(stderr, "panel_bench: %s: a keystroke did not repaint the editor\n", c.name);
            result.failed = true;
            break;
        }
        if (i >= kWarmUp) {
            result.total.push_back(std::chrono::duration<double, std::milli>(done - start).count());
            result.toPaint.push_back(std::chrono::duration<double, std::milli>(counter.firstPaint - start).count());
            if (static_cast<int>(result.total.size()) >= 30 && static_cast<double>(budget.elapsed()) > seconds * 1000) {
                break;
            }
        }
    }
    editor->viewport()->removeEventFilter(&counter);
    window.hide();
    return result;
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(p / 100.0 * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(rank, values.size() - 1)];
}

void writeSamples(std::FILE* out, const std::vector<double>& samples) {
    std::fputc('[', out);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        std::fprintf(out, "%s%.4f", i == 0 ? "" : ",", samples[i]);
    }
    std::fputc(']', out);
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    int samples = 300;
    double seconds = 20;
    QString json;
    QStringList only;
    const QStringList arguments = QApplication::arguments();
    for (int i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == QLatin1String("--samples")) {
            samples = arguments[i + 1].toInt();
        } else if (arguments[i] == QLatin1String("--seconds")) {
            seconds = arguments[i + 1].toDouble();
        } else if (arguments[i] == QLatin1String("--json")) {
            json = arguments[i + 1];
        } else if (arguments[i] == QLatin1String("--case")) {
            only << arguments[i + 1];
        } else {
            std::fprintf(stderr, "panel_bench: unknown argument %s\n", qPrintable(arguments[i]));
            return 2;
        }
    }

    std::vector<Result> results;
    std::printf("%-16s %6s %10s %10s %10s %10s %12s\n", "keystroke", "n", "median", "p99", "min", "max",
                "to paint med");
    for (const Case& c : kCases) {
        if (!only.isEmpty() && !only.contains(QLatin1String(c.name))) {
            continue;
        }
        results.push_back(runCase(c, samples, seconds));
        const Result& r = results.back();
        std::printf("%-16s %6zu %8.2fms %8.2fms %8.2fms %8.2fms %10.2fms\n", c.name, r.total.size(),
                    percentile(r.total, 50), percentile(r.total, 99), percentile(r.total, 0), percentile(r.total, 100),
                    percentile(r.toPaint, 50));
        std::fflush(stdout);
    }

    bool failed = false;
    if (!json.isEmpty()) {
        std::FILE* out = std::fopen(QFile::encodeName(json).constData(), "w");
        if (out == nullptr) {
            std::fprintf(stderr, "panel_bench: cannot write %s\n", qPrintable(json));
            return 1;
        }
        std::fprintf(out, "{\"platform\":\"%s\",\"cases\":[", qPrintable(QGuiApplication::platformName()));
        for (std::size_t i = 0; i < results.size(); ++i) {
            std::fprintf(out, "%s{\"name\":\"%s\",\"total\":", i == 0 ? "" : ",", results[i].name.c_str());
            writeSamples(out, results[i].total);
            std::fputs(",\"toPaint\":", out);
            writeSamples(out, results[i].toPaint);
            std::fputc('}', out);
        }
        std::fputs("]}\n", out);
        std::fclose(out);
    }
    for (const Result& r : results) {
        failed = failed || r.failed;
    }
    return failed ? 1 : 0;
}
