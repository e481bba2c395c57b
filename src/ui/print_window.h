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

    // Each control keeps its designed name as its object name.
    QCheckBox* centreHorizontallyBox;
    QCheckBox* centreVerticallyBox;
    QLineEdit* leftMarginField;
    QLineEdit* topMarginField;
    QCheckBox* fitPageBox;
    QCheckBox* enlargeHorizontallyBox;
    QCheckBox* reduceHorizontallyBox;
    QLineEdit* horizontalFactorField;
    QCheckBox* enlargeVerticallyBox;
    QCheckBox* reduceVerticallyBox;
    QLineEdit* verticalFactorField;
    QPushButton* printerSettingsButton;
    QPushButton* printNowButton;
    QPushButton* abortButton;

    // The printer the next job goes to; kept from one print to the next.
    QPrinter& printer() { return *printer_; }
    PrintOptions options() const;

    // A centred picture has no margin on that side.
    void centreClicked(QCheckBox* centre, QLineEdit* margin);
    // Fitting the page leaves no factor to give.
    void fitPageClicked();
    // Enlarge and Reduce of one direction exclude each other; the factor
    // counts while either is checked.
    void scaleDirectionClicked(QCheckBox* clicked, QCheckBox* other, QLineEdit* factor);
    void choosePrinter();

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
