// The run-time's pop-ups as modal dialogs. Each dialog carries an object name
// ("messagePopup", "confirmPopup", "genericPopup", "promptPopup", "fileSelectPopup") so
// that a test can find it through QApplication::activeModalWidget and answer it.
//
// A message, confirmation or question that comes while an operation that may turn a motor
// runs carries a Stop button of its own ("popupStop", F9 too): the panel's Stop is out of
// reach behind a modal dialog. A Stop, pressed there or requested from anywhere else,
// closes the question with its safe answer (No; the button that answers Escape).
#include "panel_model.hpp"

#include "platform/files.hpp"
#include "platform/operator_thread.hpp"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

#include <functional>

namespace {

QWidget* popup_parent() {
    return QApplication::activeWindow();
}

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

// While a stoppable operation runs: a Stop button in `row` (or the message box's button
// row when `row` is null) that asks the operation to stop, and a watch that closes the
// dialog with `safe` as soon as a stop is requested, wherever from. Nothing otherwise.
void offer_stop(QDialog& dialog, QBoxLayout* row, const std::function<void()>& safe) {
    if (!platform_stoppable())
        return;
    QPushButton* stop = nullptr;
    if (row != nullptr) {
        stop = new QPushButton("Stop (F9)", &dialog);
        row->addWidget(stop);
    } else if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
        stop = box->addButton("Stop (F9)", QMessageBox::ActionRole);
    }
    if (stop == nullptr)
        return;
    stop->setObjectName("popupStop");
    stop->setAccessibleName("Stop");
    stop->setAutoDefault(false);
    stop->setStyleSheet("QPushButton { background-color: #c62828; color: white; "
                        "font-weight: bold; }");
    QObject::connect(stop, &QPushButton::clicked, &dialog, [safe] {
        platform_request_stop();
        safe();
    });
    auto* key = new QShortcut(QKeySequence(Qt::Key_F9), &dialog);
    QObject::connect(key, &QShortcut::activated, &dialog, [stop] { stop->click(); });
    auto* watch = new QTimer(&dialog);
    watch->setInterval(50);
    QObject::connect(watch, &QTimer::timeout, &dialog, [safe] {
        if (platform_stop_requested())
            safe();
    });
    watch->start();
}

bool valid_button(const GenericPopupRequest& request, int button) {
    return button >= VAL_GENERIC_POPUP_BTN1 && button <= VAL_GENERIC_POPUP_BTN3 &&
           !request.button[button - 1].empty();
}

// Three buttons left to right; Enter answers `enter_button` and Escape (or the window's
// close button) `escape_button`, wherever the focus is.
class GenericPopup : public QDialog {
public:
    GenericPopup(const GenericPopupRequest& request, const std::string& details, QWidget* parent)
        : QDialog(parent),
          enter_(valid_button(request, request.enter_button) ? request.enter_button : 0),
          escape_(valid_button(request, request.escape_button) ? request.escape_button : 0) {
        setObjectName("genericPopup");
        setWindowTitle(qs(request.title));
        auto* layout = new QVBoxLayout(this);
        auto* message = new QLabel(qs(request.message), this);
        message->setWordWrap(true);
        message->setMinimumWidth(320);
        layout->addWidget(message);
        if (!details.empty()) {
            auto* lines = new QPlainTextEdit(qs(details), this);
            lines->setObjectName("genericPopupDetails");
            lines->setReadOnly(true);
            lines->setFocusPolicy(Qt::NoFocus);
            lines->setMaximumHeight(lines->fontMetrics().lineSpacing() * 6);
            layout->addWidget(lines);
        }
        if (request.with_text_entry) {
            entry_ = new QLineEdit(this);
            entry_->setObjectName("genericPopupEntry");
            if (request.max_response_length > 0)
                entry_->setMaxLength(request.max_response_length);
            entry_->installEventFilter(this);
            layout->addWidget(entry_);
        }
        auto* row = new QHBoxLayout();
        row->addStretch();
        for (int i = 0; i < 3; ++i) {
            if (request.button[i].empty())
                continue;
            auto* button = new QPushButton(qs(request.button[i]), this);
            button->setObjectName(QString("genericPopupButton%1").arg(i + 1));
            button->setAutoDefault(false);
            button->installEventFilter(this);
            const int answer = i + 1;
            connect(button, &QPushButton::clicked, this, [this, answer] { done(answer); });
            row->addWidget(button);
            if (request.active_button == answer)
                button->setFocus(Qt::OtherFocusReason);
        }
        if (escape_ != 0)
            offer_stop(*this, row, [this] { done(escape_); });
        row->addStretch();
        layout->addLayout(row);
        if (entry_ != nullptr && request.active_button == VAL_GENERIC_POPUP_INPUT_STRING)
            entry_->setFocus(Qt::OtherFocusReason);
        installEventFilter(this);
    }

    std::string response() const {
        return entry_ != nullptr ? entry_->text().toStdString() : std::string();
    }

    void reject() override {
        if (escape_ != 0)
            done(escape_);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                if (enter_ != 0)
                    done(enter_);
                return true;
            }
            if (key == Qt::Key_Escape) {
                reject();
                return true;
            }
        }
        return QDialog::eventFilter(watched, event);
    }

private:
    int enter_;
    int escape_;
    QLineEdit* entry_ = nullptr;
};

// "*.dat;*.txt" → the patterns of a name filter.
QStringList patterns(const std::string& list) {
    QStringList out;
    for (const QString& part : qs(list).split(';', Qt::SkipEmptyParts)) {
        const QString pattern = part.trimmed();
        if (!pattern.isEmpty())
            out << pattern;
    }
    return out;
}

bool is_pattern(const QString& file_spec) {
    return file_spec.contains('*') || file_spec.contains('?');
}

} // namespace

void QtPanelBackend::message_popup(const std::string& title, const std::string& message,
                                   const std::string& details) {
    QMessageBox box(QMessageBox::Information, qs(title), qs(message), QMessageBox::Ok,
                    popup_parent());
    box.setObjectName("messagePopup");
    if (!details.empty())
        box.setDetailedText(qs(details));
    offer_stop(box, nullptr, [&box] { box.done(QMessageBox::Ok); });
    box.exec();
}

int QtPanelBackend::confirm_popup(const std::string& title, const std::string& message,
                                  const std::string& details) {
    QMessageBox box(QMessageBox::Question, qs(title), qs(message),
                    QMessageBox::Yes | QMessageBox::No, popup_parent());
    box.setObjectName("confirmPopup");
    if (!details.empty())
        box.setDetailedText(qs(details));
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    offer_stop(box, nullptr, [&box] { box.done(QMessageBox::No); });
    // A Stop (its own button included) answers No.
    return box.exec() == QMessageBox::Yes && !platform_stop_requested() ? 1 : 0;
}

int QtPanelBackend::generic_message_popup(const GenericPopupRequest& request,
                                          std::string* response) {
    GenericPopup popup(request, request.details, popup_parent());
    const int answer = popup.exec();
    if (response != nullptr)
        *response = popup.response();
    return answer;
}

int QtPanelBackend::prompt_popup(const std::string& title, const std::string& message,
                                 std::string& response, int max_length) {
    QDialog dialog(popup_parent());
    dialog.setObjectName("promptPopup");
    dialog.setWindowTitle(qs(title));
    auto* layout = new QVBoxLayout(&dialog);
    auto* label = new QLabel(qs(message), &dialog);
    label->setWordWrap(true);
    layout->addWidget(label);
    auto* entry = new QLineEdit(&dialog);
    entry->setObjectName("promptPopupEntry");
    entry->setMinimumWidth(320);
    if (max_length > 0)
        entry->setMaxLength(max_length);
    layout->addWidget(entry);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    entry->setFocus(Qt::OtherFocusReason);
    if (dialog.exec() != QDialog::Accepted)
        return 0;
    response = entry->text().toStdString();
    return 1;
}

int QtPanelBackend::file_select_popup(const FileSelectRequest& request, std::string& path) {
    const QString directory =
        request.default_directory.empty()
            ? QString()
            : QString::fromStdString(platform_map_path(request.default_directory));
    QFileDialog dialog(popup_parent(), qs(request.title), directory);
    dialog.setObjectName("fileSelectPopup");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!request.allow_make_directory)
        dialog.setOption(QFileDialog::ReadOnly); // no "new folder"

    QStringList filter_patterns = patterns(request.file_type_list);
    const QString file_spec = qs(request.default_file_spec);
    if (is_pattern(file_spec) && !filter_patterns.contains(file_spec))
        filter_patterns.prepend(file_spec);
    QStringList filters;
    if (!filter_patterns.isEmpty())
        filters << QString("Files (%1)").arg(filter_patterns.join(' '));
    if (!request.restrict_extension || filters.isEmpty())
        filters << "All files (*)";
    dialog.setNameFilters(filters);
    if (!file_spec.isEmpty() && !is_pattern(file_spec))
        dialog.selectFile(file_spec);

    switch (request.button_label) {
    case VAL_LOAD_BUTTON:
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setLabelText(QFileDialog::Accept, "Load");
        break;
    case VAL_SAVE_BUTTON:
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setLabelText(QFileDialog::Accept, "Save");
        break;
    case VAL_SELECT_BUTTON:
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setLabelText(QFileDialog::Accept, "Select");
        break;
    default:
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setLabelText(QFileDialog::Accept, "OK");
        break;
    }
    if (request.restrict_directory && !directory.isEmpty())
        QObject::connect(&dialog, &QFileDialog::directoryEntered, &dialog,
                         [&dialog, directory](const QString& entered) {
                             if (QFileInfo(entered) != QFileInfo(directory))
                                 dialog.setDirectory(directory);
                         });
    if (!request.allow_cancel) {
        if (auto* box = dialog.findChild<QDialogButtonBox*>())
            if (QPushButton* cancel = box->button(QDialogButtonBox::Cancel))
                cancel->hide();
    }

    // Without a cancel the operator must choose a file.
    while (dialog.exec() != QDialog::Accepted)
        if (request.allow_cancel)
            return VAL_NO_FILE_SELECTED;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty())
        return VAL_NO_FILE_SELECTED;
    path = chosen.front().toStdString();
    return QFileInfo::exists(chosen.front()) ? VAL_EXISTING_FILE_SELECTED : VAL_NEW_FILE_SELECTED;
}
