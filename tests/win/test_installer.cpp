// The installer of this build as a user runs it: msiexec installs, installs the next version
// over it, and removes it again.
#include "wintest_support.h"

#include "foundation/vxFileUtils.h"
#include "foundation/vxShellLink.h"
#include "foundation/vxShellUtils.h"
#include "foundation/vxStrUtils.h"
#include "foundation/vxTaskScheduler.h"

#include <gtest/gtest.h>

#include <msi.h>
#include <shlobj.h>

namespace {
constexpr char UpgradeCode[] = "{6E1F3C2A-8B0D-4C55-9A7E-2F4D1B6C9E30}";

struct TInstalledProduct {
    std::string version;
    std::string publisher;
    std::string code;
};

std::string ProductInfo(const std::string& code, const char* property) {
    char value[256] = {};
    DWORD size = sizeof value;
    return MsiGetProductInfoA(code.c_str(), property, value, &size) == ERROR_SUCCESS ? value : "";
}

// The entries that "Apps" shows of Zemrun: the products of its upgrade code.
std::vector<TInstalledProduct> InstalledProducts() {
    std::vector<TInstalledProduct> products;
    char code[39];
    for (DWORD index = 0; MsiEnumRelatedProductsA(UpgradeCode, 0, index, code) == ERROR_SUCCESS;
         ++index)
        products.push_back(
            {ProductInfo(code, "VersionString"), ProductInfo(code, "Publisher"), code});
    return products;
}

DWORD Msiexec(const std::string& arguments) {
    const TZemrunRun run = RunCommandLine("msiexec.exe " + arguments + " /qn", 300000);
    EXPECT_TRUE(run.finished) << arguments;
    return run.exitCode;
}

void RemoveInstalledProducts() {
    for (const TInstalledProduct& product : InstalledProducts())
        Msiexec("/x " + product.code);
}

std::string UserPath() {
    char value[32767] = {};
    DWORD size = sizeof value;
    return RegGetValueA(HKEY_CURRENT_USER, "Environment", "Path",
                        RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, value,
                        &size) == ERROR_SUCCESS
               ? value
               : std::string();
}

bool OnPath(const std::string& path, const std::string& folder) {
    return (";" + path + ";").find(";" + folder + ";") != std::string::npos;
}

class Installer : public ::testing::Test {
  protected:
    Installer() {
        InitializeShellUtils();
        RemoveInstalledProducts();
    }
    ~Installer() override {
        RemoveInstalledProducts();
        TvxTaskFolder("Zemrun").RemoveAll({"Installed test"});
        DeleteFileA(sendTo_.c_str());
        FinalizeShellUtils();
    }
    const std::string folder_ = SpecialFolderPath(CSIDL_LOCAL_APPDATA_ID) + "\\Programs\\Zemrun";
    const std::string startMenu_ = SpecialFolderPath(CSIDL_PROGRAMS) + "\\Zemrun.lnk";
    const std::string sendTo_ = SpecialFolderPath(CSIDL_SENDTO_ID) + "\\Installed test.lnk";
    TSettingsBackup settings_;
    TTempFolder temp_;

    // A Send To shortcut and a scheduled task, made with the installed program.
    void MakeTraces() const {
        ASSERT_TRUE(
            WriteShortcut(sendTo_, folder_ + "\\zemrun.exe", "\"/J:Installed test\" /A", ""));
        WriteBytes(TSettingsBackup::UserFile("projects.ini"),
                   "[Installed%20test]\r\nExe=prog.exe\r\n");
        ASSERT_EQ(RunCommandLine("\"" + folder_ +
                                 "\\zemrun.com\" \"/J:Installed test\" /SCHEDULE:daily@02:00")
                      .exitCode,
                  0u);
        ASSERT_TRUE(TaskThere());
    }
    static bool TaskThere() {
        uint32_t error = 0;
        return TvxTaskFolder("Zemrun").Xml("Installed test", error).has_value();
    }
};
} // namespace

TEST_F(Installer, InstallsForTheUserUpgradesInPlaceAndUninstallsKeepingTheSettings) {
    const std::string settings = TSettingsBackup::UserFile("options.ini");
    CreateFolderPath(settings);
    WriteBytes(settings, "[General]\r\nLanguage=English\r\n");
    const std::string path = UserPath();

    ASSERT_EQ(Msiexec("/i \"" + BuildFolder() + "\\zemrun.msi\""), 0u);
    for (const char* file : {"zemrun.exe", "zemrun.com", "readme.txt", "deutsch.lng"})
        EXPECT_TRUE(PathExists(folder_ + "\\" + file)) << file;
    EXPECT_TRUE(SameTextAnsi(ShortcutTarget(startMenu_), folder_ + "\\zemrun.exe"));
    EXPECT_TRUE(OnPath(UserPath(), folder_)) << UserPath();
    auto products = InstalledProducts();
    ASSERT_EQ(products.size(), 1u);
    EXPECT_EQ(products[0].publisher, "Orvane");
    const std::string version = products[0].version;

    // At a new prompt, zemrun is the installed console face.
    const std::string list = temp_.File("list.txt"), out = temp_.File("out.txt");
    WriteBytes(list, "a b\r\nc\r\n");
    {
        char current[32767];
        GetEnvironmentVariableA("PATH", current, sizeof current);
        const TScopedEnv prompt("PATH", std::string(current) + ";" + UserPath());
        const TZemrunRun run =
            RunCommandLine("cmd.exe /c zemrun /L:" + list + " /X:prog.exe /D > " + out);
        EXPECT_EQ(run.exitCode, 0u);
    }
    EXPECT_EQ(ReadBytes(out), "prog.exe \"a b\"\r\nprog.exe c\r\n");

    // What the user made with the installed program stays while an upgrade removes the
    // old version (Windows names the new product so; Wine's upgrade does not).
    MakeTraces();
    ASSERT_EQ(Msiexec("/x " + products[0].code + " UPGRADINGPRODUCTCODE=" + products[0].code), 0u);
    EXPECT_TRUE(PathExists(sendTo_));
    EXPECT_TRUE(TaskThere());

    // The next version replaces it: one entry.
    ASSERT_EQ(Msiexec("/i \"" + BuildFolder() + "\\zemrun.msi\""), 0u);
    ASSERT_EQ(Msiexec("/i \"" + BuildFolder() + "\\zemrun-next.msi\""), 0u);
    products = InstalledProducts();
    ASSERT_EQ(products.size(), 1u);
    EXPECT_NE(products[0].version, version);
    EXPECT_TRUE(PathExists(folder_ + "\\zemrun.com"));

    MakeTraces();
    ASSERT_EQ(Msiexec("/x \"" + BuildFolder() + "\\zemrun-next.msi\""), 0u);
    EXPECT_TRUE(InstalledProducts().empty());
    EXPECT_FALSE(PathExists(folder_));
    EXPECT_FALSE(PathExists(startMenu_));
    EXPECT_FALSE(PathExists(sendTo_));
    EXPECT_FALSE(TaskThere());
    EXPECT_EQ(UserPath(), path);
    EXPECT_EQ(ReadBytes(settings), "[General]\r\nLanguage=English\r\n");
}
