#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow w;
    w.setWindowTitle(QStringLiteral("Vidorra 6.0.6 fr de Ardoval"));
    w.show();
    return app.exec();
}
