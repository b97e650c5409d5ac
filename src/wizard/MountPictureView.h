#pragma once

#include <QImage>
#include <QWidget>

// The picture of a mount position, drawn unscaled from the top-left corner. Without a
// picture it says so in the middle of its area.
class CMountPictureView : public QWidget {
public:
    explicit CMountPictureView(QWidget* parent = nullptr);

    void SetPicture(const QImage& picture);
    const QImage& Picture() const { return picture; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture;
};
