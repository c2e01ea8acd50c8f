#pragma once

#include "mainwindow/RulerWidget.h"
#include "widgets/UserPrompts.h"
#include "support/PromptRecorder.h"

#include <QColor>
#include <QCoreApplication>
#include <QImage>
#include <QMouseEvent>
#include <QRectF>
#include <QWidget>
#include <cmath>

namespace PreviewTest {

// Sends one mouse event with exactly these buttons and modifiers (QTest's helpers
// cannot hold Shift during a move).
inline void mouse(QWidget *w, QEvent::Type type, const QPointF &pos, Qt::MouseButtons buttons,
                  Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, pos, w->mapToGlobal(pos), button, buttons, modifiers);
    QCoreApplication::sendEvent(w, &event);
}

// Press at from, drag to to, release there.
inline void drag(QWidget *w, const QPointF &from, const QPointF &to,
                 Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    mouse(w, QEvent::MouseButtonPress, from, Qt::LeftButton, modifiers);
    mouse(w, QEvent::MouseMove, (from + to) / 2, Qt::LeftButton, modifiers);
    mouse(w, QEvent::MouseMove, to, Qt::LeftButton, modifiers);
    mouse(w, QEvent::MouseButtonRelease, to, Qt::NoButton, modifiers);
}

inline bool nearRect(const QRectF &a, const QRectF &b, double tolerance = 1e-3)
{
    return std::abs(a.left() - b.left()) <= tolerance && std::abs(a.top() - b.top()) <= tolerance &&
           std::abs(a.right() - b.right()) <= tolerance &&
           std::abs(a.bottom() - b.bottom()) <= tolerance;
}

inline QString describe(const QRectF &r)
{
    return QStringLiteral("(%1, %2)-(%3, %4)")
        .arg(r.left(), 0, 'f', 3)
        .arg(r.top(), 0, 'f', 3)
        .arg(r.right(), 0, 'f', 3)
        .arg(r.bottom(), 0, 'f', 3);
}

inline bool isBlack(const RulerWidget *ruler, int x, int y)
{
    return ruler->canvasImage().pixelColor(x, y) == QColor(Qt::black);
}

// True when nothing but the ruler's face colour was drawn.
inline bool isBlank(const RulerWidget *ruler)
{
    const QImage &c = ruler->canvasImage();
    const QColor face = ruler->palette().button().color();
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x)
            if (c.pixelColor(x, y) != face)
                return false;
    return true;
}

} // namespace PreviewTest
