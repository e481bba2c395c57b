#include "ui/services_qt.h"

#include <QColorDialog>
#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>

#include "actions/scan_flow.h"

namespace cw {

static QString title() { return QCoreApplication::applicationName(); }

void QtMessages::info(const std::string& text) {
    QMessageBox::information(parent_, title(), QString::fromStdString(text));
}

bool QtMessages::confirm(const std::string& text) {
    return QMessageBox::question(parent_, title(), QString::fromStdString(text),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void QtMessages::error(const std::string& text) {
    QMessageBox::critical(parent_, title(), QString::fromStdString(text));
}

void QtMessages::scanError(const std::string& text) {
    QMessageBox::warning(nullptr, kScanErrorTitle, QString::fromStdString(text));
}

SaveChoice QtMessages::askToSave(const std::string& text) {
    const auto answer = QMessageBox::warning(parent_, title(), QString::fromStdString(text),
                                             QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                                             QMessageBox::Save);
    if (answer == QMessageBox::Save) return SaveChoice::Save;
    if (answer == QMessageBox::Discard) return SaveChoice::Discard;
    return SaveChoice::Cancel;  // Escape and the box's close button too
}

std::vector<std::string> QtDialogs::openFiles(const FileDialogRequest& request) {
    QFileDialog dialog(parent_, QString::fromStdString(request.title), QString::fromStdString(request.folder),
                       QString::fromStdString(request.filter));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultSuffix));
    dialog.setOption(QFileDialog::ReadOnly, false);
    std::vector<std::string> names;
    if (dialog.exec() == QDialog::Accepted)
        for (const QString& f : dialog.selectedFiles()) names.push_back(f.toStdString());
    return names;
}

std::optional<ChosenFile> QtDialogs::saveFile(const FileDialogRequest& request) {
    QFileDialog dialog(parent_, QString::fromStdString(request.title), QString::fromStdString(request.folder),
                       QString::fromStdString(request.filter));
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultSuffix));
    // The overwrite question is asked by SaveAs itself, once.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    // A name typed without an extension gets the chosen entry's first one.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& entry) {
        const qsizetype star = entry.indexOf("*.");
        if (star >= 0) dialog.setDefaultSuffix(entry.mid(star + 2).section(QRegularExpression("[ )]"), 0, 0));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    const QString entry = dialog.selectedNameFilter();
    const bool first = entry == QString::fromStdString(request.filter).section(";;", 0, 0);
    return ChosenFile(dialog.selectedFiles().front().toStdString(), first ? std::string() : entry.toStdString());
}

std::optional<int32_t> QtDialogs::pickColour() {
    const QColor c = QColorDialog::getColor(Qt::white, parent_);
    if (!c.isValid()) return std::nullopt;
    return int32_t(c.red() | (c.green() << 8) | (c.blue() << 16));
}

} // namespace cw
