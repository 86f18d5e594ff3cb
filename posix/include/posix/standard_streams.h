/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// Descriptors 0, 1 and 2 are the standard streams only when they are open: a
// program started with one of them closed would hand that number to the next
// file it opens, and its own messages or input would then go to or come from
// that file.
#pragma once

namespace quillon::posix {

// Opens /dev/null on each of 0, 1 and 2 that is closed, the first time it is
// called. Call it before the first file is opened.
void keep_standard_streams_open();

// Whether descriptor fd (0, 1 or 2) was closed when keep_standard_streams_open
// first ran: what is written there now goes to /dev/null, which a program
// whose results go to that stream must not take for success.
bool standard_stream_was_closed(int fd);

}  // namespace quillon::posix
