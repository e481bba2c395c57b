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

    QLabel* Label1;           // heading
    QPlainTextEdit* Memo2;    // the agreement
    QLabel* Label2;           // contact
    QPushButton* Button1;     // I Agree
    QPushButton* OKBtn;       // I Disagree
    QPushButton* Button2;     // Ok

    // Modal, with I Agree and I Disagree; returns kAgreed or kDisagreed.
    int askForAcceptance();
    // Not modal, with Ok only.
    void showForReading();

    void Button1Click();
    void OKBtnClick();
    void Button2Click();

protected:
    void reject() override;
};

} // namespace cw
