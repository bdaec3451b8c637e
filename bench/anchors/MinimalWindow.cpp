// The memory anchor: the least a Qt Widgets program does to show and paint one main window.
// Prints its resident memory once the window has been painted, then ends.
#include "../ProcessMemory.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setCentralWidget(new QLabel(QStringLiteral("Anchor")));
    window.setGeometry(0, 0, 1600, 1000);
    window.show();
    // Painting happens in the event loop; give it a moment, as the workbench side gets.
    QTimer::singleShot(300, [] {
        tenvora::bench::PrintResidentMemory();
        QCoreApplication::exit(0); // not quit(): that would close the window, and the workbench asks first
    });
    return app.exec();
}
