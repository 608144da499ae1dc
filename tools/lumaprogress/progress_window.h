#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace pxw::lumaprogress {

/// The window lumabatch shows while it converts. It is fed one line at a time:
///   title TEXT    the window's title
///   total N       the number of images of the run
///   file NAME     the image being converted now
///   done K        K images are finished
/// Cancel, or closing the window, calls `onCancel` once; toolEnded() closes it quietly.
class ProgressWindow : public QWidget {
public:
    explicit ProgressWindow(std::function<void()> onCancel);

    void apply(const QString& line);
    /// Keeps `title` (the run as the program that started the tool names it), shortened in the
    /// middle when too long to show, whatever title the tool sends.
    void keepTitle(const QString& title);
    /// The tool has ended: the window closes without asking it to cancel.
    void toolEnded();

    QProgressBar* bar() const { return bar_; }
    QLabel* count() const { return count_; }
    QLabel* file() const { return file_; }
    QLabel* times() const { return times_; }
    QPushButton* cancelButton() const { return cancel_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void cancel();
    void showCount();
    void showTimes();

    std::function<void()> onCancel_;
    QProgressBar* bar_;
    QLabel* count_;
    QLabel* file_;
    QLabel* times_;
    QPushButton* cancel_;
    QElapsedTimer clock_;
    QTimer ticker_;
    int total_ = 0;
    int done_ = 0;
    bool finished_ = false; ///< cancelled or ended: closing asks nothing more
    bool titleKept_ = false;
};

/// Puts `window` (best shown, so that its frame is known) over the middle of `owner` ("x y width
/// height" in screen pixels, as the program that started the tool hands it over), or of the primary
/// screen when that does not read, and then wholly onto the available part of the screen it falls
/// on.
void placeOver(QWidget& window, const QString& owner);

/// "1:05" for 65 seconds, "1:02:03" past an hour.
QString clockText(qint64 seconds);

} // namespace pxw::lumaprogress
