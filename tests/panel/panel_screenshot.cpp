// Renders the panel with a few sample notes to PNG files, in the light and the dark palette:
//   pindle_panel_screenshot OUTPUT_FOLDER [SCALE]
// writes OUTPUT_FOLDER/panel-light.png and OUTPUT_FOLDER/panel-dark.png. Run it on the offscreen
// platform (scripts/screenshot does).
#include "panel_fixture.h"

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
    auto* editor = fixture.find<pindle::NoteEditor>(QStringLiteral("editor"));
    QTextCursor cursor = editor->textCursor();
    cursor.movePosition(QTextCursor::End);
    editor->setTextCursor(cursor);
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
    if (!folder.exists() && !QDir().mkpath(folder.path())) {
        std::cerr << "cannot create " << argv[1] << "\n";
        return 1;
    }
    const bool ok = render(folder.filePath(QStringLiteral("panel-light.png")), pindle::testing::lightPalette()) &&
                    render(folder.filePath(QStringLiteral("panel-dark.png")), pindle::testing::darkPalette());
    if (!ok) {
        std::cerr << "could not write the screenshots into " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
