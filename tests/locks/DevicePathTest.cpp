#include "locks/DevicePath.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

std::wstring Convert(const std::wstring& target, const std::wstring& path)
{
    std::wstring device = L"<failed>";
    return DevicePathFromTarget(target, path, device) ? device : L"<failed>";
}

TEST(DevicePathTest, LocalSubstitutedAndNetworkTargets)
{
    EXPECT_EQ(L"\\Device\\HarddiskVolume1\\dir\\file.txt",
              Convert(L"\\Device\\HarddiskVolume1", L"C:\\dir\\file.txt"));
    EXPECT_EQ(L"\\Device\\HarddiskVolume1", Convert(L"\\Device\\HarddiskVolume1", L"C:"));
    // A substituted drive turns back into a drive-letter path.
    EXPECT_EQ(L"C:\\base\\dir\\a.txt", Convert(L"\\??\\C:\\base", L"S:\\dir\\a.txt"));
    EXPECT_EQ(L"\\Device\\LanmanRedirector\\server\\share\\dir\\a.txt",
              Convert(L"\\Device\\LanmanRedirector\\;Z:0\\server\\share", L"Z:\\dir\\a.txt"));
}

TEST(DevicePathTest, NetworkTargetMustScanIntoThreeFields)
{
    EXPECT_EQ(L"<failed>", Convert(L"\\Device\\LanmanRedirector\\;Z:x1\\server\\share", L"Z:\\a.txt"));
    EXPECT_EQ(L"<failed>", Convert(L"\\Device\\LanmanRedirector\\;Z:0", L"Z:\\a.txt"));
    EXPECT_EQ(L"<failed>", Convert(L"\\Device\\LanmanRedirector\\Z:0\\server", L"Z:\\a.txt"));
}

TEST(DevicePathTest, SystemDrivesAndUnknownDevices)
{
    wchar_t target[4096];
    ASSERT_NE(0u, ::QueryDosDeviceW(L"C:", target, 4096));
    std::wstring device;
    ASSERT_TRUE(DosPathToDevicePath(L"C:\\dir\\f.txt", device));
    EXPECT_EQ(std::wstring(target) + L"\\dir\\f.txt", device);
    // A UNC path's first two characters are no device.
    EXPECT_FALSE(DosPathToDevicePath(L"\\\\server\\share\\f.txt", device));
}

TEST(DevicePathTest, HandleNamesAreBroughtIntoOneComparableForm)
{
    wchar_t target[4096];
    ASSERT_NE(0u, ::QueryDosDeviceW(L"C:", target, 4096));
    HandleNameNormalizer normalizer;
    EXPECT_EQ(std::wstring(target) + L"\\dir\\f.txt", normalizer.ComparableForm(L"\\??\\C:\\dir\\f.txt"));
    EXPECT_EQ(std::wstring(target) + L"\\dir", normalizer.ComparableForm(L"\\??\\c:\\dir"));
    // A share's file, opened through a mapped drive or by the share's name.
    const std::wstring shared = L"\\Device\\Mup\\server\\share\\f.txt";
    EXPECT_EQ(shared, normalizer.ComparableForm(L"\\Device\\Mup\\;LanmanRedirector\\;Z:0000000001a2b3\\server\\share\\f.txt"));
    EXPECT_EQ(shared, normalizer.ComparableForm(L"\\Device\\LanmanRedirector\\;Z:0\\server\\share\\f.txt"));
    // Local device names, and \??\ names without a drive letter, stay as they are.
    EXPECT_EQ(L"\\Device\\HarddiskVolume7\\;x", normalizer.ComparableForm(L"\\Device\\HarddiskVolume7\\;x"));
    EXPECT_EQ(L"\\??\\UNC\\server\\share", normalizer.ComparableForm(L"\\??\\UNC\\server\\share"));
    EXPECT_EQ(L"", normalizer.ComparableForm(L""));
}

} // namespace
