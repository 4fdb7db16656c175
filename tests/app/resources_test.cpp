// What both builds of tolvane.exe carry for Windows to read before the
// program runs: the application manifest, the icon group and the version
// information. The x86 build cannot run here, but its resources can be read
// as data by this 64-bit process.
#include "base/unique_handle.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Build {
    const char* name;
    const wchar_t* exe;
    const char* architecture; // as the Common Controls dependency names it
};

void PrintTo(const Build& build, std::ostream* out)
{
    *out << build.name;
}

struct ModuleTraits {
    using Type = HMODULE;
    static Type Invalid() { return nullptr; }
    static bool Release(Type h) { return FreeLibrary(h) != FALSE; }
};
using UniqueModule = UniqueHandle<ModuleTraits>;

UniqueModule LoadAsData(const wchar_t* exe)
{
    return UniqueModule(LoadLibraryExW(exe, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
}

// The bytes of one resource; empty when the module has none of that name.
std::string ResourceBytes(HMODULE module, const wchar_t* type, const wchar_t* name)
{
    HRSRC found = FindResourceW(module, name, type);
    if (!found)
        return {};
    HGLOBAL loaded = LoadResource(module, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes)
        return {};
    return std::string(static_cast<const char*>(bytes), SizeofResource(module, found));
}

std::wstring Widen(const char* text)
{
    return std::wstring(text, text + std::strlen(text));
}

class Resources : public testing::TestWithParam<Build> {
protected:
    void SetUp() override
    {
        module_ = LoadAsData(GetParam().exe);
        ASSERT_TRUE(module_) << "cannot read " << GetParam().name << " build " << testing::PrintToString(GetParam().exe)
                             << " (error " << GetLastError() << "); scripts/test builds it before this test";
    }
    HMODULE Module() const { return module_.Get(); }

private:
    UniqueModule module_;
};

std::string Manifest(HMODULE module)
{
    return ResourceBytes(module, RT_MANIFEST, CREATEPROCESS_MANIFEST_RESOURCE_ID);
}

// The manifest's text without the line breaks and indentation between
// attributes, so that one element reads as one line.
std::string Flattened(const std::string& text)
{
    std::string flat;
    bool space = false;
    for (char c : text) {
        if (c == ' ' || c == '\n' || c == '\r' || c == '\t') {
            space = true;
            continue;
        }
        if (space && !flat.empty() && flat.back() != '>' && c != '<')
            flat += ' ';
        space = false;
        flat += c;
    }
    return flat;
}

TEST_P(Resources, ManifestAsksForNoElevationAndNoVirtualization)
{
    const std::string manifest = Flattened(Manifest(Module()));
    ASSERT_FALSE(manifest.empty()) << "no RT_MANIFEST resource 1";
    EXPECT_NE(manifest.find("<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\"><security><requestedPrivileges>"
                            "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"),
              std::string::npos)
        << manifest;
}

TEST_P(Resources, ManifestDeclaresWindows7To11)
{
    const std::string manifest = Flattened(Manifest(Module()));
    const char* systems[] = {
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", // Windows 7
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", // Windows 8
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", // Windows 8.1
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", // Windows 10 and 11
    };
    size_t compatibility = manifest.find("<compatibility xmlns=\"urn:schemas-microsoft-com:compatibility.v1\">");
    ASSERT_NE(compatibility, std::string::npos) << manifest;
    for (const char* id : systems)
        EXPECT_NE(manifest.find("<supportedOS Id=\"" + std::string(id) + "\"/>", compatibility), std::string::npos)
            << id;
}

TEST_P(Resources, ManifestDeclaresPerMonitorDpiAwarenessAndLongPaths)
{
    const std::string manifest = Flattened(Manifest(Module()));
    EXPECT_NE(manifest.find("<application xmlns=\"urn:schemas-microsoft-com:asm.v3\"><windowsSettings>"),
              std::string::npos)
        << manifest;
    EXPECT_NE(manifest.find("<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">"
                            "PerMonitorV2, PerMonitor</dpiAwareness>"),
              std::string::npos);
    EXPECT_NE(manifest.find("<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">"
                            "true/pm</dpiAware>"),
              std::string::npos);
    EXPECT_NE(manifest.find("<longPathAware xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">"
                            "true</longPathAware>"),
              std::string::npos);
}

TEST_P(Resources, ManifestBindsCommonControls6ForItsArchitecture)
{
    const std::string manifest = Flattened(Manifest(Module()));
    EXPECT_NE(manifest.find("<assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" "
                            "version=\"6.0.0.0\" processorArchitecture=\"" +
                            std::string(GetParam().architecture) +
                            "\" publicKeyToken=\"6595b64144ccf1df\" language=\"*\"/>"),
              std::string::npos)
        << manifest;
}

// The same manifest read by the system's own loader, as it reads it when the
// program starts: namespaces and element nesting have to be right for these
// settings to be seen at all. This 64-bit process has no x86 Common Controls
// to bind, so the x86 manifest is read from a copy whose dependency names
// this process's architecture; everything else is the x86 build's own text.
TEST_P(Resources, ManifestIsReadByTheLoaderAsDeclared)
{
    ACTCTXW request{};
    request.cbSize = sizeof(request);
    std::wstring copy;
    if (std::string(GetParam().architecture) == "amd64") {
        request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
        request.lpSource = GetParam().exe;
        request.lpResourceName = CREATEPROCESS_MANIFEST_RESOURCE_ID;
    } else {
        std::string manifest = Manifest(Module());
        const std::string from = "processorArchitecture=\"" + std::string(GetParam().architecture) + "\"";
        size_t at = manifest.find(from);
        ASSERT_NE(at, std::string::npos);
        manifest.replace(at, from.size(), "processorArchitecture=\"amd64\"");
        wchar_t folder[MAX_PATH] = L"", name[MAX_PATH] = L"";
        GetTempPathW(MAX_PATH, folder);
        GetTempFileNameW(folder, L"man", 0, name);
        copy = name;
        UniqueFile file(CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        ASSERT_TRUE(file &&
                    WriteFile(file.Get(), manifest.data(), static_cast<DWORD>(manifest.size()), &written, nullptr));
        file.Close();
        request.lpSource = copy.c_str();
    }
    HANDLE context = CreateActCtxW(&request);
    if (!copy.empty())
        DeleteFileW(copy.c_str());
    ASSERT_NE(context, INVALID_HANDLE_VALUE) << "error " << GetLastError();

    auto setting = [&](const wchar_t* ns, const wchar_t* name) {
        wchar_t value[64] = L"";
        SIZE_T written = 0;
        if (!QueryActCtxSettingsW(0, context, ns, name, value, std::size(value), &written))
            return std::wstring(L"<missing>");
        return std::wstring(value);
    };
    const wchar_t* ns2005 = L"http://schemas.microsoft.com/SMI/2005/WindowsSettings";
    const wchar_t* ns2016 = L"http://schemas.microsoft.com/SMI/2016/WindowsSettings";
    EXPECT_EQ(setting(ns2016, L"dpiAwareness"), L"PerMonitorV2, PerMonitor");
    EXPECT_EQ(setting(ns2005, L"dpiAware"), L"true/pm");
    EXPECT_EQ(setting(ns2016, L"longPathAware"), L"true");

    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION runLevel{};
    ASSERT_TRUE(
        QueryActCtxW(0, context, nullptr, RunlevelInformationInActivationContext, &runLevel, sizeof(runLevel), nullptr))
        << "error " << GetLastError();
    EXPECT_EQ(runLevel.RunLevel, ACTCTX_RUN_LEVEL_AS_INVOKER);
    EXPECT_EQ(runLevel.UiAccess, 0u);
    ReleaseActCtx(context);
}

// Icon group 1 as the shell reads it: one directory entry per image.
#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width; // 0 stands for 256
    BYTE height;
    BYTE colourCount;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytesInResource;
    WORD id;
};
struct GroupIconHeader {
    WORD reserved;
    WORD type;
    WORD count;
};
#pragma pack(pop)

struct IconImage {
    int size;
    int bitCount;
    std::string bytes;
};

std::vector<IconImage> IconGroupImages(HMODULE module)
{
    std::vector<IconImage> images;
    const std::string group = ResourceBytes(module, RT_GROUP_ICON, MAKEINTRESOURCEW(1));
    if (group.size() < sizeof(GroupIconHeader))
        return images;
    GroupIconHeader header;
    std::memcpy(&header, group.data(), sizeof(header));
    for (int i = 0; i < header.count; ++i) {
        size_t offset = sizeof(header) + i * sizeof(GroupIconEntry);
        if (offset + sizeof(GroupIconEntry) > group.size())
            break;
        GroupIconEntry entry;
        std::memcpy(&entry, group.data() + offset, sizeof(entry));
        images.push_back({entry.width ? entry.width : 256, entry.bitCount,
                          ResourceBytes(module, RT_ICON, MAKEINTRESOURCEW(entry.id))});
    }
    return images;
}

bool IsPng(const std::string& bytes)
{
    return bytes.size() > 8 && bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0;
}

// Pixels of a 32-bit DIB image that carry ink (alpha above zero).
int InkPixels(const IconImage& image)
{
    BITMAPINFOHEADER header;
    if (image.bytes.size() < sizeof(header))
        return -1;
    std::memcpy(&header, image.bytes.data(), sizeof(header));
    if (header.biWidth != image.size || header.biHeight != 2 * image.size || header.biBitCount != 32)
        return -1;
    const size_t pixels = static_cast<size_t>(image.size) * image.size;
    if (image.bytes.size() < sizeof(header) + pixels * 4)
        return -1;
    int ink = 0;
    for (size_t i = 0; i < pixels; ++i)
        ink += static_cast<unsigned char>(image.bytes[sizeof(header) + i * 4 + 3]) != 0;
    return ink;
}

TEST_P(Resources, IconGroupHoldsOneImageForEverySize)
{
    std::vector<IconImage> images = IconGroupImages(Module());
    std::vector<int> sizes;
    for (const IconImage& image : images)
        sizes.push_back(image.size);
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ(sizes, (std::vector<int>{16, 20, 24, 32, 48, 256}));

    for (const IconImage& image : images) {
        SCOPED_TRACE(image.size);
        EXPECT_EQ(image.bitCount, 32);
        if (image.size == 256) {
            EXPECT_TRUE(IsPng(image.bytes)) << "the 256-pixel image is stored as PNG";
            continue;
        }
        // Letters on a transparent ground: some ink, mostly clear.
        int ink = InkPixels(image);
        EXPECT_GT(ink, image.size) << "not a 32-bit image of its own size";
        EXPECT_LT(ink, image.size * image.size / 2);
        // The system takes it as an icon of that size.
        std::string bytes = image.bytes;
        HICON icon = CreateIconFromResourceEx(reinterpret_cast<BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()),
                                              TRUE, 0x00030000, image.size, image.size, LR_DEFAULTCOLOR);
        EXPECT_NE(icon, nullptr);
        if (icon)
            DestroyIcon(icon);
    }
}

struct VersionInfo {
    std::vector<BYTE> block;

    const VS_FIXEDFILEINFO* Fixed() const
    {
        void* value = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(block.data(), L"\\", &value, &length) || length < sizeof(VS_FIXEDFILEINFO))
            return nullptr;
        return static_cast<const VS_FIXEDFILEINFO*>(value);
    }

    std::wstring String(const wchar_t* name) const
    {
        void* value = nullptr;
        UINT length = 0;
        std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        if (!VerQueryValueW(block.data(), key.c_str(), &value, &length) || !value)
            return L"<missing>";
        return static_cast<const wchar_t*>(value);
    }
};

VersionInfo ReadVersionInfo(const wchar_t* exe)
{
    VersionInfo info;
    DWORD size = GetFileVersionInfoSizeW(exe, nullptr);
    if (size == 0)
        return info;
    info.block.resize(size);
    if (!GetFileVersionInfoW(exe, 0, size, info.block.data()))
        info.block.clear();
    return info;
}

TEST_P(Resources, VersionInformationNamesTheProgramAndItsVersion)
{
    VersionInfo info = ReadVersionInfo(GetParam().exe);
    ASSERT_FALSE(info.block.empty()) << "no version information, error " << GetLastError();
    const VS_FIXEDFILEINFO* fixed = info.Fixed();
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    const DWORD high = MAKELONG(TOLVANE_VERSION_MINOR, TOLVANE_VERSION_MAJOR);
    const DWORD low = MAKELONG(0, TOLVANE_VERSION_PATCH);
    EXPECT_EQ(fixed->dwFileVersionMS, high);
    EXPECT_EQ(fixed->dwFileVersionLS, low);
    EXPECT_EQ(fixed->dwProductVersionMS, high);
    EXPECT_EQ(fixed->dwProductVersionLS, low);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, 0u) << "no debug, pre-release or patched flag";

    const std::wstring version = Widen(TOLVANE_VERSION);
    EXPECT_EQ(info.String(L"ProductName"), L"Tolvane");
    EXPECT_EQ(info.String(L"FileVersion"), version);
    EXPECT_EQ(info.String(L"ProductVersion"), version);
    EXPECT_EQ(info.String(L"OriginalFilename"), L"tolvane.exe");
    const std::wstring description = info.String(L"FileDescription");
    EXPECT_NE(description, L"<missing>");
    EXPECT_EQ(description.find(L'\n'), std::wstring::npos) << "one line";
    EXPECT_GT(description.size(), 10u);
}

const Build kBuilds[] = {
    {"x86", TOLVANE_X86_EXE, "x86"},
    {"x64", TOLVANE_X64_EXE, "amd64"},
};

INSTANTIATE_TEST_SUITE_P(Builds, Resources, testing::ValuesIn(kBuilds),
                         [](const testing::TestParamInfo<Build>& info) { return info.param.name; });

} // namespace
