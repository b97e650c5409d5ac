#pragma once

#include <QPixmap>
#include <QWidget>

#include <functional>

// Shows a picture drawn for the widget's current size and resolution (Artwork), drawing
// it again only when either changes.
class CArtworkView : public QWidget {
public:
    using Drawing = std::function<QPixmap(QSize size, qreal devicePixelRatio)>;

    explicit CArtworkView(Drawing drawing, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Drawing drawing;
    QPixmap picture;
};
