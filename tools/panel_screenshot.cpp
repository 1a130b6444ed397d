// pindle_panel_screenshot OUTPUT_FOLDER [SCALE] renders the panel with a few sample notes to
// OUTPUT_FOLDER/panel-light.png and panel-dark.png, on the offscreen platform (scripts/screenshot).
#include "pindle/testing/panel_fixture.h"

#include <iostream>

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTest>

#include "panel/note_editor.h"

namespace {

const std::vector<std::string> kSamples = {
    "Groceries\nOat milk, eggs, sourdough\nLemons (3)\nOlive oil",
    "Call the landlord about the radiator",
    "",
    std::string("Weekend ideas\n\nHike the ridge trail if it stays dry; otherwise the museum's new exhibition.\n\n") +
        "Dinner with Sam and Priya on Saturday — book a table for four.",
    "Reading list\nThe Dispossessed\nPiranesi",
};

bool render(const QString& path, const QPalette& palette) {
    QApplication::setPalette(palette);
    pindle::testing::PanelFixture fixture(kSamples, 3);
    fixture.show();
    fixture.find<pindle::NoteEditor>(QStringLiteral("editor"))->moveCursor(QTextCursor::End);
    QTest::qWait(50);
    return fixture.view().grab().save(path);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: " << argv[0] << " OUTPUT_FOLDER [SCALE]\n";
        return 2;
    }
    if (argc > 2) {
        qputenv("QT_SCALE_FACTOR", argv[2]);
    }
    QApplication app(argc, argv);
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    const bool ok = QDir().mkpath(folder.path()) &&
                    render(folder.filePath(QStringLiteral("panel-light.png")), pindle::testing::lightPalette()) &&
                    render(folder.filePath(QStringLiteral("panel-dark.png")), pindle::testing::darkPalette());
    if (!ok) {
        std::cerr << "could not write the screenshots into " << argv[1] << "\n";
    }
    return ok ? 0 : 1;
}
