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

    Label1 = new QLabel("End-User Licence Agreement", this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(8, 6, kClientWidth - 16, 20);
    QFont heading = Label1->font();
    heading.setBold(true);
    Label1->setFont(heading);

    Memo2 = new QPlainTextEdit(this);
    Memo2->setObjectName("Memo2");
    Memo2->setReadOnly(true);
    Memo2->setPlainText(kAgreementText);
    Memo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo2->setGeometry(8, 30, kClientWidth - 16, 300);

    Label2 = new QLabel("Chromawell 2.1 - questions: see the help pages, section \"Getting started\".", this);
    Label2->setObjectName("Label2");
    Label2->setWordWrap(true);
    Label2->setGeometry(8, 334, kClientWidth - 16, 30);

    Button1 = new QPushButton("I Agree", this);
    Button1->setObjectName("Button1");
    Button1->setToolTip("Click to agree with EULA terms and proceed with installation");
    Button1->setDefault(true);
    Button1->setGeometry(60, 368, 90, 26);
    OKBtn = new QPushButton("I Disagree", this);
    OKBtn->setObjectName("OKBtn");
    OKBtn->setToolTip("Click if you Disagree with EULA terms");
    OKBtn->setGeometry(172, 368, 90, 26);
    Button2 = new QPushButton("Ok", this);
    Button2->setObjectName("Button2");
    Button2->setToolTip("Click to close this dialog");
    Button2->setGeometry(116, 368, 90, 26);
    Button2->hide();

    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
}

int AgreementWindow::askForAcceptance() {
    Button1->show();
    OKBtn->show();
    Button2->hide();
    Button1->setDefault(true);
    return exec();
}

void AgreementWindow::showForReading() {
    Button1->hide();
    OKBtn->hide();
    Button2->show();
    Button2->setDefault(true);
    show();
    raise();
}

void AgreementWindow::Button1Click() { done(kAgreed); }
void AgreementWindow::OKBtnClick() { done(kDisagreed); }
void AgreementWindow::Button2Click() { hide(); }

// Esc is "I Disagree" while asking, and closes the reading view.
void AgreementWindow::reject() {
    if (OKBtn->isVisible()) OKBtnClick();
    else Button2Click();
}

} // namespace cw
