// The yardstick of the start-up and memory benchmarks: the least a Qt 6 program with Pindle's
// visible shape does. A tray icon drawn in code and a frameless 360x520 tool window, shown at
// once; nothing else. Whatever Pindle needs beyond this is its own cost.

#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    QPixmap pixmap(22, 22);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QApplication::palette().color(QPalette::WindowText));
        painter.drawEllipse(QRectF(3, 3, 16, 16));
    }
    QSystemTrayIcon tray{QIcon(pixmap)};
    tray.show();

    QWidget window(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    window.setWindowTitle(QStringLiteral("baseline"));
    window.resize(360, 520);
    window.show();
    return QApplication::exec();
}
