// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The main window's template, command table, fields and handlers over the library.
#include "quillon_dlg.h"

#include <QFile>
#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <iterator>

#include "about_box_dlg.h"
#include "board_status.h"
#include "buffer_view_dlg.h"
#include "resource_ids.h"
#include "vandrel.h"
#include "vandrel_board.h"
#include "windowing/blocked_input.h"
#include "windowing/command_table.h"
#include "windowing/data_exchange.h"
#include "windowing/file_dialog.h"
#include "windowing/profile.h"
#include "windowing/prompts.h"
#include "windowing/resources.h"

using namespace quillon;
using windowing::ControlKind;
using windowing::no_id;

windowing::CProgressCtrl* g_progress = nullptr;

namespace {

constexpr unsigned edit_style = windowing::border | windowing::tab_stop | windowing::auto_hscroll;

constexpr auto main_controls = std::to_array<windowing::ControlTemplate>({
    {IDC_STATUS, ControlKind::static_text, "ready", 3, 117, 175, 11,
     windowing::align_left | windowing::starts_group},
    {IDC_LOAD_FILE, ControlKind::push_button, "load file", 15, 13, 50, 12, windowing::tab_stop},
    {IDC_WRITE_FILE, ControlKind::push_button, "write file", 115, 13, 50, 12, windowing::tab_stop},
    {IDC_UPLOAD, ControlKind::push_button, "upload", 10, 89, 35, 12, windowing::tab_stop},
    {IDC_DOWNLOAD, ControlKind::push_button, "download", 115, 89, 50, 12, windowing::tab_stop},
    {no_id, ControlKind::group_box, "File-menu", 1, 0, 180, 30, windowing::style_none},
    {IDC_SIZE, ControlKind::edit, "", 73, 89, 40, 12, edit_style},
    {no_id, ControlKind::group_box, "RAM-menu", 1, 76, 180, 30, windowing::style_none},
    {IDC_PROGRESS, ControlKind::progress_bar, "", 1, 106, 180, 10, windowing::border},
    {no_id, ControlKind::static_icon, "128", 80, 8, 20, 20, windowing::style_none},
    {no_id, ControlKind::group_box, "Settings", 1, 32, 180, 43, windowing::style_none},
    {IDC_PORT_278, ControlKind::radio_button, "Port 278h", 10, 43, 45, 10,
     windowing::starts_group | windowing::tab_stop},
    {IDC_PORT_378, ControlKind::radio_button, "Port 378h", 10, 53, 45, 10, windowing::style_none},
    {IDC_PORT_3BC, ControlKind::radio_button, "Port 3BCh", 10, 63, 45, 10, windowing::style_none},
    {IDC_DELAY, ControlKind::edit, "", 115, 43, 50, 12, edit_style},
    {IDC_SET_DELAY, ControlKind::push_button, "set Delay", 115, 58, 50, 12, windowing::tab_stop},
    {no_id, ControlKind::static_text, "Delay 1..255:", 59, 45, 51, 8,
     windowing::align_right | windowing::starts_group},
    {IDC_RESET_UC, ControlKind::push_button, "reset uC", 65, 58, 45, 12, windowing::tab_stop},
    {IDC_VIEW, ControlKind::push_button, "view", 49, 89, 22, 12, windowing::tab_stop},
});

constexpr windowing::DialogTemplate main_template{
    IDD_QUILLON_DIALOG, "Quillon", "MS Sans Serif", 8, 182, 127, true, main_controls};

using Command = windowing::CommandEntry<CQuillonDlg>;
constexpr auto clicked = windowing::Notify::clicked;

constexpr std::array commands{
    Command{IDC_LOAD_FILE, clicked, &CQuillonDlg::OnLoadFile},
    Command{IDC_WRITE_FILE, clicked, &CQuillonDlg::OnWriteFile},
    Command{IDC_UPLOAD, clicked, &CQuillonDlg::OnUpload},
    Command{IDC_DOWNLOAD, clicked, &CQuillonDlg::OnDownload},
    Command{IDC_SET_DELAY, clicked, &CQuillonDlg::OnSetDelay},
    Command{IDC_RESET_UC, clicked, &CQuillonDlg::OnResetUc},
    Command{IDC_PORT_278, clicked, &CQuillonDlg::OnSelectPort},
    Command{IDC_PORT_378, clicked, &CQuillonDlg::OnSelectPort},
    Command{IDC_PORT_3BC, clicked, &CQuillonDlg::OnSelectPort},
    Command{IDC_VIEW, clicked, &CQuillonDlg::OnView},
};

const QString file_filter =
    QStringLiteral("rom-files |*.rom|bin-files|*.bin|All Files (*.*) |*.*|");

[[gnu::format(printf, 1, 2)]] QString format_text(const char* format, ...) {
    std::array<char, 256> text{};
    va_list args;
    va_start(args, format);
    std::vsnprintf(text.data(), text.size(), format, args);
    va_end(args);
    return QString::fromUtf8(text.data());
}

QString last_error() {
    return QString::fromLocal8Bit(get_LastError());
}

// The radio buttons follow the library's port table, one button a row.
int port_index(std::uint16_t address) {
    const auto& bases = vandrel::board::kPortBases;
    const auto* found = std::find(std::begin(bases), std::end(bases), address);
    return found == std::end(bases) ? -1 : static_cast<int>(found - std::begin(bases));
}

}  // namespace

CQuillonDlg::CQuillonDlg(QWidget* parent)
    : CDialog(main_template, parent), m_status(QStringLiteral("ready")) {
    const quillon::profile::Settings settings = windowing::read_profile();
    m_delay = settings.delay;
    const std::uint16_t address = set_Port(settings.port_index);
    m_port = port_index(address);
    m_status = board_status_at(address);
    set_delay(m_delay);
    m_delay = get_delay();
    m_hIcon = windowing::load_icon(IDR_MAINFRAME);
}

CQuillonDlg::~CQuillonDlg() {
    const int index = port_index(set_Port(VANDREL_PORT_QUERY));
    windowing::write_profile(
        {index < 0 ? vandrel::board::kPortIndexAtLoad : static_cast<std::uint8_t>(index), m_delay});
    if (g_progress == &m_progress) {
        g_progress = nullptr;
    }
}

void CQuillonDlg::ProgressCallback(std::uint16_t position, std::uint16_t total) {
    if (total == 0 || g_progress == nullptr) {
        return;
    }
    const std::uint32_t percent = position == 0 ? 0u : position * 100u / total;
    g_progress->SetPos(static_cast<int>(percent));
    windowing::keep_painting();
}

void CQuillonDlg::ExchangeFields(windowing::DataExchange& dx) {
    windowing::exchange_control(dx, IDC_PROGRESS, m_progress);
    windowing::exchange_number(dx, IDC_SIZE, m_size);
    windowing::validate_range(dx, m_size, 0, vandrel::board::kRamSize);
    windowing::exchange_text(dx, IDC_STATUS, m_status);
    windowing::exchange_number(dx, IDC_DELAY, m_delay);
    windowing::validate_range(dx, m_delay, 1, 255);
    windowing::exchange_radio(dx, IDC_PORT_278, m_port);
}

bool CQuillonDlg::FilterMessage(const windowing::Message& message) {
    // Escape never closes the main window; the control gets the key as it is.
    if (message.key == 27) {
        return false;
    }
    return CDialog::FilterMessage(message);
}

bool CQuillonDlg::InitWindow() {
    CDialog::InitWindow();
    if (windowing::SystemMenu* menu = GetSystemMenu()) {
        const QString about = windowing::load_string(IDS_ABOUTBOX);
        if (!about.isEmpty()) {
            menu->AppendSeparator();
            menu->AppendItem(IDM_ABOUTBOX, about);
        }
    }
    SetIcon(m_hIcon, true);
    SetIcon(m_hIcon, false);
    m_progress.SetRange(0, 100);
    m_progress.SetStep(1);
    m_progress.SetPos(0);
    g_progress = &m_progress;
    setCallback(&CQuillonDlg::ProgressCallback);
    return true;
}

bool CQuillonDlg::OnCommand(int id, windowing::Notify notify) {
    return windowing::dispatch_command(*this, commands, id, notify) ||
           CDialog::OnCommand(id, notify);
}

void CQuillonDlg::OnSystemCommand(unsigned id) {
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutBoxDlg about;
        about.DoModal();
    } else {
        CDialog::OnSystemCommand(id);
    }
}

void CQuillonDlg::SetStatus(const QString& text) {
    m_status = text;
    UpdateData(false);
}

void CQuillonDlg::OnLoadFile() {
    windowing::CFileDialog dialog(true, file_filter, windowing::overwrite_prompt, this);
    if (dialog.DoModal() != windowing::IDOK) {
        return;
    }
    if (read_file(QFile::encodeName(dialog.GetPathName()).constData()) == 0) {
        SetStatus(last_error());
    } else {
        const std::uint16_t size = get_bufsize();
        const QString text = format_text("loaded %d bytes [%hX]", size, get_chsum());
        m_size = size;
        SetStatus(text);
        SetWindowText(dialog.GetFileName());
    }
    m_progress.SetPos(0);
}

void CQuillonDlg::OnWriteFile() {
    windowing::CFileDialog dialog(false, file_filter,
                                  windowing::overwrite_prompt | windowing::path_must_exist, this);
    if (dialog.DoModal() != windowing::IDOK) {
        return;
    }
    if (write_file(QFile::encodeName(dialog.GetPathName()).constData()) == 0) {
        SetStatus(last_error());
    } else {
        SetStatus(format_text("write %d to file [%hX]", get_bufsize(), get_chsum()));
        SetWindowText(dialog.GetFileName());
    }
    m_progress.SetPos(0);
}

void CQuillonDlg::OnUpload() {
    const windowing::BlockedInput busy;
    m_progress.SetPos(0);
    const PortWatch port;
    if (write_ram() == 0) {
        SetStatus(last_error());
        return;
    }
    if (const QString failure = port.failure(); !failure.isEmpty()) {
        SetStatus(failure);  // the board is left held: it got no sound image
        return;
    }
    const std::uint16_t size = get_bufsize();
    const QString text = format_text("write %d to RAM [%hX]", size, get_chsum());
    m_size = size;
    SetStatus(text);
    windowing::keep_painting();  // the result shows during the one-second reset
    reset();
}

void CQuillonDlg::OnDownload() {
    // Invalid input ends the command: downloading whatever the fields then hold
    // would replace the buffer with an image nobody asked for.
    if (!UpdateData(true)) {
        return;
    }
    const windowing::BlockedInput busy;
    m_progress.SetPos(0);
    const PortWatch port;
    if (read_ram(static_cast<std::uint16_t>(m_size)) == 0) {
        SetStatus(last_error());
        return;
    }
    if (const QString failure = port.failure(); !failure.isEmpty()) {
        SetStatus(failure);  // what the buffer now holds did not come from the board
        return;
    }
    SetStatus(format_text("read %d from RAM [%hX]", get_bufsize(), get_chsum()));
    windowing::keep_painting();
    reset();
}

void CQuillonDlg::OnSetDelay() {
    UpdateData(true);
    set_delay(m_delay);
    const int delay = get_delay();
    SetStatus(format_text("set deley-value to %d", delay));
}

void CQuillonDlg::OnResetUc() {
    const windowing::BlockedInput busy;
    const PortWatch port;
    reset();
    const QString failure = port.failure();
    SetStatus(failure.isEmpty() ? QStringLiteral("reset the uc") : failure);
}

void CQuillonDlg::OnSelectPort() {
    UpdateData(true);
    const std::uint16_t address = set_Port(static_cast<std::uint8_t>(m_port));
    SetStatus(format_text("select port %hXh", address));
}

void CQuillonDlg::OnView() {
    const std::uint16_t size = get_bufsize();
    if (size == 0) {
        windowing::message_box(QStringLiteral("buffer empty !"));
        return;
    }
    CBufferViewDlg view(nullptr, getBuffer(), size);
    view.DoModal();
}
