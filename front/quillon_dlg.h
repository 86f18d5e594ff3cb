/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// The main window: file, RAM and settings commands over the board link library,
// with one status line and a progress bar moved by the transfers.
#pragma once

#include <QIcon>
#include <QString>
#include <cstdint>

#include "windowing/controls.h"
#include "windowing/dialog.h"

class CQuillonDlg : public windowing::CDialog {
public:
    explicit CQuillonDlg(QWidget* parent = nullptr);
    ~CQuillonDlg() override;
    CQuillonDlg(const CQuillonDlg&) = delete;
    CQuillonDlg& operator=(const CQuillonDlg&) = delete;

    // Registered with the library; moves the bar that g_progress points to.
    static void ProgressCallback(std::uint16_t position, std::uint16_t total);

    void OnSystemCommand(unsigned id) override;

    void OnLoadFile();
    void OnWriteFile();
    void OnUpload();
    void OnDownload();
    void OnSetDelay();
    void OnResetUc();
    void OnSelectPort();
    void OnView();

    void SetStatus(const QString& text);

    windowing::CProgressCtrl m_progress;
    std::uint32_t m_size = 0;
    QString m_status;
    std::uint8_t m_delay = 0;
    int m_port = -1;
    QIcon m_hIcon;

protected:
    void ExchangeFields(windowing::DataExchange& dx) override;
    bool FilterMessage(const windowing::Message& message) override;
    bool InitWindow() override;
    bool OnCommand(int id, windowing::Notify notify) override;
};

// The progress bar of the main window, while it exists.
extern windowing::CProgressCtrl* g_progress;
