/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// Command ids and notifications shared by every dialog.
#pragma once

namespace windowing {

inline constexpr int IDOK = 1;      // confirm: the OK button, Enter
inline constexpr int IDCANCEL = 2;  // cancel: Escape, close command

inline constexpr unsigned SC_CLOSE = 0xF060;  // the window's close command
inline constexpr int ID_HELP = 57670;

enum class Notify {
    clicked,
};

// Vertical-scroll codes, as the scroll bar reports them.
enum ScrollCode : unsigned {
    SB_LINEUP = 0,
    SB_LINEDOWN = 1,
    SB_PAGEUP = 2,
    SB_PAGEDOWN = 3,
    SB_THUMBPOSITION = 4,
    SB_THUMBTRACK = 5,
    SB_TOP = 6,
    SB_BOTTOM = 7,
    SB_ENDSCROLL = 8,
};

}  // namespace windowing
