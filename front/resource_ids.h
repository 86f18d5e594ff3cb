/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// Ids of the program's templates, resources, controls and commands.
#pragma once

namespace quillon {

inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDS_ABOUTBOX = 101;
inline constexpr int IDD_QUILLON_DIALOG = 102;
inline constexpr int IDD_BUFFERVIEW = 106;
inline constexpr int IDR_MAINFRAME = 128;

inline constexpr unsigned IDM_ABOUTBOX = 0x0010;  // system-menu entry of the about box

// Main window
inline constexpr int IDC_STATUS = 1000;
inline constexpr int IDC_LOAD_FILE = 1001;
inline constexpr int IDC_WRITE_FILE = 1002;
inline constexpr int IDC_UPLOAD = 1003;
inline constexpr int IDC_DOWNLOAD = 1004;
inline constexpr int IDC_SIZE = 1005;
inline constexpr int IDC_PROGRESS = 1006;
inline constexpr int IDC_PORT_278 = 1007;
inline constexpr int IDC_PORT_378 = 1008;
inline constexpr int IDC_PORT_3BC = 1009;
inline constexpr int IDC_DELAY = 1010;
inline constexpr int IDC_SET_DELAY = 1011;
inline constexpr int IDC_RESET_UC = 1012;
inline constexpr int IDC_VIEW = 1013;

// Buffer view
inline constexpr int IDC_HEX = 1117;
inline constexpr int IDC_CHARS = 1118;
inline constexpr int IDC_POS = 1121;
inline constexpr int IDC_SCROLLBAR = 1023;

// About box
inline constexpr int IDC_DLL_VERSION = 1011;

}  // namespace quillon
