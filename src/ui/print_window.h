#pragma once
// The print options dialog, which the print job (print_job.h) asks first.
#include <QDialog>
#include <memory>

#include "actions/print_layout.h"

class QCheckBox;
class QLineEdit;
class QPrinter;
class QPushButton;

namespace cw {

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

} // namespace cw
