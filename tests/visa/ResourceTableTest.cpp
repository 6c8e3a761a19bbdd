#include "CResourceTable.h"

#include <gtest/gtest.h>

TEST(ResourceTable, SerialDevicesAreNumberedInFamilyThenNumberOrder)
{
    const auto table =
        CResourceTable::FromSerialDevices({"/dev/ttyUSB0", "/dev/ttyS10", "/dev/ttyACM0", "/dev/ttyS2", "/dev/ttyS0"});
    std::vector<std::pair<std::string, std::string>> got;
    for (const auto &resource : table.Resources())
        got.emplace_back(resource.name, resource.device);
    EXPECT_EQ(got, (std::vector<std::pair<std::string, std::string>>{{"ASRL1::INSTR", "/dev/ttyS0"},
                                                                     {"ASRL2::INSTR", "/dev/ttyS2"},
                                                                     {"ASRL3::INSTR", "/dev/ttyS10"},
                                                                     {"ASRL4::INSTR", "/dev/ttyUSB0"},
                                                                     {"ASRL5::INSTR", "/dev/ttyACM0"}}));
}

TEST(ResourceTable, TargetsAndMalformedLines)
{
    const auto table = CResourceTable::Parse("ASRL1::INSTR serial:/dev/ttyUSB0\n"
                                             "GPIB0::22::INSTR   tcp:[::1]:5025\n"
                                             "ASRL3::INSTR sim:rel/scn.json\n"
                                             "ASRL4::INSTR sim:/abs/scn.json\n"
                                             "ASRL1::INSTR serial:/dev/ttyS0\n"
                                             "GPIB0::7::INSTR tcp::5025\n"
                                             "GPIB0::8::INSTR\n"
                                             "GPIB0::9 serial:/dev/x\n",
                                             "t.conf", "/etc/karvel");
    ASSERT_EQ(table.Resources().size(), 4u);
    EXPECT_EQ(table.Resources()[1].host, "[::1]");
    EXPECT_EQ(table.Resources()[1].port, "5025");
    EXPECT_EQ(table.Resources()[2].scenario, "/etc/karvel/rel/scn.json");
    EXPECT_EQ(table.Resources()[3].scenario, "/abs/scn.json");
    ASSERT_EQ(table.Diagnostics().size(), 4u);
    EXPECT_EQ(table.Diagnostics()[0], "t.conf:5: resource \"ASRL1::INSTR\" is listed twice");
    EXPECT_EQ(table.Diagnostics()[1].substr(0, 9), "t.conf:6:");
    EXPECT_EQ(table.Diagnostics()[2], "t.conf:7: no target after \"GPIB0::8::INSTR\"");
    EXPECT_EQ(table.Diagnostics()[3].substr(0, 9), "t.conf:8:");
}
