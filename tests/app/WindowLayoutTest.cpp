#include "app/WindowLayout.h"

#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/TempDir.h"

namespace {

TEST(WindowLayoutTest, WrittenLayoutReadsBackAndEveryOtherLineStays)
{
    const TTempDir dir;
    const auto file = dir.WriteFile("veltrane.INI", "; kept\r\n[General]\r\nTipsOnStartUp=0\r\n");
    const TWindowLayout layout{-1200, 40, 1100, 700, true, {400, 150, 120}, {240, 500, 62, 80},
                               {82, 300, 118, 75, 180}, {25, 130, 400, 120, 180}};
    layout.Write(file);
    EXPECT_EQ(TWindowLayout::Read(file), layout);
    const std::string text = TTempDir::ReadFile(file);
    EXPECT_EQ(text.rfind("; kept\r\n[General]\r\nTipsOnStartUp=0\r\n[Window]\r\n", 0), 0u) << text;
}

struct TDamagedCase {
    const char* Name;
    const char* Window;  // the "[Window]" section's lines
    bool Usable;
    int Left;
    std::size_t Panes;
};

class WindowLayoutDamageTest : public testing::TestWithParam<TDamagedCase> {};

TEST_P(WindowLayoutDamageTest, ValuesOutOfRangeFallBackToTheFirstStart)
{
    const TDamagedCase& row = GetParam();
    const TTempDir dir;
    const std::optional<TWindowLayout> layout =
        TWindowLayout::Read(dir.WriteFile("veltrane.INI", std::string("[Window]\n") + row.Window));
    ASSERT_EQ(layout.has_value(), row.Usable);
    if (layout) {
        EXPECT_EQ(layout->Left, row.Left);
        EXPECT_EQ(layout->PaneHeights.size(), row.Panes);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WindowLayoutDamageTest,
    testing::Values(TDamagedCase{"Whole", "Left=5\nWidth=800\nHeight=600\nPanes=300,100,90\n", true, 5, 3},
                    TDamagedCase{"NoWidth", "Height=600\nPanes=300,100,90\n", false, 0, 0},
                    TDamagedCase{"FarAwayPlace", "Left=-900000\nWidth=800\nHeight=600\n", true, 0, 0},
                    TDamagedCase{"WordInList", "Width=800\nHeight=600\nPanes=300,abc,90\n", true, 0, 0},
                    TDamagedCase{"TrailingComma", "Width=800\nHeight=600\nPanes=300,100,\n", true, 0, 0}),
    [](const testing::TestParamInfo<TDamagedCase>& row) { return std::string(row.param.Name); });

}  // namespace
