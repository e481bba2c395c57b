// Times the image window's view of a 6000 x 4000 picture, offscreen, in a
// 1280 x 800 main window: a redraw at Fit after the whole picture changed,
// each zoom step redrawn, pan frames at reduced and full scale, and brush
// moves at Fit from the pointer event to the repainted window. Prints
// figures; asserts nothing.
//
//   QT_QPA_PLATFORM=offscreen bench_view [picture.jpg]
#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "ui/chromawell_qt.h"
#include "ui/help_qt.h"
#include "ui/picture_view.h"
#include "ui/image_window.h"

using namespace cw;
using Clock = std::chrono::steady_clock;

namespace {

double msSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

void report(const char* what, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    std::printf("%-44s median %7.2f ms  max %7.2f ms  (%zu)\n", what, ms[ms.size() / 2], ms.back(), ms.size());
}

// What the window does until every posted repaint has reached the screen.
double timed(const std::function<void()>& act) {
    QCoreApplication::processEvents();
    const auto t0 = Clock::now();
    act();
    QCoreApplication::processEvents();
    return msSince(t0);
}

void mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent e(type, at, w->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    qputenv("XDG_CACHE_HOME", (home.path() + "/cache").toUtf8());
    QApplication qapp(argc, argv);
    const char* pictures = std::getenv("BENCH_PICTURES");
    const std::string picture = argc > 1 ? argv[1] : std::string(pictures ? pictures : ".") + "/camera.jpg";
    recordAgreementAccepted();
    Chromawell app({.services = {nullptr, nullptr, [] { return QSize(1280, 800); }}, .splash = false});
    MainWindow& f = app.mainWindow();
    f.resize(1280, 800);
    f.show();
    QCoreApplication::processEvents();
    const auto t0 = Clock::now();
    f.loadPath(picture);
    const double load = msSince(t0);
    ImageWindow* image = f.imageWindow();
    if (!image || !f.session().ws) {
        std::fprintf(stderr, "bench_view: cannot open %s\n", picture.c_str());
        return 1;
    }
    image->paletteMenu->hide();
    PictureView* view = image->view;
    QWidget* canvas = view->viewport();
    const Workspace& ws = *f.session().ws;
    std::printf("picture %d x %d, view %d x %d at %.1f %% (Fit: %s); load %.0f ms\n", ws.width, ws.height,
                canvas->width(), canvas->height(), view->scale() * 100, view->fitting() ? "yes" : "no", load);

    // As after an image-wide fill: every halved copy made again, then drawn.
    std::vector<double> whole;
    for (int i = 0; i < 5; ++i) whole.push_back(timed([&] { image->displayChanged(QRect(0, 0, ws.width, ws.height)); }));
    report("whole picture changed, redrawn at Fit", whole);
    std::printf("halved copies: %.1f MB, %.3f of the picture's %.1f MB\n", view->reducedCopies().bytes() / 1e6,
                double(view->reducedCopies().bytes()) / (ws.pixelCount() * 4.0), ws.pixelCount() * 4 / 1e6);

    std::vector<double> reduced, enlarged;
    for (int round = 0; round < 3; ++round) {
        view->fit();
        for (double s = view->scale(); s < PictureView::kMaxScale; s = view->scale()) {
            const double ms = timed([&] { view->zoomBy(1); });
            (view->scale() < 1 ? reduced : enlarged).push_back(ms);
        }
        while (view->scale() > PictureView::kMinScale) {
            const double ms = timed([&] { view->zoomBy(-1); });
            (view->scale() < 1 ? reduced : enlarged).push_back(ms);
        }
    }
    report("zoom step, reduced scales", reduced);
    report("zoom step, 100 % and enlarged", enlarged);

    for (double scale : {1.0 / 3, 1.0, 4.0}) {
        view->setScale(scale);
        std::vector<double> frames;
        QScrollBar* h = view->horizontalScrollBar();
        QScrollBar* v = view->verticalScrollBar();
        for (int i = 0; i < 60; ++i)
            frames.push_back(timed([&] {
                h->setValue(h->value() + (i % 20 < 10 ? 37 : -37));
                v->setValue(v->value() + (i % 30 < 15 ? 23 : -23));
            }));
        char what[64];
        std::snprintf(what, sizeof what, "pan frame at %.0f %%", scale * 100);
        report(what, frames);
    }

    view->fit();
    canvas->repaint();
    std::vector<double> moves;
    const QPointF centre = view->pictureRectInView().center();
    QPoint at = centre.toPoint() - QPoint(100, 60);
    mouse(canvas, QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton);
    mouse(canvas, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    for (int i = 0; i < 200; ++i) {
        at += QPoint(1, i % 2);
        moves.push_back(timed([&] { mouse(canvas, QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton); }));
    }
    mouse(canvas, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    char what[64];
    std::snprintf(what, sizeof what, "brush move at Fit (%.1f %%), event to screen", view->scale() * 100);
    report(what, moves);
    return 0;
}
