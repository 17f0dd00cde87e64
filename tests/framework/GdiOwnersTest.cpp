// Owners of GDI handles: counted, moved, released once; select guards put back what they replaced.
#include "framework/Gdi.h"

#include <gtest/gtest.h>

TEST(GdiOwners, CountLiveHandlesAndReleaseThemOnce)
{
    int before = gdi::LiveObjects();
    {
        gdi::Brush brush(::CreateSolidBrush(RGB(1, 2, 3)));
        gdi::Pen pen(::CreatePen(PS_SOLID, 1, RGB(4, 5, 6)));
        EXPECT_EQ(gdi::LiveObjects(), before + 2);
        gdi::Brush moved(std::move(brush));
        EXPECT_FALSE(brush);
        EXPECT_TRUE(moved);
        EXPECT_EQ(gdi::LiveObjects(), before + 2);
        moved = gdi::Brush(::CreateSolidBrush(RGB(7, 8, 9)));
        EXPECT_EQ(gdi::LiveObjects(), before + 2) << "the replaced brush is released";
    }
    EXPECT_EQ(gdi::LiveObjects(), before);
}

TEST(GdiOwners, ReleasedHandleIsTheCallersAndNoLongerCounted)
{
    int before = gdi::LiveObjects();
    HBRUSH raw;
    {
        gdi::Brush brush(::CreateSolidBrush(RGB(10, 20, 30)));
        raw = brush.release();
    }
    EXPECT_EQ(gdi::LiveObjects(), before);
    LOGBRUSH lb = {};
    EXPECT_EQ(::GetObjectA(raw, sizeof(lb), &lb), static_cast<int>(sizeof(lb))) << "still alive";
    EXPECT_EQ(lb.lbColor, RGB(10, 20, 30));
    ::DeleteObject(raw);
}

TEST(GdiOwners, SelectGuardRestoresThePreviousObject)
{
    gdi::MemoryDC dc(nullptr);
    HGDIOBJ original = ::GetCurrentObject(dc, OBJ_BRUSH);
    gdi::Brush brush(::CreateSolidBrush(RGB(200, 0, 0)));
    {
        gdi::SelectGuard select(dc, brush.get());
        EXPECT_EQ(::GetCurrentObject(dc, OBJ_BRUSH), brush.get());
    }
    EXPECT_EQ(::GetCurrentObject(dc, OBJ_BRUSH), original);
}

TEST(GdiOwners, MemoryDcIsCountedAndDeleted)
{
    int before = gdi::LiveObjects();
    HDC raw;
    {
        gdi::MemoryDC dc(nullptr);
        raw = dc;
        EXPECT_EQ(gdi::LiveObjects(), before + 1);
        EXPECT_EQ(::GetObjectType(raw), static_cast<DWORD>(OBJ_MEMDC));
    }
    EXPECT_EQ(gdi::LiveObjects(), before);
}
