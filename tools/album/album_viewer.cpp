#include "album_viewer.h"

#include <QBuffer>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace pxw::zip {

ImageView::ImageView(QWidget* parent)
    : QWidget(parent) {
    setMinimumSize(160, 120);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setFocusPolicy(Qt::NoFocus);
}

void ImageView::setImage(const QImage& image, const QString& failure) {
    image_ = image;
    failure_ = failure;
    update();
}

QRect ImageView::imageRect() const {
    if (image_.isNull())
        return {};
    QSize fitted = image_.size().scaled(size(), Qt::KeepAspectRatio);
    return QRect(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
}

void ImageView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Dark));
    if (image_.isNull()) {
        painter.setPen(palette().color(QPalette::BrightText));
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, failure_);
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(imageRect(), image_);
}

void ImageView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && step_)
        step_(event->position().x() >= width() / 2.0);
}

AlbumViewer::AlbumViewer(AlbumReader& album, const QString& albumName, QWidget* parent)
    : QWidget(parent)
    , album_(album)
    , albumName_(albumName)
    , view_(new ImageView(this))
    , caption_(new QLabel(this))
    , previous_(new QPushButton(tr("< &Previous"), this))
    , next_(new QPushButton(tr("&Next >"), this))
    , save_(new QPushButton(tr("&Save all images..."), this)) {
    std::string icon;
    if (album_.readIcon(icon))
        setWindowIcon(iconFromBytes(QByteArray(icon.data(), static_cast<qsizetype>(icon.size()))));

    // The arrow keys belong to the window, so the buttons never take the focus from it.
    setFocusPolicy(Qt::StrongFocus);
    for (QPushButton* button : { previous_, next_, save_ })
        button->setFocusPolicy(Qt::NoFocus);
    caption_->setAlignment(Qt::AlignCenter);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(previous_);
    buttons->addWidget(caption_, 1);
    buttons->addWidget(next_);
    buttons->addSpacing(16);
    buttons->addWidget(save_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_, 1);
    layout->addLayout(buttons);

    connect(previous_, &QPushButton::clicked, this, [this] { showPrevious(); });
    connect(next_, &QPushButton::clicked, this, [this] { showNext(); });
    connect(save_, &QPushButton::clicked, this, [this] { chooseFolderAndSave(); });
    view_->onStep([this](bool forward) { forward ? showNext() : showPrevious(); });

    resize(800, 640);
    showImage(0);
}

int AlbumViewer::imageCount() const {
    return static_cast<int>(album_.entries().size());
}

QString AlbumViewer::captionText() const {
    return caption_->text();
}

void AlbumViewer::showImage(int index) {
    if (imageCount() == 0) {
        current_ = -1;
        image_ = QImage();
        view_->setImage(image_, tr("This album holds no images."));
        caption_->clear();
        setWindowTitle(albumName_);
        return;
    }
    current_ = std::clamp(index, 0, imageCount() - 1);
    const AlbumEntry& entry = album_.entries()[static_cast<std::size_t>(current_)];
    const QString name = QString::fromStdString(entry.name);

    std::string bytes;
    QString failure;
    Status read = album_.readEntry(static_cast<std::size_t>(current_), bytes);
    image_ = QImage();
    if (!read)
        failure = QString::fromStdString(read.message());
    else if (!image_.loadFromData(
                 QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()))))
        failure = tr("%1 is not an image that can be shown.").arg(name);
    view_->setImage(image_, failure);

    caption_->setText(tr("%1  (%2 of %3)").arg(name).arg(current_ + 1).arg(imageCount()));
    setWindowTitle(tr("%1 - %2").arg(name, albumName_));
    previous_->setEnabled(current_ > 0);
    next_->setEnabled(current_ + 1 < imageCount());
}

void AlbumViewer::showNext() {
    if (current_ + 1 < imageCount())
        showImage(current_ + 1);
}

void AlbumViewer::showPrevious() {
    if (current_ > 0)
        showImage(current_ - 1);
}

Status AlbumViewer::saveAllInto(const QString& folder) {
    return album_.extractAll(folder.toStdString());
}

QIcon AlbumViewer::iconFromBytes(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    QIcon icon;
    for (;;) {
        QImage image = reader.read();
        if (!image.isNull())
            icon.addPixmap(QPixmap::fromImage(image));
        if (!reader.jumpToNextImage())
            break;
    }
    return icon;
}

void AlbumViewer::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Left:
        showPrevious();
        break;
    case Qt::Key_Right:
        showNext();
        break;
    case Qt::Key_Home:
        showImage(0);
        break;
    case Qt::Key_End:
        showImage(imageCount() - 1);
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void AlbumViewer::chooseFolderAndSave() {
    QString folder = QFileDialog::getExistingDirectory(this, tr("Save all images into a folder"));
    if (folder.isEmpty())
        return;
    if (Status saved = saveAllInto(folder); !saved)
        QMessageBox::warning(this, albumName_, QString::fromStdString(saved.message()));
    else
        QMessageBox::information(
            this, albumName_, tr("%n image(s) saved into %1.", nullptr, imageCount()).arg(folder));
}

} // namespace pxw::zip
