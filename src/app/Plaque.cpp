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

    Shape1 = new QFrame(this);
    Shape1->setFrameShape(QFrame::Box);
    Shape1->setLineWidth(1);
    Shape1->setStyleSheet(QStringLiteral("QFrame { border: 1px solid #606060; }"));
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
