#pragma once
// The image window: shows the displayed picture of the workspace.
#include <QWidget>

class QScrollArea;

namespace cw {

struct Session;

// Paints the displayed picture straight from the workspace buffer.
class PictureView : public QWidget {
public:
    PictureView(Session& s, QWidget* parent);
    void syncSize();

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    Session& session_;
};

class TForm2 : public QWidget {
    Q_OBJECT
public:
    TForm2(Session& s, QWidget* parent = nullptr);

    QScrollArea* ScrollBox1;
    PictureView* Image1;

    void FormShow();
    void pictureChanged();
    void setToolCursor(int currentTool);

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    Session& session_;
    bool closed_ = false;
};

} // namespace cw
