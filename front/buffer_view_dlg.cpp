// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The buffer view's template, its paging and scrolling over the library's buffer.
#include "buffer_view_dlg.h"

#include <array>
#include <span>

#include "buffer_page.h"
#include "resource_ids.h"
#include "windowing/controls.h"
#include "windowing/data_exchange.h"
#include "windowing/prompts.h"

using namespace quillon;
using windowing::ControlKind;

std::uint32_t g_pageStart = 0;

namespace {

constexpr unsigned column_style = windowing::multi_line | windowing::read_only;

constexpr auto view_controls = std::to_array<windowing::ControlTemplate>({
    {IDC_SCROLLBAR, ControlKind::scroll_bar, "", 348, 0, 10, 160, windowing::style_none},
    {IDC_POS, ControlKind::edit, "", 4, 12, 24, 144, column_style | windowing::align_right},
    {IDC_HEX, ControlKind::edit, "", 36, 12, 216, 144, column_style},
    {IDC_CHARS, ControlKind::edit, "", 260, 12, 84, 144, column_style},
    {windowing::no_id, ControlKind::group_box, "POS", 1, 0, 31, 160, windowing::style_none},
    {windowing::no_id, ControlKind::group_box, "HEXADECIMAL", 32, 0, 224, 160,
     windowing::style_none},
    {windowing::no_id, ControlKind::group_box, "ASCII", 256, 0, 92, 160, windowing::style_none},
});

constexpr windowing::DialogTemplate view_template{
    IDD_BUFFERVIEW, "BufferView", "Courier New", 8, 359, 161, true, view_controls};

QString latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

CBufferViewDlg::CBufferViewDlg(QWidget* owner, const std::uint8_t* buffer, std::uint32_t size)
    : CDialog(view_template, owner), m_buffer(buffer), m_bufsize(buffer != nullptr ? size : 0) {
    g_pageStart = 0;
}

CBufferViewDlg::~CBufferViewDlg() = default;

void CBufferViewDlg::ExchangeFields(windowing::DataExchange& dx) {
    windowing::exchange_text(dx, IDC_HEX, m_hexText);
    windowing::exchange_text(dx, IDC_POS, m_posText);
    windowing::exchange_text(dx, IDC_CHARS, m_charText);
}

bool CBufferViewDlg::InitWindow() {
    CDialog::InitWindow();
    if (auto scroll = GetScrollBar(IDC_SCROLLBAR)) {
        scroll->SetScrollRange(0, bufferpage::scroll_range_max, true);
        scroll->SetScrollPos(0, true);
    }
    ShowPage();
    return true;
}

void CBufferViewDlg::ShowPage() {
    if (m_bufsize == 0) {
        windowing::message_box(QStringLiteral("buffer empty !"));
        return;
    }
    const auto page = bufferpage::build_page(std::span(m_buffer, m_bufsize), g_pageStart);
    m_posText = latin1(page.pos);
    m_hexText = latin1(page.hex);
    const std::u16string_view chars = bufferpage::display_chars(page.chars);
    m_charText =
        QString(reinterpret_cast<const QChar*>(chars.data()), static_cast<qsizetype>(chars.size()));
    UpdateData(false);
}

void CBufferViewDlg::OnVerticalScroll(unsigned code, std::uint16_t thumb,
                                      windowing::CScrollBar* bar) {
    CDialog::OnVerticalScroll(code, thumb, bar);
    if (bar == nullptr || m_bufsize == 0) {
        return;
    }
    const auto move = bufferpage::scroll(code, thumb, g_pageStart, m_bufsize);
    if (!move.accepted) {
        return;
    }
    g_pageStart = move.start;
    ShowPage();
    bar->SetScrollPos(move.bar_position, true);
}
