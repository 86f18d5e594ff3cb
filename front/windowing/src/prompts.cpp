// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The real message box and file dialogs behind the prompts seam.
#include "windowing/prompts.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QMessageBox>
#include <QStringList>
#include <memory>

#include "windowing/profile.h"

namespace windowing {

namespace {

// The framework's file dialog: Qt's own (so that its texts come from Qt's
// translations and the read-only box can be added), honouring the flags.
class FileDialog final : public QFileDialog {
public:
    explicit FileDialog(const FileRequest& request)
        : QFileDialog(request.owner), flags_(request.flags) {
        setOption(QFileDialog::DontUseNativeDialog);
        setAcceptMode(request.open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
        setFileMode((flags_ & file_must_exist) != 0 ? QFileDialog::ExistingFile
                                                    : QFileDialog::AnyFile);
        setOption(QFileDialog::DontConfirmOverwrite,
                  (flags_ & overwrite_prompt) == 0 || request.open);
        setNameFilters(qt_name_filters(request.filter));
        if (!last_folder.isEmpty()) {
            setDirectory(last_folder);
        }
        if (request.open && (flags_ & hide_read_only) == 0) {
            // Shown, as the flags ask, and never looked at.
            auto box = std::make_unique<QCheckBox>(QStringLiteral("Schreibgeschützt öffnen"));
            box->setObjectName(QStringLiteral("readOnlyBox"));
            if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
                grid->addWidget(box.release(), grid->rowCount(), 0, 1, -1);  // the dialog owns it
            }
        }
    }

    void accept() override {
        const QStringList files = selectedFiles();
        if ((flags_ & path_must_exist) != 0 && !files.isEmpty()) {
            const QFileInfo chosen(files.constFirst());
            if (!chosen.isDir() && !chosen.absoluteDir().exists()) {
                // The dialog stays open for another name, as with a missing file.
                QMessageBox::warning(
                    this, windowTitle(),
                    QCoreApplication::translate(
                        "QFileDialog",
                        "%1\nDirectory not found.\nPlease verify the correct directory name "
                        "was given.")
                        .arg(chosen.absolutePath()));
                return;
            }
        }
        QFileDialog::accept();
        last_folder = directory().absolutePath();
    }

private:
    // The folder of the last dialog, for the next one in this run.
    static inline QString last_folder;
    unsigned flags_;
};

class DesktopPrompts final : public Prompts {
public:
    void message_box(QWidget* owner, const QString& text) override {
        QMessageBox box(QMessageBox::Warning, program_name(), text, QMessageBox::Ok, owner);
        box.exec();
    }

    std::optional<QString> file_dialog(const FileRequest& request) override {
        FileDialog dialog(request);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return std::nullopt;
        }
        return dialog.selectedFiles().constFirst();
    }
};

DesktopPrompts g_desktop;
Prompts* g_prompts = &g_desktop;

}  // namespace

Prompts& prompts() {
    return *g_prompts;
}

Prompts* set_prompts(Prompts* replacement) {
    Prompts* previous = g_prompts;
    g_prompts = replacement != nullptr ? replacement : &g_desktop;
    return previous;
}

void message_box(const QString& text) {
    QWidget* owner = QApplication::activeModalWidget();
    if (owner == nullptr) {
        owner = QApplication::activeWindow();
    }
    prompts().message_box(owner, text);
}

QStringList qt_name_filters(const QString& filter) {
    const QStringList pieces = filter.split(u'|');
    QStringList result;
    for (qsizetype i = 0; i + 1 < pieces.size(); i += 2) {
        if (pieces[i].isEmpty() && pieces[i + 1].isEmpty()) {
            break;
        }
        QStringList patterns = pieces[i + 1].split(u';', Qt::SkipEmptyParts);
        for (auto& pattern : patterns) {
            if (pattern.trimmed() == QLatin1String("*.*")) {
                pattern = QStringLiteral("*");
            }
        }
        result.append(pieces[i] + QStringLiteral(" (") + patterns.join(u' ') + u')');
    }
    return result;
}

}  // namespace windowing
