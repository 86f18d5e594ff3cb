/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// File-open and file-save dialog, run modally for the length of one command.
#pragma once

#include <QString>

class QWidget;

namespace windowing {

class CFileDialog {
public:
    CFileDialog(bool open, QString filter, unsigned flags, QWidget* owner);

    int DoModal();  // 1 (confirm) with a path chosen, 2 (cancel) otherwise
    QString GetPathName() const { return path_; }
    QString GetFileName() const;  // name with extension, without folder

private:
    bool open_;
    QString filter_;
    unsigned flags_;
    QWidget* owner_;
    QString path_;
};

}  // namespace windowing
