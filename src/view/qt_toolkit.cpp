#include "qt_toolkit.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QPushButton>
#include <cstdio>
#include <iostream>
#include <unistd.h>

namespace pxw::view {

namespace {
QMessageBox::Icon boxIcon(platform::MessageIcon icon) {
    switch (icon) {
    case platform::MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case platform::MessageIcon::Information:
        return QMessageBox::Information;
    case platform::MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}
} // namespace

QtToolkit::QtToolkit(platform::DriveMap drives)
    : drives_(std::move(drives)) {
}

QtToolkit::~QtToolkit() {
    // Newest first: a modal window built over the main window goes before its owner.
    for (auto view = ownedViews_.rbegin(); view != ownedViews_.rend(); ++view)
        delete view->data();
}

MainWindow& QtToolkit::createMainWindow(ui::Form& form) {
    auto* window = new MainWindow(form, drives_);
    windows_.add(ui::handleOf(form), window);
    ownedViews_.emplace_back(window);
    mainWindow_ = window;
    return *window;
}

FormDialog* QtToolkit::dialogOf(const ui::Form& form) const {
    auto found = dialogs_.find(&form);
    return found == dialogs_.end() ? nullptr : found->second.data();
}

void QtToolkit::messageBox(
    const std::string& prompt, platform::MessageIcon icon, const std::string& title) {
    QMessageBox box(boxIcon(icon), QString::fromStdString(title), QString::fromStdString(prompt),
        QMessageBox::Ok, mainWindow_.data());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void QtToolkit::detailedMessageBox(const std::string& prompt, platform::MessageIcon icon,
    const std::string& title, const std::string& details) {
    QMessageBox box(boxIcon(icon), QString::fromStdString(title), QString::fromStdString(prompt),
        QMessageBox::Ok, mainWindow_.data());
    box.setTextFormat(Qt::PlainText);
    box.setDetailedText(QString::fromStdString(details));
    box.exec();
}

bool QtToolkit::confirm(
    const std::string& prompt, const std::string& title, const std::string& accept) {
    QMessageBox box(QMessageBox::Question, QString::fromStdString(title),
        QString::fromStdString(prompt), QMessageBox::NoButton, mainWindow_.data());
    box.setTextFormat(Qt::PlainText);
    QPushButton* acceptButton
        = box.addButton(QString::fromStdString(accept), QMessageBox::AcceptRole);
    QPushButton* cancelButton = box.addButton(QMessageBox::Cancel);
    // Enter must not replace a user's files by accident.
    box.setDefaultButton(cancelButton);
    box.setEscapeButton(cancelButton);
    box.exec();
    return box.clickedButton() == acceptButton;
}

std::optional<platform::ScreenRect> QtToolkit::screenRectOf(platform::WindowHandle window) {
    const QWidget* view = windows_.viewOf(window);
    if (view == nullptr || !view->isVisible())
        return std::nullopt;
    const QRect frame = view->frameGeometry();
    return platform::ScreenRect { frame.x(), frame.y(), frame.width(), frame.height() };
}

void QtToolkit::setBusy(bool busy) {
    if (!mainWindow_)
        return;
    if (busy)
        mainWindow_->setCursor(Qt::BusyCursor);
    else
        mainWindow_->unsetCursor();
}

void QtToolkit::processPendingEvents(int wakeFd) {
    if (wakeFd == -1) {
        QCoreApplication::processEvents();
        return;
    }
    if (!wakeNotifier_ || wakeNotifier_->socket() != wakeFd) {
        wakeNotifier_.reset();
        wakeNotifier_ = std::make_unique<QSocketNotifier>(wakeFd, QSocketNotifier::Read);
    }
    wakeNotifier_->setEnabled(true);
    // Sleeps until a window event arrives or the descriptor becomes readable.
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    // A descriptor that stays readable would otherwise wake every later turn of the loop.
    wakeNotifier_->setEnabled(false);
}

void QtToolkit::showModal(platform::WindowHandle window, platform::WindowHandle owner) {
    FormDialog* dialog = dialogOf(*window);
    if (dialog == nullptr) {
        dialog = new FormDialog(*window, drives_, windows_.viewOf(owner));
        dialogs_[window] = dialog;
        windows_.add(window, dialog);
        ownedViews_.emplace_back(dialog);
    }
    dialog->exec();
}

void QtToolkit::beep() {
    QApplication::beep();
}

void QtToolkit::endProgram() {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    // At once: no destructor, no further reaction, nothing asked. A child process started by a
    // command runs in its own session and goes on.
    _exit(0);
}

} // namespace pxw::view
