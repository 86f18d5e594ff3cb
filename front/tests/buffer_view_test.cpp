// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The buffer view's columns and its reaction to every scroll code.
#include <gtest/gtest.h>

#include <QApplication>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTextEdit>
#include <QWheelEvent>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

#include "buffer_view_dlg.h"
#include "quillon_test/param_name.h"
#include "resource_ids.h"
#include "test_support.h"
#include "windowing/controls.h"

using namespace quillon;
using namespace windowing;

namespace {

class BufferView : public ::testing::Test {
protected:
    CBufferViewDlg& open(std::size_t size) {
        image_.resize(size);
        for (std::size_t i = 0; i < size; ++i) {
            image_[i] = static_cast<std::uint8_t>(i);
        }
        return open_image();
    }
    CBufferViewDlg& open_image() {
        view_ = std::make_unique<CBufferViewDlg>(nullptr, image_.data(),
                                                 static_cast<std::uint32_t>(image_.size()));
        view_->Create();
        return *view_;
    }
    QString column(int id) {
        return qobject_cast<QTextEdit*>(view_->GetDlgItem(id))->toPlainText();
    }
    QScrollBar* bar() { return qobject_cast<QScrollBar*>(view_->GetDlgItem(IDC_SCROLLBAR)); }
    // Sends one scroll notification from the view's own scroll bar.
    void scroll(unsigned code, std::uint16_t thumb = 0) {
        CScrollBar source(bar());
        view_->OnVerticalScroll(code, thumb, &source);
    }
    QString first_offset() { return column(IDC_POS).left(5); }

    std::vector<std::uint8_t> image_;
    std::unique_ptr<CBufferViewDlg> view_;
    testing_support::ScriptedPrompts prompts_;
};

TEST_F(BufferView, HundredBytesMakeOnePageOfSevenLines) {
    CBufferViewDlg& view = open(100);
    EXPECT_EQ(column(IDC_POS), QStringLiteral("00000\n00010\n00020\n00030\n00040\n00050\n00060\n"));
    const QStringList hex = column(IDC_HEX).split(u'\n');
    ASSERT_EQ(hex.size(), 7);
    EXPECT_EQ(hex[0], QStringLiteral("00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F "));
    EXPECT_EQ(hex[6], QStringLiteral("60 61 62 63 "));
    EXPECT_TRUE(view.m_hexText.endsWith(QStringLiteral("63 ")));
    EXPECT_EQ(view.m_posText.count(QStringLiteral("\r\n")), 7);
    EXPECT_EQ(bar()->minimum(), 0);
    EXPECT_EQ(bar()->maximum(), 100);
    EXPECT_EQ(bar()->value(), 0);

    for (unsigned code = SB_LINEUP; code <= SB_ENDSCROLL; ++code) {
        bar()->setValue(42);
        scroll(code, 100);
        EXPECT_EQ(first_offset(), QStringLiteral("00000")) << code;
        const int expected = code <= SB_PAGEDOWN || code == SB_ENDSCROLL ? 42
                             : code == SB_BOTTOM                         ? 100
                                                                         : 0;
        EXPECT_EQ(bar()->value(), expected) << code;
    }
}

TEST_F(BufferView, OneFullPageCannotScroll) {
    open(256);
    const QStringList lines = column(IDC_HEX).split(u'\n');
    ASSERT_EQ(lines.size(), 17);  // sixteen lines, each ended
    EXPECT_TRUE(lines.last().isEmpty());
    scroll(SB_LINEDOWN);
    scroll(SB_PAGEDOWN);
    EXPECT_EQ(g_pageStart, 0u);
    EXPECT_EQ(bar()->value(), 0);
    scroll(SB_THUMBPOSITION, 100);
    EXPECT_EQ(g_pageStart, 0u);
    EXPECT_EQ(bar()->value(), 0);
}

TEST_F(BufferView, ThreeHundredBytesMakeTwoPages) {
    open(300);
    scroll(SB_LINEDOWN);
    EXPECT_EQ(g_pageStart, 256u);
    EXPECT_EQ(column(IDC_POS), QStringLiteral("00100\n00110\n00120\n"));
    const QStringList hex = column(IDC_HEX).split(u'\n');
    ASSERT_EQ(hex.size(), 3);
    EXPECT_EQ(hex[2].size(), 12 * 3);
    EXPECT_EQ(bar()->value(), 85);
    scroll(SB_LINEDOWN);  // past the end: refused
    EXPECT_EQ(g_pageStart, 256u);
    scroll(SB_LINEUP);
    EXPECT_EQ(g_pageStart, 0u);
    EXPECT_EQ(first_offset(), QStringLiteral("00000"));
}

TEST_F(BufferView, FullBufferScrollsByPagesAndThumb) {
    open(32768);
    scroll(SB_LINEUP);
    scroll(SB_PAGEUP);
    EXPECT_EQ(g_pageStart, 0u);
    scroll(SB_PAGEDOWN);
    EXPECT_EQ(first_offset(), QStringLiteral("00800"));
    EXPECT_EQ(bar()->value(), 6);
    scroll(SB_THUMBTRACK, 50);
    EXPECT_EQ(first_offset(), QStringLiteral("04000"));
    EXPECT_EQ(bar()->value(), 50);
    scroll(SB_THUMBPOSITION, 100);
    EXPECT_EQ(g_pageStart, 32512u);
    EXPECT_EQ(bar()->value(), 99);
    EXPECT_TRUE(column(IDC_POS).endsWith(QStringLiteral("07FF0\n")));
    scroll(SB_TOP);
    EXPECT_EQ(g_pageStart, 0u);
    EXPECT_EQ(bar()->value(), 0);
    scroll(SB_BOTTOM);
    EXPECT_EQ(g_pageStart, 32512u);
    EXPECT_EQ(bar()->value(), 100);
    scroll(SB_ENDSCROLL);
    scroll(9);
    EXPECT_EQ(g_pageStart, 32512u);
    EXPECT_EQ(bar()->value(), 100);
}

TEST_F(BufferView, ScrollBarActionsArriveAsScrollCodes) {
    open(32768);
    bar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(g_pageStart, 2048u);
    EXPECT_EQ(bar()->value(), 6);
    bar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(g_pageStart, 2304u);
    EXPECT_EQ(bar()->value(), 7);
    bar()->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(g_pageStart, 32512u);
    EXPECT_EQ(bar()->value(), 100);
    bar()->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(g_pageStart, 0u);
    bar()->triggerAction(QAbstractSlider::SliderSingleStepSub);  // refused: the bar stays put
    EXPECT_EQ(bar()->value(), 0);
}

// The scroll bar's parts where the style draws them now.
QRect scroll_bar_part(QScrollBar* bar, QStyle::SubControl part) {
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = Qt::Vertical;
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    option.subControls = QStyle::SC_All;
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, part, bar);
}

TEST_F(BufferView, TheThumbStaysWhereItIsDropped) {
    open(32768);
    QScrollBar* b = bar();
    const QRect groove = scroll_bar_part(b, QStyle::SC_ScrollBarGroove);
    // Down to the bottom end: the last page while held, and still after the release.
    QPoint grip = scroll_bar_part(b, QStyle::SC_ScrollBarSlider).center();
    QTest::mousePress(b, Qt::LeftButton, {}, grip);
    const QPoint bottom(grip.x(), groove.bottom() + 40);
    QTest::mouseMove(b, QPoint(grip.x(), groove.center().y()));
    QTest::mouseMove(b, bottom);
    EXPECT_EQ(g_pageStart, 32512u);
    QTest::mouseRelease(b, Qt::LeftButton, {}, bottom);
    EXPECT_EQ(g_pageStart, 32512u);
    EXPECT_EQ(first_offset(), QStringLiteral("07F00"));
    EXPECT_EQ(b->value(), 99);

    // Back up to about a third: the page shown while held is the one that stays.
    grip = scroll_bar_part(b, QStyle::SC_ScrollBarSlider).center();
    QTest::mousePress(b, Qt::LeftButton, {}, grip);
    const QPoint third(grip.x(), groove.top() + groove.height() / 3);
    QTest::mouseMove(b, third);
    const std::uint32_t held = g_pageStart;
    EXPECT_GT(held, 0u);
    EXPECT_LT(held, 32512u);
    QTest::mouseRelease(b, Qt::LeftButton, {}, third);
    EXPECT_EQ(g_pageStart, held);
    EXPECT_EQ(b->value(), static_cast<int>(held * 100 / 32768));
}

// A part of the view, by its control id and a name for the test.
class BufferViewWheel : public BufferView,
                        public ::testing::WithParamInterface<std::pair<int, const char*>> {};

// Turns the wheel `notches` times (negative: towards the user) over the widget
// that is under `point` of the view.
void turn_wheel(QWidget& view, QPoint point, int notches) {
    QWidget* target = view.childAt(point);
    ASSERT_NE(target, nullptr);
    for (int i = 0; i < std::abs(notches); ++i) {
        const QPoint local = target->mapFrom(&view, point);
        QWheelEvent event(local, target->mapToGlobal(local), QPoint(),
                          QPoint(0, notches > 0 ? 120 : -120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
    }
}

TEST_P(BufferViewWheel, EachNotchIsOneLineAnywhereOverTheView) {
    CBufferViewDlg& view = open(32768);
    const QWidget* part = view.GetDlgItem(GetParam().first);
    const QPoint point = part->geometry().center();
    turn_wheel(view, point, -3);
    EXPECT_EQ(g_pageStart, 3u * 256);
    EXPECT_EQ(first_offset(), QStringLiteral("00300"));
    EXPECT_EQ(bar()->value(), 2);
    turn_wheel(view, point, 1);
    EXPECT_EQ(g_pageStart, 2u * 256);
    turn_wheel(view, point, 5);  // past the top: refused at 0
    EXPECT_EQ(g_pageStart, 0u);
    EXPECT_EQ(bar()->value(), 0);
}

INSTANTIATE_TEST_SUITE_P(Parts, BufferViewWheel,
                         ::testing::Values(std::pair{IDC_SCROLLBAR, "scroll_bar"},
                                           std::pair{IDC_POS, "offsets"}, std::pair{IDC_HEX, "hex"},
                                           std::pair{IDC_CHARS, "characters"}),
                         quillon_test::name_from([](const auto& part) { return part.second; }));

TEST_F(BufferView, HalfNotchesAddUp) {
    CBufferViewDlg& view = open(4096);
    QWidget* hex = view.GetDlgItem(IDC_HEX);
    QWidget* target = view.childAt(hex->geometry().center());
    for (int i = 0; i < 3; ++i) {
        QWheelEvent event(QPointF(5, 5), target->mapToGlobal(QPointF(5, 5)), QPoint(),
                          QPoint(0, -60), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
    }
    EXPECT_EQ(g_pageStart, 256u);  // three half notches: one line, and half a notch kept
}

TEST_F(BufferView, CharactersAsTheDesktopShowsThem) {
    image_ = {0x00, 0x09, 0x0D, 0x0A, 0x1F, 0x20, 0x41, 0x7E,
              0x7F, 0x80, 0x81, 0x9F, 0xA0, 0xC4, 0xFC, 0xFF};
    open_image();
    const QString chars = column(IDC_CHARS);
    ASSERT_EQ(chars.size(), 17);
    EXPECT_EQ(chars[16], u'\n');
    EXPECT_EQ(chars.left(6), QString(6, u' '));
    EXPECT_EQ(chars[6], u'A');
    EXPECT_EQ(chars[7], u'~');
    EXPECT_EQ(chars[9], QChar(0x20AC));   // euro sign
    EXPECT_NE(chars[10], u' ');           // unassigned: a visible stand-in
    EXPECT_EQ(chars[11], QChar(0x0178));  // Y with diaeresis
    EXPECT_EQ(chars[13], QChar(0x00C4));
    EXPECT_EQ(chars[15], QChar(0x00FF));
    EXPECT_EQ(column(IDC_HEX),
              QStringLiteral("00 09 0D 0A 1F 20 41 7E 7F 80 81 9F A0 C4 FC FF \n"));
}

TEST_F(BufferView, NullBufferShowsNothing) {
    view_ = std::make_unique<CBufferViewDlg>(nullptr, nullptr, 500);
    view_->Create();
    EXPECT_EQ(view_->m_bufsize, 0u);
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0], QStringLiteral("buffer empty !"));
    EXPECT_TRUE(column(IDC_HEX).isEmpty());
    scroll(SB_BOTTOM);
    EXPECT_EQ(bar()->value(), 0);
}

TEST_F(BufferView, EveryOpeningStartsOnTheFirstPage) {
    open(4096);
    scroll(SB_BOTTOM);
    ASSERT_EQ(g_pageStart, 3840u);
    open_image();
    EXPECT_EQ(g_pageStart, 0u);
    EXPECT_EQ(first_offset(), QStringLiteral("00000"));
    EXPECT_EQ(bar()->value(), 0);
}

TEST_F(BufferView, ColumnsFitTheirLongestLines) {
    CBufferViewDlg& view = open(256);
    const QFontMetrics metrics(view.font());
    const struct {
        int id;
        int chars;
    } columns[] = {{IDC_POS, 5}, {IDC_HEX, 48}, {IDC_CHARS, 16}};
    for (const auto& c : columns) {
        QWidget* edit = view.GetDlgItem(c.id);
        EXPECT_GE(edit->width(), metrics.horizontalAdvance(QString(c.chars, u'W'))) << c.id;
        EXPECT_GE(edit->height(), 16 * metrics.lineSpacing()) << c.id;
    }
}

}  // namespace
