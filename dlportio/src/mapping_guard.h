/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// A shared file mapping whose file another program cuts, or whose pages find
// no room on a full disk, raises SIGBUS on the next access. The guard keeps
// that from ending the process: a fault inside a guarded mapping grows a cut
// file back to full size (its cut part zero, as opening a cut file does) or,
// when that is impossible, puts a private zero page in place of the file's,
// and the access then goes on. Faults elsewhere go to the handler that was
// there before.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dlportio {

class MappingGuard {
public:
    // Guards [base, base + size) of a mapping of `fd`, which must stay open
    // while guarded. Guards nothing when all slots are taken (a process has one
    // simulated board; tests have a few).
    MappingGuard(std::uint8_t* base, std::size_t size, int fd);
    ~MappingGuard();
    MappingGuard(const MappingGuard&) = delete;
    MappingGuard& operator=(const MappingGuard&) = delete;

    struct Faults {
        unsigned regrown = 0;   // the file was found cut and grown back
        unsigned detached = 0;  // pages no longer backed by the file
        bool any() const { return regrown != 0 || detached != 0; }
    };
    // Faults since the previous call.
    Faults take_faults();

private:
    int slot_ = -1;
};

}  // namespace dlportio
