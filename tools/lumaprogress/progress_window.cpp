#include "progress_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

namespace pxw::lumaprogress {

namespace {

// Below this the estimate of the time left jumps about too much to help.
constexpr qint64 EstimateAfterMs = 2000;

} // namespace

QString clockText(qint64 seconds) {
    const qint64 hours = seconds / 3600;
    const QString minutesSeconds = QStringLiteral("%1:%2")
                                       .arg(hours > 0 ? (seconds / 60) % 60 : seconds / 60,
                                           hours > 0 ? 2 : 1, 10, QLatin1Char('0'))
                                       .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return hours > 0 ? QString::number(hours) + QLatin1Char(':') + minutesSeconds : minutesSeconds;
}

ProgressWindow::ProgressWindow(std::function<void()> onCancel)
    : onCancel_(std::move(onCancel))
    , bar_(new QProgressBar(this))
    , count_(new QLabel(this))
    , file_(new QLabel(this))
    , times_(new QLabel(this))
    , cancel_(new QPushButton(tr("Cancel"), this)) {
    setWindowTitle(QStringLiteral("lumabatch"));
    bar_->setAccessibleName(tr("Conversion progress"));
    count_->setAccessibleName(tr("Images converted"));
    file_->setAccessibleName(tr("Current image"));
    times_->setAccessibleName(tr("Time"));
    cancel_->setAccessibleName(tr("Cancel"));
    cancel_->setAccessibleDescription(tr("Stops the conversion; converted images are kept"));
    file_->setTextFormat(Qt::PlainText);
    file_->setMinimumWidth(360);
    bar_->setRange(0, 0);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(count_);
    layout->addWidget(bar_);
    layout->addWidget(file_);
    layout->addWidget(times_);
    layout->addLayout(buttons);

    connect(cancel_, &QPushButton::clicked, this, [this] { cancel(); });
    connect(&ticker_, &QTimer::timeout, this, [this] { showTimes(); });
    clock_.start();
    ticker_.start(1000);
    showCount();
    showTimes();
}

void ProgressWindow::apply(const QString& line) {
    const QString key = line.section(QLatin1Char(' '), 0, 0);
    const QString value = line.section(QLatin1Char(' '), 1);
    if (key == QLatin1String("title")) {
        if (!titleKept_)
            setWindowTitle(value);
    } else if (key == QLatin1String("total")) {
        total_ = value.toInt();
        bar_->setRange(0, total_);
        showCount();
    } else if (key == QLatin1String("file")) {
        file_->setText(value);
    } else if (key == QLatin1String("done")) {
        done_ = value.toInt();
        bar_->setValue(done_);
        showCount();
        showTimes();
    }
}

void ProgressWindow::keepTitle(const QString& title) {
    titleKept_ = true;
    // What a title bar shows beside its buttons; a window manager would cut the end, where a
    // folder's own name stands.
    constexpr int ButtonsWidth = 120;
    const int room = std::max(sizeHint().width(), minimumWidth()) - ButtonsWidth;
    setWindowTitle(fontMetrics().elidedText(title, Qt::ElideMiddle, room));
}

void placeOver(QWidget& window, const QString& owner) {
    const QStringList numbers = owner.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QList<int> values;
    for (const QString& number : numbers) {
        bool ok = false;
        values.push_back(number.toInt(&ok));
        if (!ok)
            values.clear();
        if (!ok)
            break;
    }
    QScreen* screen = QGuiApplication::primaryScreen();
    QPoint middle = screen ? screen->availableGeometry().center() : QPoint();
    if (values.size() == 4 && values[2] > 0 && values[3] > 0) {
        middle = QRect(values[0], values[1], values[2], values[3]).center();
        if (QScreen* under = QGuiApplication::screenAt(middle))
            screen = under;
    }
    // The frame counts, where the window already has one: the whole window must be on screen.
    const QSize inner = window.size().expandedTo(window.sizeHint());
    const QSize size = inner + window.frameGeometry().size() - window.geometry().size();
    QPoint corner(middle.x() - size.width() / 2, middle.y() - size.height() / 2);
    if (screen) {
        const QRect room = screen->availableGeometry();
        corner.setX(std::max(room.left(), std::min(corner.x(), room.right() + 1 - size.width())));
        corner.setY(std::max(room.top(), std::min(corner.y(), room.bottom() + 1 - size.height())));
    }
    window.resize(inner);
    window.move(corner);
}

void ProgressWindow::toolEnded() {
    finished_ = true;
    close();
}

void ProgressWindow::closeEvent(QCloseEvent* event) {
    cancel();
    event->accept();
}

void ProgressWindow::cancel() {
    if (finished_)
        return;
    finished_ = true;
    cancel_->setEnabled(false);
    onCancel_();
    close();
}

void ProgressWindow::showCount() {
    count_->setText(tr("%1 of %2 images").arg(done_).arg(total_));
}

void ProgressWindow::showTimes() {
    const qint64 elapsedMs = clock_.elapsed();
    QString text = tr("Elapsed %1").arg(clockText(elapsedMs / 1000));
    if (done_ > 0 && done_ < total_ && elapsedMs >= EstimateAfterMs) {
        const qint64 leftMs = elapsedMs * (total_ - done_) / done_;
        text += tr(", about %1 left").arg(clockText((leftMs + 999) / 1000));
    }
    times_->setText(text);
}

} // namespace pxw::lumaprogress
