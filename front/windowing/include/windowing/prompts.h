/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// The program's message box and file dialogs, behind one seam that tests replace.
#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace windowing {

struct FileRequest {
    bool open = true;    // false: save
    QString filter;      // '|'-separated pairs of label and pattern
    unsigned flags = 0;  // overwrite_prompt, hide_read_only, path_must_exist, file_must_exist
    QWidget* owner = nullptr;
};

inline constexpr unsigned overwrite_prompt = 0x2;    // save: ask before replacing a file
inline constexpr unsigned hide_read_only = 0x4;      // open: no read-only check box
inline constexpr unsigned path_must_exist = 0x800;   // the chosen file's folder must exist
inline constexpr unsigned file_must_exist = 0x1000;  // the chosen file must exist

class Prompts {
public:
    virtual ~Prompts() = default;
    // Text, the program's name as title, an exclamation icon and one OK button.
    virtual void message_box(QWidget* owner, const QString& text) = 0;
    // The full path chosen, or nothing when cancelled.
    virtual std::optional<QString> file_dialog(const FileRequest& request) = 0;
};

// The prompts in force: the real dialogs unless a test has put its own in place.
Prompts& prompts();
// Puts `replacement` in place (nullptr restores the real dialogs); returns the previous one.
Prompts* set_prompts(Prompts* replacement);

// The program's message box over the active window.
void message_box(const QString& text);

// "label|pattern|label|pattern|" as a Qt name filter list ("*.*" matches every file).
QStringList qt_name_filters(const QString& filter);

}  // namespace windowing
