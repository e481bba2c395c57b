#pragma once
// Message boxes and file dialogs over Qt.
#include <QPointer>
#include <QWidget>

#include "actions/ports.h"

namespace cw {

class QtMessages final : public Messages {
public:
    explicit QtMessages(QWidget* parent) : parent_(parent) {}
    void info(const std::string& text) override;
    bool confirm(const std::string& text) override;
    void error(const std::string& text) override;
    void scanError(const std::string& text) override;
    SaveChoice askToSave(const std::string& text) override;

private:
    QPointer<QWidget> parent_;
};

class QtDialogs final : public Dialogs {
public:
    explicit QtDialogs(QWidget* parent) : parent_(parent) {}
    std::vector<std::string> openFiles(const FileDialogRequest& request) override;
    std::optional<ChosenFile> saveFile(const FileDialogRequest& request) override;
    std::optional<int32_t> pickColour() override;

private:
    QPointer<QWidget> parent_;
};

} // namespace cw
