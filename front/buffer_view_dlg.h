/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// The buffer view: a read-only, page-wise hexadecimal dump of the transfer buffer.
#pragma once

#include <QString>
#include <cstdint>

#include "windowing/dialog.h"

class CBufferViewDlg : public windowing::CDialog {
public:
    // Borrows the buffer; with a null address the view has nothing to show.
    CBufferViewDlg(QWidget* owner, const std::uint8_t* buffer, std::uint32_t size);
    ~CBufferViewDlg() override;
    CBufferViewDlg(const CBufferViewDlg&) = delete;
    CBufferViewDlg& operator=(const CBufferViewDlg&) = delete;

    void OnVerticalScroll(unsigned code, std::uint16_t thumb, windowing::CScrollBar* bar) override;
    void ShowPage();

    const std::uint8_t* m_buffer;
    std::uint32_t m_bufsize;
    QString m_hexText;
    QString m_posText;
    QString m_charText;

protected:
    void ExchangeFields(windowing::DataExchange& dx) override;
    bool InitWindow() override;
};

// Offset of the first byte shown, shared by all views; every view starts at 0.
extern std::uint32_t g_pageStart;
