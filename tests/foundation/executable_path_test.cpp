// Where the running program lives, which places json.dll beside the host: here, this binary.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>

#include "platform_paths.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

using Osmer_Framework::Face::ExecutablePath;
using Osmer_Framework::Face::JsonLibraryPathFor;

TEST(ExecutablePath, NamesThisRunningProgram)
{
    const std::string path = ExecutablePath();
    ASSERT_FALSE(path.empty());
    const std::filesystem::path file(path);
    EXPECT_TRUE(file.is_absolute()) << path;
    EXPECT_TRUE(std::filesystem::is_regular_file(file)) << path;
    EXPECT_EQ(file.filename().string(), VV_TEST_BINARY_NAME) << path;
}

#ifdef _WIN32
// The wide path in the ANSI code page, as the ANSI API reports it: a drive-letter path with
// backslashes (Z:\... under wine), json.dll in its directory.
TEST(ExecutablePath, AgreesWithTheAnsiModuleFileNameAndPlacesJsonDllBesideIt)
{
    char ansi[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, ansi, MAX_PATH);
    ASSERT_GT(length, 0u);
    ASSERT_LT(length, 256u) << "the build directory is too deep for this comparison";
    const std::string path = ExecutablePath();
    EXPECT_EQ(path, std::string(ansi, length));
    EXPECT_TRUE(std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
                path[2] == '\\')
        << path;
    EXPECT_EQ(path.find('/'), std::string::npos) << path;
    const std::filesystem::path expected = std::filesystem::path(path).parent_path() / "json.dll";
    EXPECT_EQ(JsonLibraryPathFor(path), expected.string());
}

// A path of 256 characters or more comes back cut to 255 (the adapter's buffer holds 256);
// scripts/windows-check runs a copy of this program from that deep, the build tree skips it.
TEST(ExecutablePath, ALongPathComesBackCutTo255Characters)
{
    std::wstring whole(32768, L'\0');  // room for any path
    whole.resize(GetModuleFileNameW(nullptr, &whole[0], static_cast<DWORD>(whole.size())));
    if (whole.size() < 256) {
        GTEST_SKIP() << "this program's path is shorter than 256 characters";
    }
    const std::string cut = ExecutablePath();
    ASSERT_EQ(cut.size(), 255u) << cut;  // the copy's directory names are ASCII: one byte each
    EXPECT_TRUE(std::equal(cut.begin(), cut.end(), whole.begin(), [](char narrow, wchar_t wide) {
        return wchar_t(narrow) == wide;
    })) << cut;
}

#endif

}  // namespace
