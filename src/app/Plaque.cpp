#include "Plaque.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QKeyEvent>

Tplaque::Tplaque(QWidget* mainWindow)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), m_main(mainWindow) {
    setWindowTitle(QStringLiteral("plaque"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);

    // The frame takes the colour of the recording state (black while only previewing).
    Shape1 = new QFrame(this);
    Shape1->setFrameShape(QFrame::NoFrame);
    Shape1->setAutoFillBackground(true);
    Shape1->setPalette(pal);
    videoHolder = new QWidget(this);
    videoHolder->setAutoFillBackground(true);
    videoHolder->setPalette(pal);
}

void Tplaque::keyPressEvent(QKeyEvent* event) {
    QKeyEvent copy(event->type(), event->key(), event->modifiers(), event->text(),
                   event->isAutoRepeat(), ushort(event->count()));
    QCoreApplication::sendEvent(m_main, &copy);
}

void Tplaque::keyReleaseEvent(QKeyEvent* event) {
    QKeyEvent copy(event->type(), event->key(), event->modifiers(), event->text(),
                   event->isAutoRepeat(), ushort(event->count()));
    QCoreApplication::sendEvent(m_main, &copy);
}

void Tplaque::closeEvent(QCloseEvent* event) {
    event->ignore();
    hide();
}

void Tplaque::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (onResized)
        onResized();
}

void Tplaque::SetFrameBrush(const QBrush& brush) {
    QPalette pal = Shape1->palette();
    pal.setBrush(QPalette::Window, brush);
    Shape1->setPalette(pal);
}
