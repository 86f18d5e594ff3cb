#include "windowing/prompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

#include "windowing/profile.h"

namespace windowing {

namespace {

class DesktopPrompts final : public Prompts {
public:
    void message_box(QWidget* owner, const QString& text) override {
        QMessageBox box(QMessageBox::Warning, program_name(), text, QMessageBox::Ok, owner);
        box.exec();
    }

    std::optional<QString> file_dialog(const FileRequest& request) override {
        QFileDialog dialog(request.owner);
        dialog.setAcceptMode(request.open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
        // The chosen file need not exist, even for opening.
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite,
                         (request.flags & overwrite_prompt) == 0 || request.open);
        dialog.setNameFilters(qt_name_filters(request.filter));
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
