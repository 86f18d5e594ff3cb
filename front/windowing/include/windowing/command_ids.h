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

// Vertical-scroll codes.
inline constexpr unsigned SB_LINEUP = 0;
inline constexpr unsigned SB_LINEDOWN = 1;
inline constexpr unsigned SB_PAGEUP = 2;
inline constexpr unsigned SB_PAGEDOWN = 3;
inline constexpr unsigned SB_THUMBPOSITION = 4;
inline constexpr unsigned SB_THUMBTRACK = 5;
inline constexpr unsigned SB_TOP = 6;
inline constexpr unsigned SB_BOTTOM = 7;
inline constexpr unsigned SB_ENDSCROLL = 8;

}  // namespace windowing
