#include "form_windows.h"

#include <QCloseEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMenuBar>
#include <QScreen>
#include <QStyle>

#ifdef PXW_HAVE_ASSETS
#include <pxw_assets.h>
#endif

namespace pxw::view {

namespace {
const QString IconResource = QStringLiteral(":/icons/pixelwain.png");
}

QIcon programIcon() {
#ifdef PXW_HAVE_ASSETS
    pxwInitAssets();
#endif
    return QFile::exists(IconResource) ? QIcon(IconResource) : QIcon();
}

MainWindow::MainWindow(ui::Form& form, const platform::DriveMap& drives)
    : QMainWindow(nullptr,
        Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint
            | Qt::MSWindowsFixedSizeDialogHint)
    , form_(form)
    , view_(new FormView(form, drives)) {
    setObjectName(QString::fromStdString(form.name()));
    setWindowTitle(QString::fromStdString(form.caption()));
    setWindowIcon(programIcon());
    setCentralWidget(view_);

    for (const ui::Menu* menu : form.menus()) {
        QMenu* menuWidget = menuBar()->addMenu(QString::fromStdString(menu->caption));
        menuWidget->setObjectName(QString::fromStdString(menu->name));
        for (ui::MenuItem* item : menu->items) {
            if (item->isSeparator()) {
                menuWidget->addSeparator();
                continue;
            }
            QAction* action = menuWidget->addAction(QString::fromStdString(item->caption()));
            action->setObjectName(QString::fromStdString(item->name()));
            connect(action, &QAction::triggered, this, [item] { item->click(); });
        }
    }
    setFixedSize(sizeHint());
}

void MainWindow::present() {
    if (QScreen* screen = this->screen())
        setGeometry(QStyle::alignedRect(
            Qt::LeftToRight, Qt::AlignCenter, size(), screen->availableGeometry()));
    show();
    raise();
    activateWindow();
    view_->focusFirstControl();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    form_.unload();
}

FormDialog::FormDialog(const ui::Form& form, const platform::DriveMap& drives, QWidget* parent)
    : QDialog(parent,
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
    , view_(new FormView(form, drives, this)) {
    setObjectName(QString::fromStdString(form.name()));
    setWindowTitle(QString::fromStdString(form.caption()));
    setWindowIcon(programIcon());
    setModal(true);
    setFixedSize(view_->size());
}

void FormDialog::keyPressEvent(QKeyEvent* event) {
    // The window has no cancel button: Escape does not close it, only the close box does.
    if (event->key() == Qt::Key_Escape) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace pxw::view
