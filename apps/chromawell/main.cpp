// chromawell [PICTURE]
#include <QApplication>

#include "platform/interrupts.h"
#include "ui/chromawell_qt.h"

int main(int argc, char** argv) {
    cw::removeTemporaryFilesOnInterrupt();  // first, on the main thread
    QApplication app(argc, argv);
    cw::Chromawell chromawell;
    const std::string picture = argc > 1 ? QString::fromLocal8Bit(argv[1]).toStdString() : std::string();
    QObject::connect(&chromawell.mainWindow(), &cw::MainWindow::started, [&] {
        if (!picture.empty()) chromawell.mainWindow().loadPath(picture);
    });
    chromawell.showMain();
    return app.exec();
}
