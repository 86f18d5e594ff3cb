// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The framework's file dialogs as the user meets them: German texts, the flags
// honoured, and nothing of theirs left in the config folder.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>

#include "test_support.h"
#include "windowing/prompts.h"

using namespace windowing;
using testing_support::when_up;

namespace {

const QString filter = QStringLiteral("rom-files |*.rom|bin-files|*.bin|All Files (*.*) |*.*|");

class FileDialogs : public ::testing::Test {
protected:
    // The real dialogs, not a test's script.
    FileDialogs() : previous_(set_prompts(nullptr)) {}
    ~FileDialogs() override { set_prompts(previous_); }

    std::optional<QString> run(bool open, unsigned flags) {
        return prompts().file_dialog({open, filter, flags, nullptr});
    }
    static QLineEdit* name_field(QFileDialog* dialog) {
        return dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    }
    // Types `name` and presses Enter; a message box that comes up is answered
    // with `answer` and its text kept; a dialog still open afterwards is cancelled.
    std::optional<QString> choose(bool open, unsigned flags, const QString& name,
                                  QMessageBox::StandardButton answer = QMessageBox::Ok) {
        when_up<QFileDialog>([this, name, answer](QFileDialog* dialog) {
            title = dialog->windowTitle();
            auto* box = dialog->findChild<QCheckBox*>(QStringLiteral("readOnlyBox"));
            read_only_box = box != nullptr && box->isVisibleTo(dialog) ? box->text() : QString();
            name_field(dialog)->setText(name);
            QTimer::singleShot(300, dialog, [this, dialog] {
                stayed_open = dialog->isVisible();
                dialog->reject();
            });
            QTimer::singleShot(5, [this, answer] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                    message = box->text();
                    box->button(answer)->click();
                }
            });
            QTest::keyClick(name_field(dialog), Qt::Key_Return);
        });
        return run(open, flags);
    }

    QString title;
    QString read_only_box;
    QString message;
    bool stayed_open = false;
    testing_support::ScratchFolder scratch_;

private:
    Prompts* previous_;
};

TEST_F(FileDialogs, SaveRefusesAMissingFolderAndStaysOpen) {
    const QString missing = scratch_.file("no-such-folder/x.bin");
    EXPECT_EQ(choose(false, overwrite_prompt | path_must_exist, missing), std::nullopt);
    EXPECT_EQ(title, QStringLiteral("Speichern unter"));
    EXPECT_TRUE(message.contains(QStringLiteral("Das Verzeichnis konnte nicht gefunden werden")))
        << message.toStdString();
    EXPECT_TRUE(stayed_open);
    EXPECT_TRUE(read_only_box.isEmpty());  // only the open dialog has one
}

TEST_F(FileDialogs, SaveAsksBeforeReplacingAFile) {
    const QString existing = scratch_.file("old.bin");
    testing_support::write_bytes(existing, {1, 2, 3});
    EXPECT_EQ(choose(false, overwrite_prompt | path_must_exist, existing, QMessageBox::No),
              std::nullopt);
    EXPECT_TRUE(message.contains(QStringLiteral("existiert bereits"))) << message.toStdString();
    EXPECT_TRUE(stayed_open);

    message.clear();
    EXPECT_EQ(choose(false, overwrite_prompt | path_must_exist, existing, QMessageBox::Yes),
              std::optional(existing));
    EXPECT_FALSE(message.isEmpty());
}

TEST_F(FileDialogs, SaveTakesANewFileInAnExistingFolder) {
    const QString fresh = scratch_.file("new.bin");
    EXPECT_EQ(choose(false, overwrite_prompt | path_must_exist, fresh), std::optional(fresh));
    EXPECT_TRUE(message.isEmpty());
}

TEST_F(FileDialogs, OpenShowsTheReadOnlyBoxAndHonoursFileMustExist) {
    const QString missing = scratch_.file("missing.bin");
    // Without the flag the name need not exist.
    EXPECT_EQ(choose(true, overwrite_prompt, missing), std::optional(missing));
    EXPECT_EQ(title, QString::fromUtf8("Öffnen"));
    EXPECT_EQ(read_only_box, QString::fromUtf8("Schreibgeschützt öffnen"));

    EXPECT_EQ(choose(true, file_must_exist, missing), std::nullopt);
    EXPECT_TRUE(message.contains(QStringLiteral("Die Datei konnte nicht gefunden werden")))
        << message.toStdString();
    EXPECT_TRUE(stayed_open);

    EXPECT_EQ(choose(true, overwrite_prompt | hide_read_only, missing), std::optional(missing));
    EXPECT_TRUE(read_only_box.isEmpty());
}

TEST_F(FileDialogs, LeaveNothingInTheConfigFolder) {
    EXPECT_EQ(choose(true, overwrite_prompt, scratch_.file("a.bin")),
              std::optional(scratch_.file("a.bin")));
    const QDir config(qEnvironmentVariable("XDG_CONFIG_HOME"));
    EXPECT_FALSE(config.exists(QStringLiteral("QtProject.conf")));
    const QStringList left = config.entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    for (const QString& name : left) {
        EXPECT_TRUE(name.endsWith(QStringLiteral(".INI"))) << name.toStdString();
    }
}

}  // namespace
