#include "platform/scratch_location_qt.h"

#include <QCoreApplication>
#include <QStandardPaths>

namespace cw {

void setApplicationIdentity() {
    QCoreApplication::setApplicationName("chromawell");
    QCoreApplication::setApplicationVersion(CHROMAWELL_VERSION);
}

std::string scratchFolderLocation() {
    return (QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + "/temp").toStdString();
}

std::string autosaveFolderLocation() {
    return (QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + "/autosave").toStdString();
}

} // namespace cw
