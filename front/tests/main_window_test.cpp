// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The main window driven through its real controls on the simulated board.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <memory>

#include "about_box_dlg.h"
#include "board_status.h"
#include "buffer_view_dlg.h"
#include "quillon_dlg.h"
#include "quillon_test/param_name.h"
#include "resource_ids.h"
#include "test_support.h"
#include "vandrel.h"
#include "windowing/profile.h"

using namespace quillon;
using namespace testing_support;

namespace {

const QString msg_positive = QStringLiteral("Geben Sie bitte eine positive ganze Zahl ein.");
const QString msg_size_range =
    QStringLiteral("Geben Sie bitte eine ganze Zahl zwischen 0 und 32768 ein.");

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        remove_profile();
        set_Port(1);
        set_delay(1);
    }

    CQuillonDlg& open() {
        dlg_ = std::make_unique<CQuillonDlg>();
        dlg_->Create();
        windowing::set_main_window(dlg_.get());
        return *dlg_;
    }
    void close_window() { dlg_.reset(); }

    template <class Widget>
    Widget* item(int id) {
        auto* widget = qobject_cast<Widget*>(dlg_->GetDlgItem(id));
        EXPECT_NE(widget, nullptr) << id;
        return widget;
    }
    void click(int id) { QTest::mouseClick(item<QAbstractButton>(id), Qt::LeftButton); }
    void type(int id, const QString& text) {
        auto* edit = item<QLineEdit>(id);
        edit->clear();
        QTest::keyClicks(edit, text);
    }
    // The status line's text; one cut to fit is there whole on hover.
    QString status() {
        auto* label = item<QLabel>(IDC_STATUS);
        return label->toolTip().isEmpty() ? label->text() : label->toolTip();
    }
    QString field(int id) { return item<QLineEdit>(id)->text(); }
    int bar() { return item<QProgressBar>(IDC_PROGRESS)->value(); }
    bool checked(int id) { return item<QRadioButton>(id)->isChecked(); }

    // Loads `bytes` through the "load file" command.
    void load(const std::vector<std::uint8_t>& bytes, const char* name = "image.bin") {
        const QString path = scratch_.file(name);
        write_bytes(path, bytes);
        prompts_.answers.push_back(path);
        click(IDC_LOAD_FILE);
    }
    std::vector<std::uint8_t> buffer() { return {getBuffer(), getBuffer() + get_bufsize()}; }

    ScratchFolder scratch_;
    ScriptedPrompts prompts_;
    std::unique_ptr<CQuillonDlg> dlg_;
};

// The library's buffer is empty only in a fresh process; ctest runs every test in
// its own, and this one comes first when the whole file runs in one.
TEST_F(MainWindow, EmptyBufferRefusesUploadAndView) {
    if (get_bufsize() != 0) {
        GTEST_SKIP() << "the buffer was filled by an earlier test in this process";
    }
    open();
    click(IDC_UPLOAD);
    EXPECT_EQ(status(), QStringLiteral("please load into buffer at first"));
    EXPECT_EQ(bar(), 0);
    EXPECT_EQ(field(IDC_SIZE), QStringLiteral("0"));
    click(IDC_VIEW);
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0], QStringLiteral("buffer empty !"));
}

TEST_F(MainWindow, FirstStartWithoutProfile) {
    CQuillonDlg& dlg = open();
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Quillon"));
    EXPECT_EQ(status(), QStringLiteral("ready (simulated board)"));  // the tests' board
    EXPECT_EQ(field(IDC_SIZE), QStringLiteral("0"));
    EXPECT_EQ(field(IDC_DELAY), QStringLiteral("10"));
    EXPECT_TRUE(checked(IDC_PORT_378));
    EXPECT_FALSE(checked(IDC_PORT_278));
    EXPECT_EQ(get_delay(), 10);
    EXPECT_EQ(set_Port(3), 0x378);
    EXPECT_EQ(bar(), 0);
    close_window();
    EXPECT_EQ(profile_value("Delay"), QStringLiteral("10"));
    EXPECT_EQ(profile_value("Port"), QStringLiteral("1"));
}

struct BoardCase {
    board_query::Reach reach;
    const char* reason;
    const char* status;
};

class StartStatus : public ::testing::TestWithParam<BoardCase> {};

TEST_P(StartStatus, TellsWhichBoardThePortReaches) {
    const BoardCase& c = GetParam();
    EXPECT_EQ(board_status(board_query::Board{c.reach, c.reason}), QString::fromUtf8(c.status));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, StartStatus,
    ::testing::Values(BoardCase{board_query::Reach::simulated, "simulated board, RAM in /x",
                                "ready (simulated board)"},
                      BoardCase{board_query::Reach::port, "ppdev /dev/parport0", "ready"},
                      BoardCase{board_query::Reach::port, "direct I/O", "ready"},
                      BoardCase{board_query::Reach::none,
                                "port 0x378: no /dev/parport0; run sudo modprobe ppdev\n",
                                "port 0x378: no /dev/parport0; run sudo modprobe ppdev"},
                      BoardCase{board_query::Reach::none, "", "no board can be reached"}),
    quillon_test::name_from([](const BoardCase& c) { return c.reason; }));

// Without a reachable port the status line gives the layer's reason, cut to
// the line's width with the whole text on hover; the window still works.
TEST_F(MainWindow, WithoutABoardTheStatusLineSaysWhy) {
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";  // a fresh process
    EXPECT_EXIT(
        {
            // The layer reads its settings once, at the first port it serves.
            ::setenv("DLPORTIO_BACKEND", "ppdev", 1);
            ::setenv("DLPORTIO_DEVICE", "/nonexistent/parport9", 1);
            open();
            const board_query::Board board = board_query::board_at(0x378);
            const bool no_board = board.reach == board_query::Reach::none;
            auto* label = item<QLabel>(IDC_STATUS);
            const QString expected = QString::fromLocal8Bit(board.text.c_str()).trimmed();
            const bool whole_text_kept = dlg_->m_status == expected && !expected.isEmpty();
            const bool fits =
                label->fontMetrics().horizontalAdvance(label->text()) <= label->width();
            const bool hover_tells_all = label->toolTip() == expected || label->text() == expected;
            dlg_->UpdateData(true);  // reading the line back gives the whole text
            const bool read_back = dlg_->m_status == expected;
            // At once: Qt's caches left at exit are not this test's concern.
            std::_Exit(no_board && whole_text_kept && fits && hover_tells_all && read_back ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

// A port that fails in the middle of a transfer (fake_ppdev_calls.cpp, linked
// in): the status line gives the system's reason, not the transfer's result.
TEST_F(MainWindow, APortThatStopsAnsweringIsNoSuccess) {
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";  // a fresh process
    EXPECT_EXIT(
        {
            ::setenv("DLPORTIO_BACKEND", "ppdev", 1);
            ::setenv("DLPORTIO_DEVICE", "/fake/parport0", 1);
            ::setenv("FAKE_PPDEV_FAIL_AFTER", "3000", 1);
            open();
            load(random_bytes(64, 9));
            click(IDC_UPLOAD);
            const QString uploaded = status();
            click(IDC_DOWNLOAD);
            const QString stopped = QStringLiteral("the port stopped answering: No such device");
            std::_Exit(uploaded == stopped && status() == stopped ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(MainWindow, StoredSettingsGoThroughTheLibrary) {
    write_profile("[section]\nDelay=0\nPort=2\n");
    set_delay(7);
    open();
    // The library refuses 0 and keeps its own delay, which the field then shows.
    EXPECT_EQ(field(IDC_DELAY), QStringLiteral("7"));
    EXPECT_TRUE(checked(IDC_PORT_3BC));
    EXPECT_EQ(set_Port(3), 0x3BC);
    close_window();
    EXPECT_EQ(profile_value("Delay"), QStringLiteral("7"));
    EXPECT_EQ(profile_value("Port"), QStringLiteral("2"));

    write_profile("[section]\nDelay=266\nPort=7\n");
    set_Port(1);
    open();
    EXPECT_EQ(field(IDC_DELAY), QStringLiteral("10"));
    EXPECT_TRUE(checked(IDC_PORT_378));
    close_window();
    EXPECT_EQ(profile_value("Port"), QStringLiteral("1"));
}

TEST_F(MainWindow, AHandEditedProfileKeepsItsLinesAndComments) {
    write_profile("; my bench board\n[Section]\nport = 2 ; the card\ndelay=20\n[mine]\nx=1\n");
    open();
    EXPECT_EQ(field(IDC_DELAY), QStringLiteral("20"));
    EXPECT_TRUE(checked(IDC_PORT_3BC));
    click(IDC_PORT_278);
    close_window();
    QFile file(windowing::profile_path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(),
              QByteArray("; my bench board\n[Section]\nport = 0\ndelay=20\n[mine]\nx=1\n"));
}

TEST_F(MainWindow, EnterConfirmsAndStoresTheTypedDelay) {
    CQuillonDlg& dlg = open();
    type(IDC_DELAY, QStringLiteral("77"));
    QTest::keyClick(item<QLineEdit>(IDC_DELAY), Qt::Key_Return);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), windowing::IDOK);
    EXPECT_EQ(get_delay(), 10);  // typed, never applied
    close_window();
    EXPECT_EQ(profile_value("Delay"), QStringLiteral("77"));
}

TEST_F(MainWindow, EnterWithAnInvalidFieldKeepsTheWindowOpen) {
    CQuillonDlg& dlg = open();
    type(IDC_SIZE, QStringLiteral("abc"));
    QTest::keyClick(item<QLineEdit>(IDC_DELAY), Qt::Key_Enter);
    EXPECT_TRUE(dlg.isVisible());
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0], msg_positive);
}

TEST_F(MainWindow, CloseCommandEndsWithoutReadingTheFields) {
    CQuillonDlg& dlg = open();
    type(IDC_DELAY, QStringLiteral("77"));
    dlg.close();  // the close box
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), windowing::IDCANCEL);
    close_window();
    EXPECT_EQ(profile_value("Delay"), QStringLiteral("10"));
    EXPECT_EQ(profile_value("Port"), QStringLiteral("1"));
}

TEST_F(MainWindow, EscapeNeverClosesTheWindow) {
    CQuillonDlg& dlg = open();
    QTest::keyClick(item<QLineEdit>(IDC_SIZE), Qt::Key_Escape);
    QTest::keyClick(item<QLineEdit>(IDC_DELAY), Qt::Key_Escape);
    QTest::keyClick(item<QPushButton>(IDC_UPLOAD), Qt::Key_Escape);
    QTest::keyClick(&dlg, Qt::Key_Escape);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), 0);
}

TEST_F(MainWindow, EnterOnAPushButtonRunsThatButton) {
    CQuillonDlg& dlg = open();
    auto* reset_button = item<QPushButton>(IDC_RESET_UC);
    reset_button->setFocus();
    QTest::keyClick(reset_button, Qt::Key_Return);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(status(), QStringLiteral("reset the uc"));
}

TEST_F(MainWindow, LoadShowsSizeChecksumAndFileName) {
    CQuillonDlg& dlg = open();
    load(image_with_sum(2048, 0x1A2B), "first.rom");
    EXPECT_EQ(status(), QStringLiteral("loaded 2048 bytes [1A2B]"));
    EXPECT_EQ(field(IDC_SIZE), QStringLiteral("2048"));
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("first.rom"));
    EXPECT_EQ(bar(), 0);
    ASSERT_EQ(prompts_.requests.size(), 1u);
    EXPECT_TRUE(prompts_.requests[0].open);
    EXPECT_EQ(prompts_.requests[0].flags, 0x2u);
    EXPECT_EQ(prompts_.requests[0].filter,
              QStringLiteral("rom-files |*.rom|bin-files|*.bin|All Files (*.*) |*.*|"));

    load(image_with_sum(2048, 0xAB), "second.bin");
    EXPECT_EQ(status(), QStringLiteral("loaded 2048 bytes [AB]"));
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("second.bin"));
}

TEST_F(MainWindow, FailedLoadShowsTheLibraryText) {
    CQuillonDlg& dlg = open();
    load(random_bytes(1000, 1));
    click(IDC_UPLOAD);
    ASSERT_EQ(bar(), 100);
    const QString missing = scratch_.file("missing.bin");
    prompts_.answers.push_back(missing);
    click(IDC_LOAD_FILE);
    EXPECT_EQ(status(), QStringLiteral("error: can't open ") + missing);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("image.bin"));
    EXPECT_EQ(field(IDC_SIZE), QStringLiteral("1000"));
    EXPECT_EQ(bar(), 0);
}

TEST_F(MainWindow, CancelledFileDialogsChangeNothing) {
    CQuillonDlg& dlg = open();
    load(random_bytes(500, 2));
    click(IDC_UPLOAD);
    const QString before = status();
    type(IDC_SIZE, QStringLiteral("12"));
    prompts_.answers.push_back(std::nullopt);
    click(IDC_LOAD_FILE);
    prompts_.answers.push_back(std::nullopt);
    click(IDC_WRITE_FILE);
    EXPECT_EQ(status(), before);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("image.bin"));
    EXPECT_EQ(bar(), 100);
    EXPECT_EQ(field(IDC_SIZE), QStringLiteral("12"));
    ASSERT_EQ(prompts_.requests.size(), 3u);
    EXPECT_FALSE(prompts_.requests[2].open);
    EXPECT_EQ(prompts_.requests[2].flags, 0x802u);
}

TEST_F(MainWindow, SaveWritesTheBufferAndNamesTheFile) {
    CQuillonDlg& dlg = open();
    const auto bytes = random_bytes(300, 3);
    load(bytes);
    type(IDC_SIZE, QStringLiteral("5"));
    const QString target = scratch_.file("saved.rom");
    prompts_.answers.push_back(target);
    click(IDC_WRITE_FILE);
    EXPECT_EQ(status(), QStringLiteral("write 300 to file [") +
                            QString::number(image_checksum(bytes), 16).toUpper() + u']');
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("saved.rom"));
    EXPECT_EQ(field(IDC_SIZE), QStringLiteral("300"));  // the typed 5 was never read
    QFile saved(target);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray content = saved.readAll();
    EXPECT_EQ(std::vector<std::uint8_t>(content.begin(), content.end()), bytes);
}

TEST_F(MainWindow, UploadAndDownloadRoundTripThroughTheBoard) {
    open();
    const auto sent = random_bytes(3000, 4);
    load(sent);
    click(IDC_UPLOAD);
    const QString sum = QString::number(image_checksum(sent), 16).toUpper();
    EXPECT_EQ(status(), QStringLiteral("write 3000 to RAM [") + sum + u']');
    EXPECT_EQ(bar(), 100);
    EXPECT_EQ(field(IDC_SIZE), QStringLiteral("3000"));

    load(random_bytes(100, 5));  // something else in the buffer
    type(IDC_SIZE, QStringLiteral("3000"));
    click(IDC_DOWNLOAD);
    EXPECT_EQ(status(), QStringLiteral("read 3000 from RAM [") + sum + u']');
    EXPECT_EQ(bar(), 100);
    EXPECT_EQ(buffer(), sent);
    EXPECT_TRUE(prompts_.messages.empty());
}

// Records what the status line showed each time it was painted.
class PaintLog : public QObject {
public:
    explicit PaintLog(QLabel* label) : label_(label) { label->installEventFilter(this); }
    std::vector<QString> texts;
    int progress_at_paint = -1;  // the bar's position at the last paint
    QProgressBar* bar = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == label_ && event->type() == QEvent::Paint) {
            texts.push_back(label_->text());
            progress_at_paint = bar != nullptr ? bar->value() : -1;
        }
        return false;
    }

private:
    QLabel* label_;
};

// Clicks made during a transfer are dropped, not run once it ends; the window
// goes on painting meanwhile, and shows the result before the reset.
TEST_F(MainWindow, TransfersDropInputAndKeepPainting) {
    CQuillonDlg& dlg = open();
    const auto sent = random_bytes(4096, 8);
    load(sent);
    PaintLog paints(item<QLabel>(IDC_STATUS));
    paints.bar = item<QProgressBar>(IDC_PROGRESS);
    int bar_when_clicked = -1;
    // Runs at the transfer's first progress report: the user clicks "reset uC" and
    // the status line is due for painting.
    QTimer::singleShot(0, &dlg, [&] {
        bar_when_clicked = bar();
        item<QLabel>(IDC_STATUS)->setText(QStringLiteral("during"));
        QTest::mouseClick(item<QAbstractButton>(IDC_RESET_UC), Qt::LeftButton);
    });
    click(IDC_UPLOAD);
    const QString result = QStringLiteral("write 4096 to RAM [") +
                           QString::number(image_checksum(sent), 16).toUpper() + u']';
    EXPECT_GE(bar_when_clicked, 0);
    EXPECT_LT(bar_when_clicked, 100);
    // Painted while the transfer still ran.
    EXPECT_NE(std::find(paints.texts.begin(), paints.texts.end(), QStringLiteral("during")),
              paints.texts.end());
    // The result was painted before the command ended with its reset.
    ASSERT_FALSE(paints.texts.empty());
    EXPECT_EQ(paints.texts.back(), result);
    // The click was dropped: no reset ran after the upload.
    QApplication::processEvents();
    EXPECT_EQ(status(), result);

    // The same for a download, which reads its fields first.
    paints.texts.clear();
    type(IDC_SIZE, QStringLiteral("2048"));
    QTimer::singleShot(
        0, &dlg, [&] { QTest::mouseClick(item<QAbstractButton>(IDC_RESET_UC), Qt::LeftButton); });
    click(IDC_DOWNLOAD);
    ASSERT_FALSE(paints.texts.empty());
    EXPECT_TRUE(paints.texts.back().startsWith(QStringLiteral("read 2048 from RAM [")));
    QApplication::processEvents();
    EXPECT_TRUE(status().startsWith(QStringLiteral("read 2048 from RAM [")));
}

TEST_F(MainWindow, DownloadOfZeroIsRefusedByTheLibrary) {
    open();
    load(random_bytes(64, 6));
    type(IDC_SIZE, QStringLiteral("0"));
    click(IDC_DOWNLOAD);
    EXPECT_EQ(status(), QStringLiteral("please give a valid read-size"));
    EXPECT_TRUE(prompts_.messages.empty());
}

// Invalid input ends the download after its message: no transfer, buffer and
// status line as they were, the field kept for correcting.
TEST_F(MainWindow, InvalidReadSizeDownloadsNothing) {
    CQuillonDlg& dlg = open();
    const auto image = random_bytes(64, 7);
    load(image);
    const QString before = status();
    const std::pair<const char*, const QString*> cases[] = {
        {"40000", &msg_size_range}, {"65537", &msg_size_range}, {"abc", &msg_positive},
        {"-5", &msg_positive},      {"", &msg_positive},
    };
    for (const auto& [text, message] : cases) {
        prompts_.messages.clear();
        type(IDC_SIZE, QString::fromLatin1(text));
        click(IDC_DOWNLOAD);
        ASSERT_EQ(prompts_.messages.size(), 1u) << text;
        EXPECT_EQ(prompts_.messages[0], *message) << text;
        EXPECT_EQ(status(), before) << text;
        EXPECT_EQ(buffer(), image) << text;
        EXPECT_EQ(field(IDC_SIZE), QString::fromLatin1(text));
        auto* size = item<QLineEdit>(IDC_SIZE);
        EXPECT_EQ(dlg.focusWidget(), size) << text;
        EXPECT_EQ(size->selectedText(), size->text()) << text;
    }
}

TEST_F(MainWindow, SetDelayAppliesAndReports) {
    open();
    type(IDC_DELAY, QStringLiteral("25"));
    click(IDC_SET_DELAY);
    EXPECT_EQ(get_delay(), 25);
    EXPECT_EQ(status(), QStringLiteral("set deley-value to 25"));
    EXPECT_TRUE(prompts_.messages.empty());
}

TEST_F(MainWindow, SetDelayOfZeroIsRefusedYetStored) {
    CQuillonDlg& dlg = open();
    type(IDC_DELAY, QStringLiteral("0"));
    click(IDC_SET_DELAY);
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0],
              QStringLiteral("Geben Sie bitte eine ganze Zahl zwischen 1 und 255 ein."));
    EXPECT_EQ(get_delay(), 10);
    EXPECT_EQ(status(), QStringLiteral("set deley-value to 10"));
    EXPECT_EQ(field(IDC_DELAY), QStringLiteral("0"));
    dlg.close();
    close_window();
    EXPECT_EQ(profile_value("Delay"), QStringLiteral("0"));
}

TEST_F(MainWindow, SetDelayAbove255KeepsThePreviousDelay) {
    open();
    type(IDC_DELAY, QStringLiteral("300"));
    click(IDC_SET_DELAY);
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0],
              QStringLiteral("Geben Sie bitte eine ganze Zahl zwischen 0 und 255 ein."));
    EXPECT_EQ(status(), QStringLiteral("set deley-value to 10"));
    EXPECT_EQ(field(IDC_DELAY), QStringLiteral("10"));
}

TEST_F(MainWindow, SetDelayWithAnInvalidReadSizeNeverReadsTheDelay) {
    open();
    type(IDC_SIZE, QStringLiteral("x"));
    type(IDC_DELAY, QStringLiteral("99"));
    click(IDC_SET_DELAY);
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0], msg_positive);
    EXPECT_EQ(get_delay(), 10);
    EXPECT_EQ(status(), QStringLiteral("set deley-value to 10"));
}

TEST_F(MainWindow, PortButtonsSelectThePort) {
    open();
    click(IDC_PORT_278);
    EXPECT_EQ(status(), QStringLiteral("select port 278h"));
    EXPECT_EQ(set_Port(3), 0x278);
    click(IDC_PORT_3BC);
    EXPECT_EQ(status(), QStringLiteral("select port 3BCh"));
    EXPECT_EQ(set_Port(3), 0x3BC);
    EXPECT_TRUE(checked(IDC_PORT_3BC));
    EXPECT_FALSE(checked(IDC_PORT_278));
}

TEST_F(MainWindow, PortButtonWithAnInvalidReadSizeKeepsThePort) {
    open();
    type(IDC_SIZE, QStringLiteral("abc"));
    click(IDC_PORT_3BC);
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0], msg_positive);
    EXPECT_EQ(set_Port(3), 0x378);
    EXPECT_EQ(status(), QStringLiteral("select port 378h"));
    EXPECT_TRUE(checked(IDC_PORT_378));
    EXPECT_FALSE(checked(IDC_PORT_3BC));
}

TEST_F(MainWindow, ProgressCallbackTurnsBytesIntoPercent) {
    open();
    CQuillonDlg::ProgressCallback(20, 40);
    EXPECT_EQ(bar(), 50);
    CQuillonDlg::ProgressCallback(5, 0);  // no total: the bar stays
    EXPECT_EQ(bar(), 50);
    CQuillonDlg::ProgressCallback(0, 7);
    EXPECT_EQ(bar(), 0);
    CQuillonDlg::ProgressCallback(1, 3);
    EXPECT_EQ(bar(), 33);
    CQuillonDlg::ProgressCallback(20, 20);
    EXPECT_EQ(bar(), 100);
    CQuillonDlg::ProgressCallback(32767, 32768);
    EXPECT_EQ(bar(), 99);
    CQuillonDlg::ProgressCallback(65535, 65535);  // the product needs 32 bits
    EXPECT_EQ(bar(), 100);
}

TEST_F(MainWindow, ViewShowsTheBufferAndStartsAtTheFirstPage) {
    open();
    std::vector<std::uint8_t> image(300, 0x41);
    load(image);
    QString first_pos;
    QString chars;
    when_up<CBufferViewDlg>([&](CBufferViewDlg* view) {
        first_pos = qobject_cast<QTextEdit*>(view->GetDlgItem(IDC_POS))->toPlainText();
        chars = qobject_cast<QTextEdit*>(view->GetDlgItem(IDC_CHARS))->toPlainText();
        QTest::keyClick(view, Qt::Key_Escape);
    });
    click(IDC_VIEW);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(first_pos.startsWith(QStringLiteral("00000\n00010\n")));
    EXPECT_EQ(chars.left(16), QString(16, u'A'));
}

TEST_F(MainWindow, SystemMenuCarriesTheAboutEntry) {
    CQuillonDlg& dlg = open();
    const auto& entries = dlg.GetSystemMenu()->entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].id, windowing::SC_CLOSE);
    EXPECT_EQ(entries[0].text, QString::fromUtf8("Schl&ießen"));
    EXPECT_EQ(entries[1].id, 0u);
    EXPECT_EQ(entries[2].id, 16u);
    EXPECT_EQ(entries[2].text, QString::fromUtf8("Inf&o über Quillon..."));
}

// Runs a system command and tells whether it opened the about box.
bool opens_about_box(CQuillonDlg& dlg, unsigned id) {
    bool opened = false;
    QTimer::singleShot(0, [&] {
        if (auto* about = dynamic_cast<CAboutBoxDlg*>(QApplication::activeModalWidget())) {
            opened = true;
            about->EndDialog(windowing::IDOK);
        }
    });
    dlg.OnSystemCommand(id);
    QCoreApplication::processEvents();
    return opened;
}

TEST_F(MainWindow, SystemCommands16To31OpenTheAboutBox) {
    CQuillonDlg& dlg = open();
    for (unsigned id = 16; id <= 31; ++id) {
        EXPECT_TRUE(opens_about_box(dlg, id)) << id;
    }
    for (unsigned id : {0u, 15u, 32u, 0xF010u, 0xF020u}) {
        EXPECT_FALSE(opens_about_box(dlg, id)) << id;
    }
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_FALSE(opens_about_box(dlg, windowing::SC_CLOSE));
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), windowing::IDCANCEL);
}

TEST_F(MainWindow, RightClickOffersTheSystemMenu) {
    CQuillonDlg& dlg = open();
    QStringList texts;
    bool opened = false;
    when_up<QMenu>([&](QMenu* menu) {
        for (const QAction* action : menu->actions()) {
            texts.append(action->isSeparator() ? QStringLiteral("-") : action->text());
        }
        when_up<CAboutBoxDlg>([&](CAboutBoxDlg* about) {
            opened = true;
            QTest::keyClick(about, Qt::Key_Escape);
        });
        menu->actions().last()->trigger();
        menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2), dlg.mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(&dlg, &event);
    EXPECT_EQ(texts, (QStringList{QString::fromUtf8("Schl&ießen"), QStringLiteral("-"),
                                  QString::fromUtf8("Inf&o über Quillon...")}));
    EXPECT_TRUE(opened);
}

}  // namespace
