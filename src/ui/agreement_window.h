#pragma once
// The end-user agreement: accepted on the first run, or read from the about window.
#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace cw {

inline constexpr int kAgreed = 1, kDisagreed = 2;

class AgreementWindow : public QDialog {
    Q_OBJECT
public:
    explicit AgreementWindow(QWidget* parent = nullptr);

    // Each control keeps its designed name as its object name.
    QLabel* heading;
    QPlainTextEdit* agreementText;
    QLabel* contactLabel;
    QPushButton* agreeButton;
    QPushButton* disagreeButton;
    QPushButton* okButton;  // ends the reading view

    // Modal, with I Agree and I Disagree; returns kAgreed or kDisagreed.
    int askForAcceptance();
    // Not modal, with Ok only.
    void showForReading();

    void agree();
    void disagree();
    void closeReading();

protected:
    void reject() override;
};

} // namespace cw
