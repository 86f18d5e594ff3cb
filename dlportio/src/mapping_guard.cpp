// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#include "mapping_guard.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <mutex>

namespace dlportio {

namespace {

struct Slot {
    std::atomic<std::uint8_t*> base{nullptr};
    std::atomic<std::size_t> size{0};
    std::atomic<int> fd{-1};
    std::atomic<unsigned> regrown{0};
    std::atomic<unsigned> detached{0};
};

std::array<Slot, 8> g_slots;
std::mutex g_slots_mutex;  // taking and freeing slots; the handler only reads
struct sigaction g_previous {};
std::uintptr_t g_page_size = 4096;

// Hands a fault that is not ours back to the handler that was there before:
// a fault comes again when the access is retried, a signal sent by someone is
// sent again. The guard is gone from then on, as the process ends anyway.
void pass_on(const siginfo_t* info) {
    ::sigaction(SIGBUS, &g_previous, nullptr);
    if (info->si_code <= 0) {
        ::raise(SIGBUS);
    }
}

// Only async-signal-safe calls in here (fstat, fallocate, ftruncate, mmap are
// plain system calls).
void on_bus_error(int, siginfo_t* info, void*) {
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (Slot& slot : g_slots) {
        const auto base = reinterpret_cast<std::uintptr_t>(slot.base.load());
        const std::size_t size = slot.size.load();
        if (base == 0 || address < base || address >= base + size) {
            continue;
        }
        const int saved_errno = errno;
        const int fd = slot.fd.load();
        struct stat info_now {};
        if (::fstat(fd, &info_now) == 0 && info_now.st_size < static_cast<off_t>(size) &&
            (::fallocate(fd, 0, 0, static_cast<off_t>(size)) == 0 ||
             ::ftruncate(fd, static_cast<off_t>(size)) == 0)) {
            slot.regrown.fetch_add(1);
        } else {
            // The file is long enough, so the page found no room on the disk.
            const std::uintptr_t page = address & ~(g_page_size - 1);
            ::mmap(reinterpret_cast<void*>(page), g_page_size, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
            slot.detached.fetch_add(1);
        }
        errno = saved_errno;
        return;  // the access is retried
    }
    pass_on(info);
}

void install_handler() {
    static std::once_flag once;
    std::call_once(once, [] {
        g_page_size = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
        struct sigaction action {};
        action.sa_sigaction = on_bus_error;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &g_previous);
    });
}

}  // namespace

MappingGuard::MappingGuard(std::uint8_t* base, std::size_t size, int fd) {
    install_handler();
    const std::lock_guard lock(g_slots_mutex);
    for (std::size_t i = 0; i < g_slots.size(); ++i) {
        Slot& slot = g_slots[i];
        if (slot.base.load() == nullptr) {
            slot.fd.store(fd);
            slot.size.store(size);
            slot.regrown.store(0);
            slot.detached.store(0);
            slot.base.store(base);  // last: the handler looks at base first
            slot_ = static_cast<int>(i);
            return;
        }
    }
}

MappingGuard::~MappingGuard() {
    if (slot_ >= 0) {
        const std::lock_guard lock(g_slots_mutex);
        g_slots[static_cast<std::size_t>(slot_)].base.store(nullptr);
    }
}

MappingGuard::Faults MappingGuard::take_faults() {
    if (slot_ < 0) {
        return {};
    }
    Slot& slot = g_slots[static_cast<std::size_t>(slot_)];
    // Asked on every RAM access of a transfer: plain loads while nothing happened.
    if (slot.regrown.load(std::memory_order_relaxed) == 0 &&
        slot.detached.load(std::memory_order_relaxed) == 0) [[likely]] {
        return {};
    }
    return Faults{slot.regrown.exchange(0), slot.detached.exchange(0)};
}

}  // namespace dlportio
