#include "panel_fixture.h"

#include <QApplication>
#include <QEnterEvent>
#include <QStyle>
#include <QTest>

namespace pindle::testing {

QPalette lightPalette() {
    return QApplication::style()->standardPalette();
}

QPalette darkPalette() {
    QPalette palette;
    const QColor window(0x2b, 0x2b, 0x2d);
    const QColor base(0x1e, 0x1e, 0x20);
    const QColor text(0xea, 0xea, 0xec);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3c));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::Light, QColor(0x50, 0x50, 0x54));
    palette.setColor(QPalette::Midlight, QColor(0x44, 0x44, 0x48));
    palette.setColor(QPalette::Mid, QColor(0x48, 0x48, 0x4c));
    palette.setColor(QPalette::Dark, QColor(0x18, 0x18, 0x1a));
    palette.setColor(QPalette::Shadow, Qt::black);
    palette.setColor(QPalette::Highlight, QColor(0x3f, 0x6f, 0xc9));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::PlaceholderText, QColor(0xea, 0xea, 0xec, 0x80));
    return palette;
}

void hover(QWidget* widget, bool inside) {
    if (inside) {
        const QPointF centre = QRectF(widget->rect()).center();
        QEnterEvent enter(centre, widget->mapTo(widget->window(), centre), widget->mapToGlobal(centre));
        QApplication::sendEvent(widget, &enter);
    } else {
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(widget, &leave);
    }
}

void click(QWidget* widget) {
    QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
}

QRect boxOf(const QWidget* widget, const QWidget* panel) {
    return {widget->mapTo(panel, QPoint(0, 0)), widget->size()};
}

PanelFixture::PanelFixture(const std::vector<std::string>& texts, std::size_t active) {
    m_store = std::make_unique<Store>(StoreServices{m_time, m_time, PosixFileSystem::instance()},
                                      std::filesystem::path(m_folder.filePath("notes.json").toStdString()));
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (i > 0) {
            m_store->addNote();
        }
        m_store->updateActiveText(texts[i]);
    }
    m_store->select(static_cast<std::int64_t>(active));
    m_view = std::make_unique<PanelView>(*m_store, m_time);
}

void PanelFixture::show() {
    m_view->show();
    QApplication::setActiveWindow(m_view.get());
    (void)QTest::qWaitForWindowExposed(m_view.get());
    (void)QTest::qWaitForWindowActive(m_view.get());
}

} // namespace pindle::testing
