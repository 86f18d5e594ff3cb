// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The file dialog object, run through the prompts seam.
#include "windowing/file_dialog.h"

#include <QFileInfo>
#include <utility>

#include "windowing/command_ids.h"
#include "windowing/prompts.h"

namespace windowing {

CFileDialog::CFileDialog(bool open, QString filter, unsigned flags, QWidget* owner)
    : open_(open), filter_(std::move(filter)), flags_(flags), owner_(owner) {}

int CFileDialog::DoModal() {
    auto chosen = prompts().file_dialog({open_, filter_, flags_, owner_});
    if (!chosen || chosen->isEmpty()) {
        return IDCANCEL;
    }
    path_ = *chosen;
    return IDOK;
}

QString CFileDialog::GetFileName() const {
    return QFileInfo(path_).fileName();
}

}  // namespace windowing
