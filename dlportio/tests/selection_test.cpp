#include "selection.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "board_driver.h"
#include "fake_device.h"
#include "quillon_test/scratch_folder.h"

namespace {

using quillon_test::ScratchFolder;

using dlportio::Selector;
using dlportio::Settings;

class SelectionTest : public ::testing::Test {
protected:
    Settings settings(const std::string& backend) const {
        Settings s;
        s.backend = backend;
        s.sim_ram = (scratch_ / "board.ram").string();
        s.paths = {scratch_ / "proc", scratch_ / "dev", scratch_ / "pnp"};
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
    EXPECT_EQ(choice.name.rfind("none: no parallel port at this address", 0), 0u) << choice.name;
    EXPECT_NE(choice.note.find("0x378 " + dev("parport0")), std::string::npos) << choice.note;
    EXPECT_NE(choice.note.find("DLPORTIO_DEVICE"), std::string::npos) << choice.note;
    EXPECT_NE(choice.note.find("the data input reads high"), std::string::npos) << choice.note;
    EXPECT_TRUE(reads_as_no_board(*choice.backend));
    EXPECT_FALSE(std::filesystem::exists(scratch_ / "board.ram"));
}

TEST_F(SelectionTest, AutoWithAPortButNoDriverTellsToLoadIt) {
    scratch_.put("pnp/00:07/id", "PNP0400\n");
    Selector selector(settings("auto"), device_);
    const auto choice = selector.choose(0x378);
    EXPECT_NE(choice.name.find("modprobe parport_pc ppdev"), std::string::npos) << choice.name;
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
    EXPECT_NE(choice.name.find("0x3BC " + dev("parport1")), std::string::npos) << choice.name;
    EXPECT_TRUE(device_.log.empty());
}

TEST_F(SelectionTest, WrongSettingsGiveNoBoardNeverAnotherBoard) {
    Selector unknown(settings("parallel"), device_);
    const auto a = unknown.choose(0x378);
    EXPECT_EQ(a.name, "none: unknown DLPORTIO_BACKEND 'parallel' (use auto, sim, ppdev or direct)");
    EXPECT_TRUE(reads_as_no_board(*a.backend));

    Settings s = settings("sim");
    s.sim_fault = "flip";
    Selector bad_fault(s, device_);
    const auto b = bad_fault.choose(0x378);
    EXPECT_EQ(b.name.rfind("none: unknown DLPORTIO_SIM_FAULT 'flip'", 0), 0u) << b.name;
    EXPECT_TRUE(reads_as_no_board(*b.backend));

    s = settings("sim");
    s.sim_ram = scratch_.path().string();  // a folder, not a file
    Selector bad_ram(s, device_);
    const auto c = bad_ram.choose(0x378);
    EXPECT_EQ(c.name.rfind("none: simulated board unavailable: cannot open", 0), 0u) << c.name;
    EXPECT_TRUE(reads_as_no_board(*c.backend));
}

TEST_F(SelectionTest, SimWithAFaultNamesIt) {
    Settings s = settings("sim");
    s.sim_fault = "stuck-low";
    Selector selector(s, device_);
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

}  // namespace
