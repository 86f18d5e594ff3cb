/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// The about box: the program's version and that of the loaded board link library.
#pragma once

#include <QString>

#include "windowing/dialog.h"

class CAboutBoxDlg : public windowing::CDialog {
public:
    CAboutBoxDlg();
    ~CAboutBoxDlg() override;
    CAboutBoxDlg(const CAboutBoxDlg&) = delete;
    CAboutBoxDlg& operator=(const CAboutBoxDlg&) = delete;

    QString m_versionText;

protected:
    void ExchangeFields(windowing::DataExchange& dx) override;
};
