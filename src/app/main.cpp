// chromawell [PICTURE]
#include <QApplication>

#include "app/tform1.h"
#include "files/scratch_location_qt.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    cw::setApplicationIdentity();
    cw::TForm1 form1;
    form1.setWindowTitle("Chromawell");
    form1.showMaximized();
    if (argc > 1) form1.loadPath(QString::fromLocal8Bit(argv[1]).toStdString());
    return app.exec();
}
