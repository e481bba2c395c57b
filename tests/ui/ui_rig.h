#pragma once
// The window tests' rig: a private home, the main window started over
// scripted services with a picture open, and a hand for modal windows.
#include <QtTest>
#include <QtWidgets>

#include "test_support.h"
#include "ui/chromawell_qt.h"
#include "ui/help_qt.h"
#include "ui/tform1.h"
#include "ui/tform2.h"
#include "ui/tform7.h"

namespace uitest {

// Cache and settings go to a folder of the test's own, so each run is a fresh install.
inline void privateHome(const QTemporaryDir& home) {
    qputenv("XDG_CACHE_HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
}

// A timer, not a wait: the modal window about to open runs its own event loop.
inline void whenModal(std::function<void(QWidget*)> act) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (QWidget* modal = QApplication::activeModalWidget()) timer->stop(), timer->deleteLater(), act(modal);
    });
    timer->start(10);
}

// The main window started on a later run, with `picture` open and its first palette menu dismissed.
struct App {
    cwtest::ScriptedMessages messages;
    cwtest::ScriptedDialogs dialogs;
    cw::Chromawell app;
    cw::TForm1& f;
    explicit App(const std::string& picture = {})
        : app({.services = {&messages, &dialogs, [] { return QSize(1280, 1024); }}, .splash = false}), f(app.form1()) {
        cw::recordAgreementAccepted();
        f.resize(1200, 900);
        QSignalSpy started(&f, &cw::TForm1::started);
        f.show();
        started.wait(5000);
        if (!picture.empty()) f.loadPath(picture[0] == '/' ? picture : cwtest::testdata(picture));
        if (f.Form2()) f.Form2()->PopupMenu2->hide();
    }
    cw::Session& s() { return f.session(); }
    cw::Workspace& ws() { return *f.session().ws; }
};

} // namespace uitest
