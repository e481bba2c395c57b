// chromawell [PICTURE]
#include <QApplication>
#include <csignal>
#include <cstring>
#include <iostream>

#include "platform/interrupts.h"
#include "ui/chromawell_qt.h"

namespace {

constexpr const char* kUsage =
    "Usage: chromawell [PICTURE]\n"
    "       chromawell --help | --version\n"
    "\n"
    "Colours black-and-white photographs. Opens the Chromawell windows, and\n"
    "PICTURE in them when one is given (BMP, JPEG, PNG or TIFF).\n"
    "\n"
    "Options:\n"
    "  --help        print this text and exit\n"
    "  --version     print the version and exit\n"
    "  Qt's own options (-platform NAME, -style NAME, -reverse, ...) work too.\n"
    "\n"
    "chromawell-batch runs the same commands from a script, without windows:\n"
    "see chromawell-batch --help.\n";

} // namespace

int main(int argc, char** argv) {
    // Answered before the windows start, so that no display is needed.
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::cout << kUsage;
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::cout << "chromawell " CHROMAWELL_VERSION "\n";
            return 0;
        }
    }
    // A limit on the size of files makes a save fail with its message, as a full disk does.
    ::signal(SIGXFSZ, SIG_IGN);
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
