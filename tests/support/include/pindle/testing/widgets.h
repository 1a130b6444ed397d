#pragma once

#include <cstdlib>
#include <utility>

#include <QApplication>
#include <QColor>
#include <QEnterEvent>
#include <QPalette>
#include <QRect>
#include <QStyle>
#include <QTest>
#include <QWidget>

namespace pindle::testing {

// Qt's own light palette, and a dark one of the kind a dark desktop theme hands to Qt.
inline QPalette lightPalette() {
    return QApplication::style()->standardPalette();
}

inline QPalette darkPalette() {
    const std::pair<QPalette::ColorRole, QRgb> roles[] = {
        {QPalette::Window, 0x2b2b2d},        {QPalette::WindowText, 0xeaeaec},     {QPalette::Base, 0x1e1e20},
        {QPalette::AlternateBase, 0x2b2b2d}, {QPalette::Text, 0xeaeaec},           {QPalette::Button, 0x3a3a3c},
        {QPalette::ButtonText, 0xeaeaec},    {QPalette::Light, 0x505054},          {QPalette::Midlight, 0x444448},
        {QPalette::Mid, 0x48484c},           {QPalette::Dark, 0x18181a},           {QPalette::Shadow, 0x000000},
        {QPalette::Highlight, 0x3f6fc9},     {QPalette::HighlightedText, 0xffffff}};
    QPalette palette;
    for (const auto& [role, rgb] : roles) {
        palette.setColor(role, QColor(rgb));
    }
    palette.setColor(QPalette::PlaceholderText, QColor::fromRgba(0x80eaeaec));
    return palette;
}

// Synthetic pointer entering (or leaving) `widget`.
inline void hover(QWidget* widget, bool inside) {
    if (inside) {
        const QPointF centre = QRectF(widget->rect()).center();
        QEnterEvent enter(centre, widget->mapTo(widget->window(), centre), widget->mapToGlobal(centre));
        QApplication::sendEvent(widget, &enter);
    } else {
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(widget, &leave);
    }
}

inline void click(QWidget* widget) {
    QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
}

// `widget`'s rectangle in `panel`'s coordinates.
inline QRect boxOf(const QWidget* widget, const QWidget* panel) {
    return {widget->mapTo(panel, QPoint(0, 0)), widget->size()};
}

// Each of the red, green and blue channels within `tolerance`.
inline bool near(const QColor& actual, const QColor& expected, int tolerance) {
    return std::abs(actual.red() - expected.red()) <= tolerance &&
           std::abs(actual.green() - expected.green()) <= tolerance &&
           std::abs(actual.blue() - expected.blue()) <= tolerance;
}

} // namespace pindle::testing
