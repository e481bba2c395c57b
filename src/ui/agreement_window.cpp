#include "ui/agreement_window.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace cw {

namespace {
constexpr const char* kAgreementText =
    "CHROMAWELL 2.1 END-USER LICENCE AGREEMENT\n\n"
    "Please read this agreement before you use Chromawell. By pressing \"I Agree\" you accept it.\n\n"
    "1. Licence. You may install and use Chromawell on any number of computers, for private or "
    "commercial work, and give unmodified copies to others under this same agreement.\n\n"
    "2. Your pictures. Pictures you open, colour, save or print with Chromawell remain yours. "
    "Chromawell sends nothing anywhere: it reads the files you choose and writes the files you save, "
    "and keeps scratch copies only in your own private cache folder.\n\n"
    "3. Sample pictures. The sample photographs that come with Chromawell are in the public domain or "
    "under CC0; their sources are named in the credits that come with them.\n\n"
    "4. No warranty. Chromawell is provided \"as is\", without warranty of any kind, express or implied, "
    "including fitness for a particular purpose. Keep copies of originals you cannot replace: work on "
    "copies of valuable scans.\n\n"
    "5. Limitation of liability. In no event shall the makers of Chromawell be liable for any damages "
    "arising from the use of, or inability to use, the program.\n\n"
    "6. Termination. This licence ends if you break its terms; you must then stop using the program "
    "and delete your copies.\n\n"
    "If you do not agree, press \"I Disagree\" and Chromawell will close.";
constexpr int kClientWidth = 322, kClientHeight = 401;
} // namespace

AgreementWindow::AgreementWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName("EULAFrm");
    setWindowTitle("Chromawell End-User Licence Agreement");
    setFixedSize(kClientWidth, kClientHeight);

    heading = new QLabel("End-User Licence Agreement", this);
    heading->setObjectName("Label1");
    heading->setGeometry(8, 6, kClientWidth - 16, 20);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);

    agreementText = new QPlainTextEdit(this);
    agreementText->setObjectName("Memo2");
    agreementText->setReadOnly(true);
    agreementText->setPlainText(kAgreementText);
    agreementText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    agreementText->setGeometry(8, 30, kClientWidth - 16, 300);

    contactLabel = new QLabel("Chromawell 2.1 - questions: see the help pages, section \"Getting started\".", this);
    contactLabel->setObjectName("Label2");
    contactLabel->setWordWrap(true);
    contactLabel->setGeometry(8, 334, kClientWidth - 16, 30);

    agreeButton = new QPushButton("I Agree", this);
    agreeButton->setObjectName("Button1");
    agreeButton->setToolTip("Click to agree with EULA terms and proceed with installation");
    agreeButton->setDefault(true);
    agreeButton->setGeometry(60, 368, 90, 26);
    disagreeButton = new QPushButton("I Disagree", this);
    disagreeButton->setObjectName("OKBtn");
    disagreeButton->setToolTip("Click if you Disagree with EULA terms");
    disagreeButton->setGeometry(172, 368, 90, 26);
    okButton = new QPushButton("Ok", this);
    okButton->setObjectName("Button2");
    okButton->setToolTip("Click to close this dialog");
    okButton->setGeometry(116, 368, 90, 26);
    okButton->hide();

    connect(agreeButton, &QPushButton::clicked, this, [this] { agree(); });
    connect(disagreeButton, &QPushButton::clicked, this, [this] { disagree(); });
    connect(okButton, &QPushButton::clicked, this, [this] { closeReading(); });
}

int AgreementWindow::askForAcceptance() {
    agreeButton->show();
    disagreeButton->show();
    okButton->hide();
    agreeButton->setDefault(true);
    return exec();
}

void AgreementWindow::showForReading() {
    agreeButton->hide();
    disagreeButton->hide();
    okButton->show();
    okButton->setDefault(true);
    show();
    raise();
}

void AgreementWindow::agree() { done(kAgreed); }
void AgreementWindow::disagree() { done(kDisagreed); }
void AgreementWindow::closeReading() { hide(); }

// Esc is "I Disagree" while asking, and closes the reading view.
void AgreementWindow::reject() {
    if (disagreeButton->isVisible()) disagree();
    else closeReading();
}

} // namespace cw
