#pragma once

#include "album_reader.h"

#include <QIcon>
#include <QImage>
#include <QString>
#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;

namespace pxw::zip {

/// Shows an image scaled to fit, keeping its proportions; a click on its left half asks for
/// the previous image, on its right half for the next one.
class ImageView final : public QWidget {
public:
    explicit ImageView(QWidget* parent = nullptr);

    void setImage(const QImage& image, const QString& failure);
    /// Called with true for "next", false for "previous".
    void onStep(std::function<void(bool)> step) { step_ = std::move(step); }

    /// Where the image is drawn inside the view.
    QRect imageRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QImage image_;
    QString failure_;
    std::function<void(bool)> step_;
};

/// The album's window: one image at a time, moved through with the Left and Right arrow keys,
/// the buttons or a click on the image, and a button that saves all images into a folder. Its
/// window icon is the icon the album carries.
class AlbumViewer final : public QWidget {
public:
    AlbumViewer(AlbumReader& album, const QString& albumName, QWidget* parent = nullptr);

    int currentIndex() const { return current_; }
    int imageCount() const;
    const QImage& currentImage() const { return image_; }
    QString captionText() const;
    ImageView* imageView() const { return view_; }
    QPushButton* previousButton() const { return previous_; }
    QPushButton* nextButton() const { return next_; }
    QPushButton* saveButton() const { return save_; }

    void showImage(int index);
    void showNext();
    void showPrevious();
    /// What the save button does once a folder is chosen.
    Status saveAllInto(const QString& folder);

    /// The icon in `bytes`, every size an icon file holds.
    static QIcon iconFromBytes(const QByteArray& bytes);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void chooseFolderAndSave();

    AlbumReader& album_;
    QString albumName_;
    int current_ = -1;
    QImage image_;
    ImageView* view_;
    QLabel* caption_;
    QPushButton* previous_;
    QPushButton* next_;
    QPushButton* save_;
};

} // namespace pxw::zip
