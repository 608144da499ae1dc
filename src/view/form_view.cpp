#include "form_view.h"

#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QMouseEvent>
#include <QPalette>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <vector>

namespace pxw::view {

namespace {

int pixelsOf(int twips) {
    return static_cast<int>(std::lround(static_cast<double>(twips) / ui::TwipsPerPixel));
}

QRect pixelsOf(const ui::Twips& place) {
    return QRect(
        pixelsOf(place.left), pixelsOf(place.top), pixelsOf(place.width), pixelsOf(place.height));
}

QString toQString(const std::string& text) {
    return QString::fromStdString(text);
}

QColor toQColor(const ui::Rgb& color) {
    return QColor(color.red, color.green, color.blue);
}

// What every kind of control shows alike.
void mirrorCommon(QWidget* widget, const ui::Control& control) {
    const QString toolTip = toQString(control.toolTipText());
    if (widget->toolTip() != toolTip)
        widget->setToolTip(toolTip);
    if (widget->isHidden() == control.visible())
        widget->setVisible(control.visible());
}

void applyColors(QWidget* widget, const ui::Control& control, bool fillsBackground) {
    if (!control.foreColor() && !control.backColor())
        return;
    QPalette palette = widget->palette();
    if (const auto& fore = control.foreColor()) {
        for (QPalette::ColorRole role :
            { QPalette::WindowText, QPalette::Text, QPalette::ButtonText })
            palette.setColor(role, toQColor(*fore));
    }
    if (const auto& back = control.backColor()) {
        for (QPalette::ColorRole role : { QPalette::Window, QPalette::Base, QPalette::Button })
            palette.setColor(role, toQColor(*back));
        widget->setAutoFillBackground(fillsBackground);
    }
    widget->setPalette(palette);
}

class ButtonWidget final : public QPushButton {
public:
    ButtonWidget(ui::CommandButton& model, QWidget* parent)
        : QPushButton(parent)
        , model_(model) {
        // No button is the window's default: Enter presses only the focused button.
        setAutoDefault(false);
        setDefault(false);
        setFocusPolicy(Qt::StrongFocus);
        connect(this, &QPushButton::clicked, this, [this] { model_.click(); });
    }

    void mirror() {
        setText(toQString(model_.caption()));
        mirrorCommon(this, model_);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        // A button without the default role ignores Enter; here a focused button takes it
        // as a press, like the space bar.
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
            && !event->isAutoRepeat()) {
            event->accept();
            click();
            return;
        }
        QPushButton::keyPressEvent(event);
    }

private:
    ui::CommandButton& model_;
};

class TextWidget final : public QLineEdit {
public:
    TextWidget(ui::TextBox& model, QWidget* parent)
        : QLineEdit(parent)
        , model_(model) {
        setReadOnly(model.locked());
        setFocusPolicy(Qt::StrongFocus);
        // Only the user's edits go to the model; texts the program sets come back through
        // mirror() with the signals blocked.
        connect(this, &QLineEdit::textEdited, this, [this](const QString& text) {
            model_.setText(text.toStdString());
            mirror();
        });
    }

    void mirror() {
        const QString text = toQString(model_.text());
        // The typing limit holds the user back, not the program: a longer text set by a
        // command is shown whole, and the user may shorten it but not lengthen it.
        const int limit = model_.maxLength() > 0 ? model_.maxLength() : NoTypingLimit;
        setMaxLength(std::max(limit, static_cast<int>(text.size())));
        if (this->text() != text) {
            QSignalBlocker block(this);
            setText(text);
            setCursorPosition(0);
        }
        mirrorCommon(this, model_);
    }

private:
    static constexpr int NoTypingLimit = 32767;
    ui::TextBox& model_;
};

class CheckWidget final : public QCheckBox {
public:
    CheckWidget(ui::CheckBox& model, QWidget* parent)
        : QCheckBox(parent)
        , model_(model) {
        setFocusPolicy(Qt::StrongFocus);
        // The box has already flipped itself; the model decides, and a reaction may set it
        // back, so the box shows the model's state afterwards.
        connect(this, &QCheckBox::clicked, this, [this] {
            model_.toggle();
            mirror();
        });
    }

    void mirror() {
        setText(toQString(model_.caption()));
        {
            QSignalBlocker block(this);
            setChecked(model_.value() != 0);
        }
        mirrorCommon(this, model_);
    }

private:
    ui::CheckBox& model_;
};

class ListWidget final : public QListWidget {
public:
    ListWidget(ui::ListBox& model, const platform::DriveMap& drives, QWidget* parent)
        : QListWidget(parent)
        , model_(model)
        , drives_(drives) {
        setSelectionMode(QAbstractItemView::SingleSelection);
        setFocusPolicy(Qt::StrongFocus);
        setUniformItemSizes(true);
        setAcceptDrops(true);
        viewport()->setAcceptDrops(true);
        // Selection, not the current row: the view makes the first row current when it
        // gains the focus, which is no choice of the user's.
        connect(this, &QListWidget::itemSelectionChanged, this, [this] {
            const QModelIndexList rows = selectionModel()->selectedRows();
            if (!rows.isEmpty())
                model_.setListIndex(rows.first().row());
            mirror();
        });
    }

    void mirror() {
        {
            QSignalBlocker block(this);
            mirrorEntries();
            const int row = model_.ListIndex();
            if (row < 0) {
                selectionModel()->clear();
            } else if (currentRow() != row || !item(row)->isSelected()) {
                setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
                scrollToItem(item(row));
            }
        }
        mirrorCommon(this, model_);
    }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override { offerDrop(event); }
    void dragMoveEvent(QDragMoveEvent* event) override { offerDrop(event); }

    void dropEvent(QDropEvent* event) override {
        std::vector<std::string> paths;
        for (const QUrl& url : event->mimeData()->urls()) {
            if (url.isLocalFile())
                paths.push_back(drives_.toWindows(
                    std::filesystem::path(QFile::encodeName(url.toLocalFile()).toStdString())));
        }
        if (paths.empty()) {
            event->ignore();
            return;
        }
        acceptAsCopy(event);
        model_.drop(paths);
    }

private:
    // Once per change of the model's entries, however many came with it; a change of the
    // selection alone costs one comparison of the lists.
    void mirrorEntries() {
        const std::vector<std::string>& entries = model_.entries();
        if (entries == shown_ && count() == static_cast<int>(shown_.size()))
            return;
        setUpdatesEnabled(false);
        clear();
        QStringList rows;
        rows.reserve(static_cast<qsizetype>(entries.size()));
        for (const std::string& entry : entries)
            rows.push_back(toQString(entry));
        addItems(rows);
        setUpdatesEnabled(true);
        shown_ = entries;
    }

    static bool hasLocalFiles(const QMimeData* data) {
        if (data == nullptr || !data->hasUrls())
            return false;
        const QList<QUrl> urls = data->urls();
        return std::any_of(
            urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); });
    }

    // The files stay where they are: only their names are taken.
    static void acceptAsCopy(QDropEvent* event) {
        if (event->possibleActions() & Qt::CopyAction) {
            event->setDropAction(Qt::CopyAction);
            event->accept();
        } else {
            event->acceptProposedAction();
        }
    }

    static void offerDrop(QDropEvent* event) {
        if (hasLocalFiles(event->mimeData()))
            acceptAsCopy(event);
        else
            event->ignore();
    }

    ui::ListBox& model_;
    platform::DriveMap drives_;
    std::vector<std::string> shown_; ///< the entries the rows show
};

class LabelWidget final : public QLabel {
public:
    LabelWidget(ui::Label& model, QWidget* parent)
        : QLabel(parent)
        , model_(model) {
        setTextFormat(Qt::PlainText);
        setWordWrap(true);
        setAlignment(Qt::AlignLeft | Qt::AlignTop);
        setFocusPolicy(Qt::NoFocus);
    }

    void mirror() {
        setText(withoutAccessKeyMarks(model_.caption()));
        refreshCursor();
        mirrorCommon(this, model_);
    }

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        // The second press of a double click is no second click.
        skipNextRelease_ = true;
        QLabel::mouseDoubleClickEvent(event);
    }

    void mouseReleaseEvent(QMouseEvent* event) override {
        QLabel::mouseReleaseEvent(event);
        const bool skip = std::exchange(skipNextRelease_, false);
        if (!skip && event->button() == Qt::LeftButton
            && rect().contains(event->position().toPoint()))
            model_.click();
    }

    void enterEvent(QEnterEvent* event) override {
        refreshCursor();
        QLabel::enterEvent(event);
    }

private:
    // A label that reacts to a click (a web-address link) shows the pointing hand.
    void refreshCursor() {
        if (model_.Click)
            setCursor(Qt::PointingHandCursor);
        else
            unsetCursor();
    }

    ui::Label& model_;
    bool skipNextRelease_ = false;
};

class FrameWidget final : public QGroupBox {
public:
    FrameWidget(ui::Frame& model, QWidget* parent)
        : QGroupBox(parent)
        , model_(model) {
        setFocusPolicy(Qt::NoFocus);
    }

    void mirror() {
        setTitle(toQString(model_.caption()));
        mirrorCommon(this, model_);
    }

private:
    ui::Frame& model_;
};

// Makes the widget of a control, shows the control in it now and again after each of its
// changes. The model may outlive the widget, so the observer checks that it still exists.
template <typename Widget, typename Model, typename... Extra>
Widget* build(ui::Control& control, QWidget* parent, const Extra&... extra) {
    auto* widget = new Widget(static_cast<Model&>(control), extra..., parent);
    widget->setFont(hostFont(control.font()));
    applyColors(widget, control, control.kind() != ui::ControlKind::CommandButton);
    widget->mirror();
    control.observe([guard = QPointer<Widget>(widget)] {
        if (guard)
            guard->mirror();
    });
    return widget;
}

} // namespace

QFont hostFont(const ui::Font& font) {
    static const std::map<std::string, QString> hostFaces {
        { "Arial", QStringLiteral("Liberation Sans") },
        { "Palatino Linotype", QStringLiteral("P052") },
    };
    auto face = hostFaces.find(font.face);
    QFont result(face != hostFaces.end() ? face->second : toQString(font.face));
    result.setPointSizeF(font.points);
    result.setBold(font.bold);
    result.setItalic(font.italic);
    return result;
}

QString withoutAccessKeyMarks(const std::string& caption) {
    return toQString(ui::withoutAccessKeyMarks(caption));
}

FormView::FormView(const ui::Form& form, const platform::DriveMap& drives, QWidget* parent)
    : QWidget(parent)
    , form_(form)
    , drives_(drives) {
    setFixedSize(pixelsOf(form.clientWidth()), pixelsOf(form.clientHeight()));
    setFont(hostFont(form.font()));
    for (ui::Control* control : form.controls())
        ensureWidget(*control);

    const std::vector<ui::Control*> chain = form.tabChain();
    for (std::size_t i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(widgetOf(*chain[i - 1]), widgetOf(*chain[i]));
}

FormView::~FormView() {
    // Destroying a widget can emit its signals (a list losing its selection); the model must
    // not hear them as the user's input.
    for (const auto& [control, widget] : widgets_)
        widget->blockSignals(true);
}

QWidget* FormView::widgetOf(const std::string& controlName) const {
    const ui::Control* control = form_.control(controlName);
    return control ? widgetOf(*control) : nullptr;
}

QWidget* FormView::widgetOf(const ui::Control& control) const {
    auto found = widgets_.find(&control);
    return found == widgets_.end() ? nullptr : found->second;
}

void FormView::focusFirstControl() {
    const std::vector<ui::Control*> chain = form_.tabChain();
    if (!chain.empty())
        widgetOf(*chain.front())->setFocus(Qt::OtherFocusReason);
}

QWidget* FormView::ensureWidget(ui::Control& control) {
    if (QWidget* existing = widgetOf(control))
        return existing;
    // Controls inside a frame are placed relative to the frame's top-left corner.
    QWidget* parent = control.container() ? ensureWidget(*control.container()) : this;
    QWidget* widget = createWidget(control, parent);
    widget->setObjectName(toQString(control.name()));
    widget->setGeometry(pixelsOf(control.geometry()));
    widgets_[&control] = widget;
    return widget;
}

QWidget* FormView::createWidget(ui::Control& control, QWidget* parent) {
    switch (control.kind()) {
    case ui::ControlKind::CommandButton:
        return build<ButtonWidget, ui::CommandButton>(control, parent);
    case ui::ControlKind::TextBox:
        return build<TextWidget, ui::TextBox>(control, parent);
    case ui::ControlKind::CheckBox:
        return build<CheckWidget, ui::CheckBox>(control, parent);
    case ui::ControlKind::ListBox:
        return build<ListWidget, ui::ListBox>(control, parent, drives_);
    case ui::ControlKind::Label:
        return build<LabelWidget, ui::Label>(control, parent);
    case ui::ControlKind::Frame:
        return build<FrameWidget, ui::Frame>(control, parent);
    }
    return nullptr;
}

} // namespace pxw::view
