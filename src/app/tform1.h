#pragma once
// The main control window: the frame the image window opens in, and the bars
// of buttons and settings.
#include <QMainWindow>
#include <QPointer>
#include <memory>

#include "app/host.h"
#include "app/session.h"
#include "paint/tform2.h"

class QCheckBox;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QPushButton;
class QSpinBox;
class QFrame;

namespace cw {

class TForm7;
class QtMessages;
class QtDialogs;

// Passes dialogs through, except that the open dialog can be answered once
// with a name given on the command line.
struct DialogsProxy final : Dialogs {
    Dialogs* inner = nullptr;
    std::optional<std::string> nextOpen;
    std::vector<std::string> openFiles(const FileDialogSpec& spec) override {
        if (nextOpen) return {*nextOpen};
        return inner->openFiles(spec);
    }
    std::optional<std::string> saveFile(const FileDialogSpec& spec) override { return inner->saveFile(spec); }
};

class TForm1 : public QMainWindow, public WindowHost {
    Q_OBJECT
public:
    // Tests hand in their own message boxes and dialogs.
    explicit TForm1(Messages* messages = nullptr, Dialogs* dialogs = nullptr);
    ~TForm1() override;

    Session& session() { return *session_; }
    TForm7* Form7() { return form7_.get(); }
    TForm2* Form2() { return form2_; }

    // Loads a picture named on the command line, as Load Image would.
    void loadPath(const std::string& path);

    QMdiArea* MdiArea;
    QFrame* Panel7;   // operations bar
    QFrame* Panel3;   // processing bar
    QFrame* Panel1;   // tools bar
    QFrame* Panel12;  // effects and tuning bar
    QFrame* Panel9;   // bottom strip
    QPushButton* ExplorerButton1;  // Load Image / Clear Image
    QPushButton* ExplorerButton5;  // SaveAs
    QPushButton* ExplorerButton3;  // Restore
    QCheckBox* CheckBox1;          // Force Gray
    QSpinBox* SpinEdit1;           // Complexity
    QSpinBox* SpinEdit2;           // Integration
    QSpinBox* SpinEdit3;           // Objectivity
    QSpinBox* SpinEdit5;           // Separation
    QSpinBox* SpinEdit6;           // Scale%
    QLabel* Label2;                // picture size

    void ExplorerButton1Click();
    void ExplorerButton3Click();
    void ExplorerButton5Click();
    void CheckBox1Click();
    void SpinEdit1Change();
    void SpinEdit2Change();

    // WindowHost
    void createImageWindow() override;
    void showImageWindow() override;
    void closeImageWindow() override;
    void fitImageWindow() override;
    void pictureChanged() override;
    void mainWindowChanged() override;

private:
    void buildControls();
    QSpinBox* spin(QWidget* bar, const char* name, const char* caption, int min, int max, int value);

    std::unique_ptr<TForm7> form7_;
    std::unique_ptr<QtMessages> qtMessages_;
    std::unique_ptr<QtDialogs> qtDialogs_;
    DialogsProxy dialogs_;
    std::unique_ptr<Session> session_;
    QPointer<TForm2> form2_;
    QPointer<QMdiSubWindow> subWindow_;
    bool syncing_ = false;
};

} // namespace cw
