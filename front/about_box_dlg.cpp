// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The about box's template and its version texts.
#include "about_box_dlg.h"

#include <array>

#include "resource_ids.h"
#include "vandrel.h"
#include "windowing/data_exchange.h"

using namespace quillon;
using windowing::ControlKind;
using windowing::no_id;

namespace {

constexpr auto about_controls = std::to_array<windowing::ControlTemplate>({
    {no_id, ControlKind::static_text, "Quillon, Version 1.01.000", 40, 10, 119, 10,
     windowing::align_left | windowing::no_prefix | windowing::starts_group},
    {no_id, ControlKind::static_text, "A program of the Quillon project", 45, 55, 170, 8,
     windowing::align_right | windowing::starts_group},
    {windowing::IDOK, ControlKind::push_button, "OK", 178, 7, 32, 14,
     windowing::default_button | windowing::tab_stop | windowing::starts_group},
    {no_id, ControlKind::static_icon, "128", 5, 15, 20, 20, windowing::style_none},
    {no_id, ControlKind::static_text, "Up/Downloader for vandrel (8051)", 40, 35, 120, 10,
     windowing::align_left | windowing::starts_group},
    {IDC_DLL_VERSION, ControlKind::static_text, "DLL-Version", 40, 20, 125, 10,
     windowing::align_left | windowing::starts_group},
});

constexpr windowing::DialogTemplate about_template{
    IDD_ABOUTBOX, "Info über Quillon", "MS Sans Serif", 8, 222, 66, true, about_controls};

}  // namespace

CAboutBoxDlg::CAboutBoxDlg() : CDialog(about_template, nullptr) {
    m_versionText = QStringLiteral("DLL-Version: ");
    m_versionText += QString::fromLatin1(get_version());
}

CAboutBoxDlg::~CAboutBoxDlg() = default;

void CAboutBoxDlg::ExchangeFields(windowing::DataExchange& dx) {
    windowing::exchange_text(dx, IDC_DLL_VERSION, m_versionText);
}
