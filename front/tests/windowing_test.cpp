// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The windowing layer on a small dialog of its own.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <array>
#include <filesystem>

#include "profile/profile_file.h"
#include "test_support.h"
#include "windowing/data_exchange.h"
#include "windowing/dialog.h"
#include "windowing/profile.h"
#include "windowing/prompts.h"

using namespace windowing;

namespace {

constexpr auto form_controls = std::to_array<ControlTemplate>({
    {10, ControlKind::edit, "", 10, 10, 40, 12, border | tab_stop},
    {11, ControlKind::edit, "", 10, 30, 40, 12, border | tab_stop},
    {12, ControlKind::radio_button, "one", 60, 10, 40, 10, starts_group | tab_stop},
    {13, ControlKind::radio_button, "two", 60, 20, 40, 10, style_none},
    {14, ControlKind::radio_button, "three", 60, 30, 40, 10, style_none},
    {15, ControlKind::static_text, "", 10, 50, 90, 8, align_left},
    {no_id, ControlKind::group_box, "frame", 55, 0, 50, 45, style_none},
});

constexpr DialogTemplate form_template{1, "Form", "MS Sans Serif", 8, 120, 70, true, form_controls};

class Form : public CDialog {
public:
    Form() : CDialog(form_template, nullptr) {}
    std::uint32_t count = 7;
    std::uint8_t delay = 5;
    int choice = 1;
    QString note = QStringLiteral("note");

protected:
    void ExchangeFields(DataExchange& dx) override {
        exchange_number(dx, 10, count);
        validate_range(dx, count, 0, 100);
        exchange_number(dx, 11, delay);
        validate_range(dx, delay, 1, 255);
        exchange_radio(dx, 12, choice);
        exchange_text(dx, 15, note);
    }
};

class Windowing : public ::testing::Test {
protected:
    Form& open() {
        form_.Create();
        return form_;
    }
    QLineEdit* edit(int id) { return qobject_cast<QLineEdit*>(form_.GetDlgItem(id)); }
    QRadioButton* radio(int id) { return qobject_cast<QRadioButton*>(form_.GetDlgItem(id)); }
    void type(int id, const char* text) {
        edit(id)->clear();
        QTest::keyClicks(edit(id), QString::fromLatin1(text));
    }

    testing_support::ScriptedPrompts prompts_;
    Form form_;
};

TEST_F(Windowing, ControlsSitAtTheirTemplateRectangles) {
    Form& form = open();
    const DialogUnits& units = form.units();
    EXPECT_GT(units.char_width(), 3.0);
    EXPECT_EQ(form.size(), QSize(units.to_x(120), units.to_y(70)));
    EXPECT_EQ(edit(11)->geometry(), units.to_pixels(10, 30, 40, 12));
    // A dialog unit is a quarter of the average character width, an eighth of its height.
    const DialogUnits exact(6.0, 13);
    EXPECT_EQ(exact.to_pixels(4, 8, 40, 16), QRect(6, 13, 60, 26));
}

TEST_F(Windowing, WritingShowsEveryField) {
    open();
    EXPECT_EQ(edit(10)->text(), QStringLiteral("7"));
    EXPECT_EQ(edit(11)->text(), QStringLiteral("5"));
    EXPECT_TRUE(radio(13)->isChecked());
    EXPECT_EQ(qobject_cast<QLabel*>(form_.GetDlgItem(15))->text(), QStringLiteral("note"));
    form_.choice = -1;
    form_.UpdateData(false);
    EXPECT_FALSE(radio(12)->isChecked() || radio(13)->isChecked() || radio(14)->isChecked());
    EXPECT_TRUE(form_.UpdateData(true));
    EXPECT_EQ(form_.choice, -1);
}

TEST_F(Windowing, ReadingTakesTheTypedValues) {
    open();
    type(10, " 42 ");
    type(11, "+200");
    QTest::mouseClick(radio(14), Qt::LeftButton);
    EXPECT_TRUE(form_.UpdateData(true));
    EXPECT_EQ(form_.count, 42u);
    EXPECT_EQ(form_.delay, 200);
    EXPECT_EQ(form_.choice, 2);
    EXPECT_TRUE(prompts_.messages.empty());
}

TEST_F(Windowing, FirstFailureStopsTheExchange) {
    open();
    type(10, "abc");
    type(11, "9");
    QTest::mouseClick(radio(12), Qt::LeftButton);
    EXPECT_FALSE(form_.UpdateData(true));
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0],
              QStringLiteral("Geben Sie bitte eine positive ganze Zahl ein."));
    EXPECT_EQ(form_.count, 7u);
    EXPECT_EQ(form_.delay, 5);  // never read
    EXPECT_EQ(form_.choice, 1);
    EXPECT_EQ(form_.focusWidget(), edit(10));
    EXPECT_EQ(edit(10)->selectedText(), QStringLiteral("abc"));
}

TEST_F(Windowing, RangeFailureKeepsTheNumberRead) {
    open();
    type(10, "150");
    EXPECT_FALSE(form_.UpdateData(true));
    EXPECT_EQ(form_.count, 150u);
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0],
              QStringLiteral("Geben Sie bitte eine ganze Zahl zwischen 0 und 100 ein."));

    prompts_.messages.clear();
    type(10, "1");
    type(11, "256");
    EXPECT_FALSE(form_.UpdateData(true));
    EXPECT_EQ(form_.delay, 5);
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0],
              QStringLiteral("Geben Sie bitte eine ganze Zahl zwischen 0 und 255 ein."));
    EXPECT_EQ(form_.focusWidget(), edit(11));
}

TEST_F(Windowing, EnterConfirmsOnlyValidFieldsAndEscapeCancels) {
    open();
    type(10, "x");
    QTest::keyClick(edit(11), Qt::Key_Return);
    EXPECT_TRUE(form_.isVisible());
    type(10, "3");
    QTest::keyClick(edit(11), Qt::Key_Return);
    EXPECT_FALSE(form_.isVisible());
    EXPECT_EQ(form_.result(), IDOK);
    EXPECT_EQ(form_.count, 3u);

    Form other;
    other.Create();
    QTest::keyClick(&other, Qt::Key_Escape);
    EXPECT_FALSE(other.isVisible());
    EXPECT_EQ(other.result(), IDCANCEL);
}

TEST_F(Windowing, MenuKeyOpensTheSystemMenuWhoseCloseEndsTheDialog) {
    open();
    QStringList texts;
    testing_support::when_up<QMenu>([&](QMenu* menu) {
        for (const QAction* action : menu->actions()) {
            texts.append(action->text());
        }
        menu->actions().first()->trigger();
        menu->close();
    });
    QTest::keyClick(edit(10), Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_EQ(texts, QStringList{QString::fromUtf8("Schl&ießen")});
    EXPECT_FALSE(form_.isVisible());
    EXPECT_EQ(form_.result(), IDCANCEL);
}

TEST_F(Windowing, TabEntersARadioGroupOnItsCheckedButton) {
    open();
    form_.activateWindow();  // the arrow keys act on the application's focus
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form_));
    ASSERT_TRUE(radio(13)->isChecked());
    edit(11)->setFocus();
    QTest::keyClick(edit(11), Qt::Key_Tab);
    EXPECT_EQ(form_.focusWidget(), radio(13));
    QTest::keyClick(radio(13), Qt::Key_Tab);  // leaves the group at once
    EXPECT_EQ(form_.focusWidget(), edit(10));
    QTest::keyClick(edit(10), Qt::Key_Backtab);
    EXPECT_EQ(form_.focusWidget(), radio(13));
    EXPECT_TRUE(radio(13)->isChecked());  // entering switched nothing

    // The arrow keys move and check inside the group; Tab then enters on the new one.
    QTest::keyClick(radio(13), Qt::Key_Down);
    EXPECT_EQ(form_.focusWidget(), radio(14));
    EXPECT_TRUE(radio(14)->isChecked());
    edit(11)->setFocus();
    QTest::keyClick(edit(11), Qt::Key_Tab);
    EXPECT_EQ(form_.focusWidget(), radio(14));

    // With none checked, Tab enters on the first.
    form_.choice = -1;
    form_.UpdateData(false);
    edit(11)->setFocus();
    QTest::keyClick(edit(11), Qt::Key_Tab);
    EXPECT_EQ(form_.focusWidget(), radio(12));
}

TEST(FileFilter, BecomesQtNameFilters) {
    EXPECT_EQ(
        qt_name_filters(QStringLiteral("rom-files |*.rom|bin-files|*.bin|All Files (*.*) |*.*|")),
        (QStringList{QStringLiteral("rom-files  (*.rom)"), QStringLiteral("bin-files (*.bin)"),
                     QStringLiteral("All Files (*.*)  (*)")}));
}

TEST(MessageBox, HasTheProgramNameExclamationAndOneButton) {
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    qsizetype buttons = 0;
    QString text;
    testing_support::when_up<QMessageBox>([&](QMessageBox* box) {
        title = box->windowTitle();
        icon = box->icon();
        buttons = box->buttons().size();
        text = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    message_box(QStringLiteral("buffer empty !"));
    EXPECT_EQ(title, QStringLiteral("quillon_front_tests"));
    EXPECT_EQ(title, program_name());
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(buttons, 1);
    EXPECT_EQ(text, QStringLiteral("buffer empty !"));
}

TEST(Profile, LivesInTheConfigFolderAndReadsLikeThePlatform) {
    testing_support::remove_profile();
    EXPECT_EQ(profile_path(),
              qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/quillon_front_tests.INI"));
    EXPECT_EQ(read_profile().delay, 10);
    testing_support::write_profile("[section]\nDelay=  12abc\nPort=abc\nOther=1,2\n");
    EXPECT_EQ(read_profile().delay, 12);
    EXPECT_EQ(read_profile().port_index, 0);
    const std::filesystem::path file = profile_path().toStdString();
    EXPECT_EQ(quillon::profile::get_int(file, "section", "Other", 5), 1);
    EXPECT_EQ(quillon::profile::get_int(file, "other", "Delay", 3), 3);
}

TEST(Profile, WritingCreatesFolderAndFile) {
    testing_support::ScratchFolder scratch;
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", scratch.file("new/folder").toUtf8());
    EXPECT_TRUE(write_profile({2, 42}));
    QFile file(profile_path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("[section]\nDelay=42\nPort=2\n"));
    qputenv("XDG_CONFIG_HOME", saved);
}

}  // namespace
