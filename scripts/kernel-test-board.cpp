// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// A vandrel board behind QEMU's emulated parallel port, for scripts/kernel-test.sh.
// Preloaded into qemu-system-x86_64 with the port given as
// "-chardev parallel,path=FILE": QEMU then turns every guest access to the
// port into an ioctl on FILE (hw/char/parallel.c, chardev/char-parallel.c),
// and this library answers those for FILE as the board would:
//   PPCLAIM once when the chardev opens, PPRSTATUS at once to pick the
//   hardware mode, then per guest access PPWDATA (only when the byte
//   changes), PPRDATA, PPRSTATUS, PPWCONTROL (0xC0 set), PPDATADIR (an int,
//   when the direction bit changes), PPRCONTROL (only before the first
//   control write), PPSETMODE (EPP and ECP cycles: refused, so they do
//   nothing), PPRELEASE at the end.
// The board is written from its wiring (README, "Data lines by bit") and on
// its own, apart from the simulated board in simboard/, so that each checks
// the other. Its RAM and its counters live in a file the host reads and
// writes while the guest waits (VANDREL_BOARD_STATE): 32768 bytes of RAM,
// then the Counters below; a fault byte there holds pins low.
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>

namespace {

constexpr std::uint8_t kData = 0x01;
constexpr std::uint8_t kClock = 0x02;
constexpr std::uint8_t kLoad = 0x04;
constexpr std::uint8_t kReset = 0x08;  // high: the PC holds the board
constexpr std::uint8_t kLowAddress = 0x10;
constexpr std::uint8_t kHighAddress = 0x20;
constexpr std::uint8_t kReadStrobe = 0x40;   // active low
constexpr std::uint8_t kWriteStrobe = 0x80;  // active low
constexpr std::size_t kRamSize = 0x8000;     // A15 is not wired to the RAM

// After the RAM in the state file, as the host reads it (od -t u8).
struct Counters {
    std::uint64_t data_writes;     // PPWDATA
    std::uint64_t status_reads;    // PPRSTATUS
    std::uint64_t data_reads;      // PPRDATA
    std::uint64_t stores;          // falling write strobe, board held
    std::uint64_t running_writes;  // data writes while the board was not held
    std::uint64_t running_stores;  // falling write strobe while it was not held
    std::uint8_t held_low;         // pins a short holds low, set by the host
    std::uint8_t unused[7];
};

class Board {
public:
    Board(std::uint8_t* ram, Counters& counters) : ram_(ram), counters_(counters) {}

    void write(std::uint8_t value) {
        ++counters_.data_writes;
        latch_ = value;
        if (!reversed_) {
            drive(pins());
        }
    }
    // What the port reads back from its data pins.
    std::uint8_t read_data() {
        ++counters_.data_reads;
        return reversed_ ? 0xFF : pins();  // undriven, the board's inputs float high
    }
    // Reserved bits and the pulled-up Paper, Select and Error inputs read 1,
    // the open Busy input 0 (inverted); Acknowledge carries the board's data.
    std::uint8_t read_status() {
        ++counters_.status_reads;
        return static_cast<std::uint8_t>(0x3F | ((shift_out_ & 0x80) != 0 ? 0x40 : 0x00));
    }
    // Reversed, the port's data pins are inputs: nothing drives the board's lines.
    void set_reversed(bool reversed) {
        reversed_ = reversed;
        if (!reversed_) {
            drive(pins());
        }
    }

private:
    std::uint8_t pins() const { return static_cast<std::uint8_t>(latch_ & ~counters_.held_low); }

    // The board's logic chips react to edges of its lines.
    void drive(std::uint8_t lines) {
        const auto rising = static_cast<std::uint8_t>(lines & ~lines_);
        const auto falling = static_cast<std::uint8_t>(lines_ & ~lines);
        lines_ = lines;
        const bool held = (lines & kReset) != 0;
        if (!held) {
            ++counters_.running_writes;
        }
        if ((rising & kClock) != 0) {
            shift_in_ = static_cast<std::uint8_t>((shift_in_ << 1) | (lines & kData));
            // With the load line high the clock loads the output register in
            // parallel: the RAM's byte while its read strobe is low and the
            // PC holds the bus, else the pulled-up bus. Else it shifts, a 1
            // coming in behind.
            const bool ram_drives = (lines & kReadStrobe) == 0 && held;
            shift_out_ = (lines & kLoad) != 0 ? (ram_drives ? ram_[address()] : std::uint8_t{0xFF})
                                              : static_cast<std::uint8_t>((shift_out_ << 1) | 0x01);
        }
        if ((rising & kLowAddress) != 0) {
            address_low_ = shift_in_;
        }
        if ((rising & kHighAddress) != 0) {
            address_high_ = shift_in_;
        }
        // The write strobe reaches the RAM whoever holds the board: a store
        // while the 8051 runs lands in its RAM all the same.
        if ((falling & kWriteStrobe) != 0) {
            ram_[address()] = shift_in_;
            ++(held ? counters_.stores : counters_.running_stores);
        }
    }

    std::size_t address() const {
        return ((std::size_t{address_high_} << 8) | address_low_) & (kRamSize - 1);
    }

    std::uint8_t* ram_;
    Counters& counters_;
    std::uint8_t latch_ = 0xFF;  // QEMU's data register after reset
    std::uint8_t lines_ = 0xFF;
    bool reversed_ = false;
    std::uint8_t shift_in_ = 0;
    std::uint8_t shift_out_ = 0xFF;
    std::uint8_t address_low_ = 0;
    std::uint8_t address_high_ = 0;
};

// The board, its state file mapped, and the chardev's file it answers for.
struct Attached {
    Board* board = nullptr;
    struct stat port {};
    int fd = -1;  // the descriptor QEMU opened FILE as, once seen
    std::uint8_t control = 0xCC;
};

Attached& attached() {
    // Built once, at the first ioctl of the port's kind, and never torn
    // down: QEMU calls PPRELEASE in its own exit handlers.
    static Attached& a = []() -> Attached& {
        static Attached made;
        const char* file = std::getenv("VANDREL_BOARD_FILE");
        const char* state = std::getenv("VANDREL_BOARD_STATE");
        const int fd = state != nullptr ? ::open(state, O_RDWR | O_CLOEXEC) : -1;
        void* mapped = fd >= 0 ? ::mmap(nullptr, kRamSize + sizeof(Counters),
                                        PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0)
                               : MAP_FAILED;
        if (file != nullptr && ::stat(file, &made.port) == 0 && mapped != MAP_FAILED) {
            auto* bytes = static_cast<std::uint8_t*>(mapped);
            static Board board(bytes, *reinterpret_cast<Counters*>(bytes + kRamSize));
            made.board = &board;
        }
        return made;
    }();
    return a;
}

bool is_port(Attached& a, int fd) {
    if (a.board == nullptr) {
        return false;
    }
    if (fd == a.fd) {
        return true;
    }
    struct stat seen {};
    if (a.fd < 0 && ::fstat(fd, &seen) == 0 && seen.st_dev == a.port.st_dev &&
        seen.st_ino == a.port.st_ino) {
        a.fd = fd;
        return true;
    }
    return false;
}

int refuse(int err) {
    errno = err;
    return -1;
}

int answer(Attached& a, unsigned long request, void* argument) {
    auto* byte = static_cast<unsigned char*>(argument);
    switch (request) {
        case PPCLAIM:
        case PPRELEASE:
            return 0;
        case PPWDATA:
            a.board->write(*byte);
            return 0;
        case PPRDATA:
            *byte = a.board->read_data();
            return 0;
        case PPRSTATUS:
            *byte = a.board->read_status();
            return 0;
        case PPWCONTROL:
            a.control = *byte;
            return 0;
        case PPRCONTROL:
            *byte = a.control;
            return 0;
        case PPDATADIR:
            a.board->set_reversed(*static_cast<int*>(argument) != 0);
            return 0;
        default:
            return refuse(EINVAL);  // PPSETMODE among them: no EPP or ECP board
    }
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int ioctl(int fd, unsigned long request,
                                                            ...) noexcept {
    std::va_list arguments;
    va_start(arguments, request);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    if (_IOC_TYPE(request) == PP_IOCTL) {
        Attached& a = attached();
        if (is_port(a, fd)) {
            return answer(a, request, argument);
        }
    }
    static const auto real =
        reinterpret_cast<int (*)(int, unsigned long, ...)>(::dlsym(RTLD_NEXT, "ioctl"));
    return real(fd, request, argument);
}
