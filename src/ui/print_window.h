#pragma once
// The print options dialog and the Print button's job.
#include <QDialog>
#include <memory>
#include <optional>

#include "actions/print_layout.h"

class QCheckBox;
class QImage;
class QRect;
class QLineEdit;
class QPrinter;
class QPushButton;

namespace cw {

struct Session;

class PrintWindow : public QDialog {
    Q_OBJECT
public:
    explicit PrintWindow(QWidget* parent = nullptr);
    ~PrintWindow() override;

    QCheckBox* CheckBox1;  // Center Horizontally
    QCheckBox* CheckBox2;  // Center Vertically
    QLineEdit* MaskEdit1;  // left margin
    QLineEdit* MaskEdit2;  // top margin
    QCheckBox* CheckBox3;  // Scale Proportionally to Fit Page
    QCheckBox* CheckBox4;  // Enlarge, horizontally
    QCheckBox* CheckBox5;  // Reduce, horizontally
    QLineEdit* MaskEdit3;  // horizontal factor
    QCheckBox* CheckBox6;  // Enlarge, vertically
    QCheckBox* CheckBox7;  // Reduce, vertically
    QLineEdit* MaskEdit4;  // vertical factor
    QPushButton* Button1;  // Printer Settings
    QPushButton* Button2;  // Print Now
    QPushButton* Button3;  // Abort

    // The printer the next job goes to; kept from one print to the next.
    QPrinter& printer() { return *printer_; }
    PrintOptions options() const;

    void CheckBox1Click();
    void CheckBox2Click();
    void CheckBox3Click();
    void pairClick(QCheckBox* clicked, QCheckBox* other, QLineEdit* factor);
    void Button1Click();

private:
    std::unique_ptr<QPrinter> printer_;
};

// The printer's own failure: where the job went (the file, or the printer's
// name) and why.
inline constexpr const char* kPrintFailed = "The picture could not be printed on %1: %2.";
// A job handed over: how many pages, and where to.
inline constexpr const char* kPrintedStatus = "Printed %1 page(s) to %2";

// ExplorerButton4Click: asks for the options, then prints the displayed
// picture as one page. Problems go to the session's messages, a done job to
// its status line.
void printButtonClick(Session& s, PrintWindow& options, bool imageWindowVisible);

// Prints the picture stretched into `where` as one page; nothing when the
// job went through, else the message that says why it failed.
std::optional<QString> printPage(QPrinter& printer, const QImage& picture, const QRect& where);

} // namespace cw
