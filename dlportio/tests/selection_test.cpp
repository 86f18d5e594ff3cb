// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Which back end serves an address, what is told, and the trace, on fake machines.
#include "selection.h"

#include <gtest/gtest.h>

#include <optional>

#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <tuple>

#include "fake_device.h"
#include "ppdev_port.h"
#include "quillon_test/board_driver.h"
#include "quillon_test/param_name.h"
#include "quillon_test/scoped_env.h"
#include "quillon_test/scratch_folder.h"

namespace {

using quillon_test::ScratchFolder;

using dlportio::Selector;
using dlportio::Settings;

class SelectionTest : public ::testing::Test {
protected:
    // The simulated board reads its own settings when it opens.
    void SetUp() override { ram_.emplace("DLPORTIO_SIM_RAM", (scratch_ / "board.ram").c_str()); }

    Settings settings(const std::string& backend) const {
        Settings s;
        s.backend = backend;
        s.paths = {scratch_ / "proc",    scratch_ / "dev",       scratch_ / "pnp",
                   scratch_ / "usbmisc", scratch_ / "ioports",   scratch_ / "lockdown",
                   scratch_ / "modules", scratch_ / "secureboot"};
        return s;
    }
    void machine_has_port_at(const std::string& decimal_base, int number = 0) const {
        scratch_.put("proc/parport" + std::to_string(number) + "/base-addr", decimal_base + "\n");
    }
    std::string dev(const std::string& name) const { return (scratch_ / "dev" / name).string(); }
    static bool reads_as_no_board(dlportio::Backend& backend) {
        BoardDriver drive(backend);
        drive.hold();
        drive.store(0x0000, 0x00);
        return drive.fetch(0x0000) == 0xFF && backend.read_status() == 0x7F;
    }

    ScratchFolder scratch_;
    std::optional<ScopedEnv> ram_;
    FakeDevice device_;
};

TEST_F(SelectionTest, AutoSimulatesTheBoardOnlyWithoutAnyParallelPort) {
    Selector selector(settings("auto"), device_);
    const auto choice = selector.choose(0x378);
    EXPECT_EQ(choice.name, "sim (RAM " + (scratch_ / "board.ram").string() + ")");
    EXPECT_EQ(choice.note.rfind("port 0x378: sim (RAM ", 0), 0u) << choice.note;
    EXPECT_NE(choice.note.find("no parallel port on this machine"), std::string::npos);
    BoardDriver drive(*choice.backend);
    drive.hold();
    drive.store(0x0005, 0x5C);
    EXPECT_EQ(drive.fetch(0x0005), 0x5C);
    EXPECT_EQ(selector.choose(0x278).backend, choice.backend) << "one board for every address";
    EXPECT_TRUE(device_.log.empty());
}

TEST_F(SelectionTest, AutoUsesPpdevForTheMatchingPort) {
    machine_has_port_at("888");
    Selector selector(settings(""), device_);
    const auto choice = selector.choose(0x378);
    EXPECT_EQ(choice.name, "ppdev " + dev("parport0"));
    EXPECT_EQ(choice.note, "port 0x378: ppdev " + dev("parport0"));
    choice.backend->write_data(0xC8);
    EXPECT_EQ(device_.data_written, (std::vector<std::uint8_t>{0xC8}));
}

TEST_F(SelectionTest, AutoNeverSimulatesWhereARealPortExists) {
    machine_has_port_at("888");
    Selector selector(settings("auto"), device_);
    const auto choice = selector.choose(0x278);
    EXPECT_EQ(choice.name.rfind("none: no parallel port at 0x278", 0), 0u) << choice.name;
    EXPECT_NE(choice.note.find("no parallel port at 0x278; the machine has parport0 at 0x378 (set "
                               "DLPORTIO_BASE=0x378, or DLPORTIO_DEVICE=" +
                               dev("parport0") + ")"),
              std::string::npos)
        << choice.note;
    EXPECT_EQ(choice.note.find("choose"), std::string::npos) << choice.note;
    EXPECT_NE(choice.note.find("the data input reads high"), std::string::npos) << choice.note;
    EXPECT_TRUE(reads_as_no_board(*choice.backend));
    EXPECT_FALSE(std::filesystem::exists(scratch_ / "board.ram"));
}

TEST_F(SelectionTest, AutoWithAPortButNoDriverTellsToLoadIt) {
    scratch_.put("pnp/00:07/id", "PNP0400\n");
    Selector selector(settings("auto"), device_);
    const auto choice = selector.choose(0x378);
    EXPECT_NE(choice.name.find("modprobe -a parport_pc ppdev"), std::string::npos) << choice.name;
    EXPECT_TRUE(reads_as_no_board(*choice.backend));
}

TEST_F(SelectionTest, UnavailableDeviceBehavesAsNoBoard) {
    machine_has_port_at("888");
    device_.open_errno[dev("parport0")] = EACCES;
    Selector selector(settings("ppdev"), device_);
    const auto choice = selector.choose(0x378);
    EXPECT_EQ(choice.name.rfind("none: ppdev: cannot open " + dev("parport0"), 0), 0u)
        << choice.name;
    EXPECT_TRUE(reads_as_no_board(*choice.backend));
}

TEST_F(SelectionTest, DeviceVariableSendsEveryAddressToOneClaim) {
    Settings s = settings("auto");
    s.device = "/dev/parport3";
    Selector selector(s, device_);
    const auto first = selector.choose(0x378);
    const auto second = selector.choose(0xD010);
    EXPECT_EQ(first.name, "ppdev /dev/parport3");
    EXPECT_EQ(first.backend, second.backend);
    EXPECT_EQ(std::count(device_.log.begin(), device_.log.end(), "PPCLAIM"), 1);
}

TEST_F(SelectionTest, PpdevWithoutAMatchingPortNamesTheKnownOnes) {
    machine_has_port_at("956", 1);
    Selector selector(settings("ppdev"), device_);
    const auto choice = selector.choose(0x378);
    EXPECT_NE(choice.name.find("parport1 at 0x3BC"), std::string::npos) << choice.name;
    EXPECT_TRUE(device_.log.empty());
}

// "auto, sim, ppdev or direct": auto, then every row of the back-end table.
std::string names_from_table() {
    const auto rows = dlportio::backend_rows();
    std::string names = "auto";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        names += std::string(i + 1 < rows.size() ? ", " : " or ") + std::string(rows[i].name);
    }
    return names;
}

TEST_F(SelectionTest, WrongSettingsGiveNoBoardNeverAnotherBoard) {
    Selector unknown(settings("parallel"), device_);
    const auto a = unknown.choose(0x378);
    EXPECT_EQ(a.name, "none: unknown DLPORTIO_BACKEND 'parallel' (use " + names_from_table() + ")");
    EXPECT_EQ(dlportio::backend_names(), names_from_table()) << "as the other layers say it";
    EXPECT_TRUE(reads_as_no_board(*a.backend));

    {
        const ScopedEnv fault("DLPORTIO_SIM_FAULT", "flip");
        Selector bad_fault(settings("sim"), device_);
        const auto b = bad_fault.choose(0x378);
        EXPECT_EQ(b.name.rfind("none: unknown DLPORTIO_SIM_FAULT 'flip'", 0), 0u) << b.name;
        EXPECT_TRUE(reads_as_no_board(*b.backend));
    }

    const ScopedEnv folder("DLPORTIO_SIM_RAM", scratch_.path().c_str());  // a folder, not a file
    Selector bad_ram(settings("sim"), device_);
    const auto c = bad_ram.choose(0x378);
    EXPECT_EQ(c.name.rfind("none: simulated board unavailable: cannot open", 0), 0u) << c.name;
    EXPECT_TRUE(reads_as_no_board(*c.backend));
}

TEST_F(SelectionTest, SimWithAFaultNamesIt) {
    const ScopedEnv fault("DLPORTIO_SIM_FAULT", "stuck-low");
    Selector selector(settings("sim"), device_);
    EXPECT_EQ(selector.choose(0x378).name,
              "sim (RAM " + (scratch_ / "board.ram").string() + ", fault stuck-low)");
}

TEST_F(SelectionTest, TraceRecordsWritesAndFoldsRunsOfEqualReads) {
    Settings s = settings("sim");
    s.trace = (scratch_ / "trace.txt").string();
    {
        Selector selector(s, device_);
        auto& port = *selector.choose(0x378).backend;
        port.write_data(0xC8);
        for (int i = 0; i < 12; ++i) {
            port.read_status();
        }
        port.write_data(0xC9);
        port.read_status();
    }
    std::ifstream in(scratch_ / "trace.txt");
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::string expected_tail = "# dlportio: port 0x378: sim (RAM " +
                                      (scratch_ / "board.ram").string() +
                                      ")\nW 0378 C8\nR 0379 7F x12\nW 0378 C9\nR 0379 7F\n";
    ASSERT_GE(text.size(), expected_tail.size());
    EXPECT_EQ(text.rfind("# dlportio trace, process ", 0), 0u) << text;
    EXPECT_EQ(text.substr(text.size() - expected_tail.size()), expected_tail) << text;
}

TEST_F(SelectionTest, UnwritableTraceIsReportedAndAccessesStillWork) {
    Settings s = settings("sim");
    s.trace = (scratch_ / "no/such/folder/trace.txt").string();
    Selector selector(s, device_);
    EXPECT_NE(selector.trace_error().find("cannot open trace file"), std::string::npos);
    BoardDriver drive(*selector.choose(0x378).backend);
    drive.hold();
    drive.store(0x0001, 0x42);
    EXPECT_EQ(drive.fetch(0x0001), 0x42);
}

// The port instructions on an ISA bus: a port's registers keep what is
// written (the data register reads back its latch), an address with no port
// behind it reads FF and keeps nothing.
class FakePortIo final : public dlportio::PortIo {
public:
    std::vector<std::string> log;
    int ioperm_errno = 0;
    bool is_root = true;
    std::map<unsigned long, std::uint8_t> registers;
    std::set<unsigned long> empty;  // addresses with no port behind them

    int ioperm(unsigned long from, unsigned long count, int on) override {
        log.push_back("ioperm " + hex(from) + " " + std::to_string(count) + " " +
                      std::to_string(on));
        if (ioperm_errno != 0) {
            errno = ioperm_errno;
            return -1;
        }
        return 0;
    }
    void outb(std::uint8_t value, unsigned long port) override {
        log.push_back("outb " + hex(value) + " " + hex(port));
        if (empty.count(port) == 0) {
            registers[port] = value;
        }
    }
    std::uint8_t inb(unsigned long port) override {
        log.push_back("inb " + hex(port));
        if (empty.count(port) != 0) {
            return 0xFF;
        }
        return registers.count(port) != 0 ? registers[port] : 0x7F;
    }
    bool root() override { return is_root; }
    static std::string hex(unsigned long value) {
        char text[24];
        std::snprintf(text, sizeof text, "%lX", value);
        return text;
    }
};

TEST_F(SelectionTest, BaseVariableTakesTheDirectBackEndToACardAddress) {
    FakePortIo io;
    io.registers[0xD012] = 0x2C;  // found in bidirectional mode
    Settings s = settings("direct");
    s.base = "0xD010";
    {
        Selector selector(s, device_, io);
        const auto choice = selector.choose(0x378);
        EXPECT_EQ(choice.name, "direct I/O at 0xD010");
        EXPECT_EQ(choice.address, 0xD010u) << "the address really driven, for messages";
        EXPECT_EQ(selector.choose(0x278).backend, choice.backend) << "one claim of the range";
        choice.backend->write_data(0xC8);
        EXPECT_EQ(choice.backend->read_status(), 0x7F);
    }
    EXPECT_EQ(io.log, (std::vector<std::string>{
                          "ioperm D010 3 1", "inb D012", "outb C D012", "inb D010", "outb C8 D010",
                          "inb D010", "outb CD D010", "inb D010", "outb 7F D010", "outb C8 D010",
                          "inb D011", "outb 2C D012", "ioperm D010 3 0"}))
        << "data lines made to drive and their latch checked at start with strobes inactive and "
           "the reset line kept, control register restored at the end";
}

TEST_F(SelectionTest, BaseVariablePicksTheMatchingPpdevDevice) {
    machine_has_port_at("888", 0);
    machine_has_port_at("53264", 1);  // 0xD010
    Settings s = settings("auto");
    s.base = "53264";
    Selector selector(s, device_);
    const auto choice = selector.choose(0x378);
    EXPECT_EQ(choice.name, "ppdev " + dev("parport1"));
    EXPECT_EQ(choice.address, 0xD010u);
    s.base = "0xD01G";
    Selector wrong(s, device_);
    EXPECT_EQ(wrong.choose(0x378).name,
              "none: DLPORTIO_BASE '0xD01G' is no I/O address (write it as 0xD010, below "
              "0x10000)");
}

struct DirectRefusal {
    const char* label;
    int err;
    bool root;
    const char* lockdown;  // content of the kernel's lockdown file; null: not mounted
    bool secure_boot;
    std::string said;
};

class DirectRefusalTest : public SelectionTest,
                          public ::testing::WithParamInterface<DirectRefusal> {};

TEST_P(DirectRefusalTest, EachRefusalSaysItsOwnReason) {
    const DirectRefusal& c = GetParam();
    FakePortIo io;
    io.ioperm_errno = c.err;
    io.is_root = c.root;
    if (c.lockdown != nullptr) {
        scratch_.put("lockdown", c.lockdown);
    }
    scratch_.put("secureboot", std::string("\x06\0\0\0", 4) + (c.secure_boot ? '\x01' : '\0'));
    Selector selector(settings("direct"), device_, io);
    const auto choice = selector.choose(0x378);
    EXPECT_EQ(choice.name, "none: direct: " + c.said);
    EXPECT_TRUE(reads_as_no_board(*choice.backend));
}

INSTANTIATE_TEST_SUITE_P(
    Errnos, DirectRefusalTest,
    ::testing::Values(
        DirectRefusal{"no_ioperm", ENOSYS, true, "", false,
                      "this kernel or machine has no port I/O (ioperm: Function not implemented); "
                      "use DLPORTIO_BACKEND=ppdev"},
        DirectRefusal{"not_root", EPERM, false, "[none] integrity confidentiality\n", false,
                      "ioperm: Operation not permitted: direct I/O needs root or CAP_SYS_RAWIO; "
                      "DLPORTIO_BACKEND=ppdev needs neither"},
        DirectRefusal{"locked_down_by_command_line", EPERM, true,
                      "none [integrity] confidentiality\n", false,
                      "the kernel is locked down (integrity), which refuses port I/O even to "
                      "root (ioperm: Operation not permitted); use DLPORTIO_BACKEND=ppdev"},
        DirectRefusal{"locked_down_by_secure_boot", EPERM, false,
                      "none integrity [confidentiality]\n", true,
                      "the kernel is locked down (confidentiality), as Secure Boot has it, which "
                      "refuses port I/O even to root (ioperm: Operation not permitted); use "
                      "DLPORTIO_BACKEND=ppdev"},
        DirectRefusal{"root_without_securityfs", EPERM, true, nullptr, false,
                      "ioperm refused even to root (Operation not permitted): the kernel may be "
                      "locked down, which /sys/kernel/security/lockdown tells once securityfs is "
                      "mounted ('sudo mount "
                      "-t securityfs securityfs /sys/kernel/security'); use "
                      "DLPORTIO_BACKEND=ppdev"}),
    [](const auto& info) { return std::string(info.param.label); });

// /proc/ioports as root sees it on a PC with a serial port at 0x2F8 and the
// parallel-port driver on 0x378 (kernel/resource.c, drivers/tty/serial/8250/,
// drivers/parport/parport_pc.c); nothing is at 0x278.
constexpr const char* kIoports =
    "0000-0cf7 : PCI Bus 0000:00\n  0000-001f : dma1\n  02f8-02ff : serial\n"
    "  0378-037a : parport0\n  03c0-03df : vga+\n  0a00-0a0f : pnp 00:05\n"
    "0d00-ffff : PCI Bus 0000:00\n  d000-dfff : PCI Bus 0000:03\n    d010-d017 : 0000:03:00.0\n";

// Where the direct back end is asked to drive: the name it gets, or the
// start of its refusal, and whether the range was asked for at all.
class DirectAddressTest
    : public SelectionTest,
      public ::testing::WithParamInterface<std::tuple<const char*, bool, std::string>> {};

TEST_P(DirectAddressTest, AddressIsCheckedBeforeTheFirstTransfer) {
    const auto& [base, ioperm_asked, name] = GetParam();
    FakePortIo io;
    io.empty = {0x278, 0x279, 0x27A};
    scratch_.put("ioports", kIoports);
    machine_has_port_at("888");
    Settings s = settings("direct");
    s.base = base;
    Selector selector(s, device_, io);
    const auto choice = selector.choose(0x378);
    EXPECT_EQ(choice.name.substr(0, name.size()), name);
    EXPECT_EQ(choice.address, std::stoul(base, nullptr, 16)) << "messages name where it went";
    EXPECT_EQ(!io.log.empty(), ioperm_asked) << "a range refused up front is not asked for";
    if (choice.kind == dlportio::Kind::no_board && ioperm_asked) {
        EXPECT_TRUE(reads_as_no_board(*choice.backend));
        EXPECT_EQ(io.log.back(), "ioperm 278 3 0") << "the range is given back";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, DirectAddressTest,
    ::testing::Values(
        std::tuple{"0x2F8", false,
                   "none: direct: 0x2F8 belongs to the kernel driver 'serial' (/proc/ioports: "
                   "02f8-02ff : serial), not to a parallel port: refused, as writing there would "
                   "disturb it"},
        std::tuple{"0x278", true,
                   "none: direct: no parallel port at 0x278: its data register does not keep "
                   "what is written to it (it reads back as an empty address does); the machine "
                   "has parport0 at 0x378 (set DLPORTIO_BASE=0x378"},
        std::tuple{"0x378", true, "direct I/O at 0x378, "},
        std::tuple{"0xD010", true, "direct I/O at 0xD010"}),
    quillon_test::name_from([](const auto& c) { return std::get<0>(c); }));

// Direct I/O on a port the kernel knows holds its claim for life, as ppdev
// does: a holder is refused, named, and a ppdev user that comes later too.
class DirectClaimTest
    : public SelectionTest,
      public ::testing::WithParamInterface<std::tuple<const char*, bool, std::string>> {};

TEST_P(DirectClaimTest, NoOtherUserSharesThePort) {
    const auto& [holder, ppdev_loaded, said] = GetParam();
    machine_has_port_at("888");
    device_.mirror_into(scratch_ / "proc/parport0/devices");
    if (*holder != '\0') {
        device_.register_other(holder, true, true);
    }
    if (!ppdev_loaded) {
        device_.open_errno[dev("parport0")] = ENOENT;
    }
    FakePortIo io;
    Selector selector(settings("direct"), device_, io);
    const std::string name = std::regex_replace(said, std::regex("DEV"), dev("parport0"));
    EXPECT_EQ(selector.choose(0x378).name.substr(0, name.size()), name);
    std::string error;
    EXPECT_FALSE(dlportio::PpdevPort::open(dev("parport0"), device_, settings("").paths, error) &&
                 ppdev_loaded)
        << "a program that comes later";
}

INSTANTIATE_TEST_SUITE_P(
    Holders, DirectClaimTest,
    ::testing::Values(
        std::tuple{"", true,
                   std::string("direct I/O at 0x378, DEV claimed for this program alone")},
        std::tuple{"ppdev0", true,
                   std::string("none: direct: cannot claim DEV: another program holds the port "
                               "(ppdev0), e.g. a quillon window left open: close it")},
        std::tuple{"", false,
                   std::string("direct I/O at 0x378; warning: the port is not claimed (cannot "
                               "open DEV: No such file or directory")}));

TEST_F(SelectionTest, UsbPrinterAdapterIsNamedAndNeverReplacedByTheSimulatedBoard) {
    scratch_.put("usbmisc/lp0/dev", "180:0\n");
    Selector selector(settings("auto"), device_);
    const auto choice = selector.choose(0x378);
    EXPECT_NE(choice.name.find("USB printer adapter (" + dev("usb/lp0") +
                               "), which cannot drive "
                               "the board"),
              std::string::npos)
        << choice.name;
    EXPECT_TRUE(reads_as_no_board(*choice.backend));
    EXPECT_FALSE(std::filesystem::exists(scratch_ / "board.ram"));
}

TEST_F(SelectionTest, UsbAttachedParportIsUsedWithAWarning) {
    machine_has_port_at("0", 0);
    Selector listed(settings("auto"), device_);
    EXPECT_NE(listed.choose(0x378).name.find("parport0, a USB-attached port (base 0"),
              std::string::npos);
    Settings s = settings("auto");
    s.device = dev("parport0");
    Selector chosen(s, device_);
    const auto choice = chosen.choose(0x378);
    EXPECT_EQ(choice.kind, dlportio::Kind::real_port);
    EXPECT_NE(choice.name.find("; warning: a USB-attached port (base 0, e.g. uss720 or mos7715): "
                               "very slow, and it may answer status reads from a copy"),
              std::string::npos)
        << choice.name;
}

// Only the simulated board, traced or not, lets the library's pauses pass in
// its own time; on a real port, or with none, they stay real.
TEST_F(SelectionTest, OnlyTheSimulatedBoardPassesPausesInItsOwnTime) {
    machine_has_port_at("888");
    FakePortIo io;
    Settings traced = settings("sim");
    traced.trace = (scratch_ / "trace.txt").string();
    const std::pair<Settings, bool> boards[] = {{settings("ppdev"), false},
                                                {settings("direct"), false},
                                                {settings("parallel"), false},
                                                {settings("sim"), true},
                                                {traced, true}};
    for (const auto& [board, passes] : boards) {
        Selector selector(board, device_, io);
        const auto choice = selector.choose(0x378);
        SCOPED_TRACE(choice.name);
        EXPECT_EQ(choice.backend->pass_time(500), passes);
    }
}

}  // namespace
