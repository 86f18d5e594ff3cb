/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// The framework's own side of the program: its texts in German whatever the
// user's locale (the program's own texts stay English), and no settings of its
// own on disk, so that the profile file is the program's only configuration.
#pragma once

namespace windowing {

// Once, after the application object exists and before any window is built.
void prepare_framework();

}  // namespace windowing
