#include "foundation/vxFileUtils.h"
#include "foundation/vxIniFile.h"
#include "foundation/vxShellUtils.h"
#include "foundation/vxStrUtils.h"
#include "launcher/zemrunScheduling.h"
#include "launcher/zemrunSwitches.h"
#include "launcher/zemrunU.h"
#include "recording_host.h"
#include "settings/zemrunOptions.h"
#include "settings/zemrunProjects.h"
#include "settings/zemrunSchedule.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// A temporary folder with the two special folders of the settings pointed into it.
class Settings : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("zemrun_settings_" + std::to_string(getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "program");
        setenv("ZEMRUN_FOLDER_28", (root_ / "local").c_str(), 1);
        setenv("ZEMRUN_FOLDER_35", (root_ / "common").c_str(), 1);
    }
    void TearDown() override {
        FinalizeProjects();
        FinalizeOptions();
        fs::remove_all(root_);
    }
    std::string Path(const std::string& relative) const { return (root_ / relative).string(); }
    void Write(const std::string& relative, const std::string& bytes) const {
        fs::create_directories(fs::path(Path(relative)).parent_path());
        std::ofstream(Path(relative), std::ios::binary) << bytes;
    }
    std::string Read(const std::string& relative) const {
        std::ifstream file(Path(relative), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    }
    fs::path root_;
};

std::string Dump(const TvxIniFile& ini) {
    std::string out;
    for (int32_t i = 0; i < ini.SectionCount(); ++i) {
        out += "[" + ini.Sections(i)->Name() + "]";
        for (int32_t k = 0; k < ini.Sections(i)->KeyCount(); ++k)
            out += ini.Sections(i)->Keys(k)->Name() + "=" + ini.Sections(i)->Keys(k)->Value() + ";";
    }
    return out;
}

TEST_F(Settings, IniReadsCommentsSectionsAndKeysByItsRules) {
    Write("a.ini",
          "ignored=before\r\n[Main]\r\nPath=D:\\My Files;old\r\n;comment\r\n[ A ]\r\nKey\r\n=x\r\n"
          "a = b\r\n[Main\r\nsecond=2\r\n[main] extra\r\nPATH=new\r\n[B]\r\n\x1a[C]\r\n");
    TvxIniFile ini(Path("a.ini"));
    EXPECT_EQ(Dump(ini), "[Main]Path=new;second=2;[ A ]Key=;=x;a = b;[B]");
    EXPECT_FALSE(ini.IsModified());
    EXPECT_EQ(ini.FindSection("main")->Name(), "Main");
    EXPECT_EQ(ini.FindSection("MAIN")->FindKey("path")->Value(), "new");
    int32_t index = 7;
    EXPECT_EQ(ini.FindSection("none", &index), nullptr);
    EXPECT_EQ(index, -1);
    EXPECT_EQ(ini.FindSection("general", &index, true)->Name(), "general");
    EXPECT_EQ(index, 3);
    // A second section or key of the same name is kept, but lookups find the first.
    ini.AddSection("MAIN")->AddKey("x", "1");
    EXPECT_EQ(ini.FindSection("Main", &index)->Name(), "Main");
    EXPECT_EQ(index, 0);
    ini.FindSection("main")->AddKey("PATH", "third");
    EXPECT_EQ(ini.FindSection("main")->FindKey("Path", &index)->Value(), "new");
    EXPECT_EQ(index, 0);
    ini.FindSection("main")->Clear();
    EXPECT_EQ(ini.FindSection("main")->FindKey("path"), nullptr);
    EXPECT_EQ(ini.FindSection("main")->FindKey("path", &index, true)->Value(), "");
    EXPECT_EQ(index, 0);
}

TEST_F(Settings, IniEscapingRoundTripsEveryCharacter) {
    // Every ASCII byte, and characters of two, three and four bytes in UTF-8.
    std::string every;
    for (int c = 1; c < 128; ++c)
        every += char(c);
    every += "caf\xC3\xA9 \xE6\x9D\xB1\xE4\xBA\xAC \xF0\x9F\x8E\xB5";
    {
        TvxIniFile ini(Path("esc.ini"));
        ini.AddSection(every)->AddKey(every, every);
        ini.AddSection("v")->AddKey("a b;c=d", "a b;c=d");
        ini.Save();
    }
    EXPECT_NE(Read("esc.ini").find("a%20b%3Bc%3Dd=a%20b%3Bc%3Dd\r\n"), std::string::npos);
    TvxIniFile back(Path("esc.ini"));
    ASSERT_EQ(back.SectionCount(), 2);
    EXPECT_EQ(back.Sections(0)->Name(), every);
    EXPECT_EQ(back.Sections(0)->Keys(0)->Name(), every);
    EXPECT_EQ(back.Sections(0)->Keys(0)->Value(), every);
    EXPECT_EQ(TvxIniFile::Unescape("%zz%4"), std::string("\0%4", 3));
}

TEST_F(Settings, IniWritesExactlyItsFormatAndOnlyWhenModified) {
    Write("w.ini", "[A]\r\nx=1\r\n[a]\r\ny\r\n");
    {
        TvxIniFile ini(Path("w.ini"));
        ini.Sections(0)->FindKey("x")->SetValue("1"); // equal: nothing changes
        EXPECT_FALSE(ini.IsModified());
    }
    EXPECT_EQ(Read("w.ini"), "[A]\r\nx=1\r\n[a]\r\ny\r\n"); // untouched, not rewritten
    {
        TvxIniFile ini(Path("w.ini"));
        ini.Sections(0)->FindKey("x")->SetValue("2");
        EXPECT_TRUE(ini.IsModified());
    }
    EXPECT_EQ(Read("w.ini"), "[A]\r\nx=2\r\ny\r\n");
    // A file edited with Unix line ends reads the same and is written back with CR LF.
    Write("lf.ini", "[A]\nx=1\n[B]\ny=2\n");
    {
        TvxIniFile ini(Path("lf.ini"));
        EXPECT_EQ(ini.FindSection("b")->FindKey("y")->Value(), "2");
        ini.Sections(0)->FindKey("x")->SetValue("3");
    }
    EXPECT_EQ(Read("lf.ini"), "[A]\r\nx=3\r\n[B]\r\ny=2\r\n");
}

TEST_F(Settings, IniReadsBooleansAndIntegers) {
    TvxIniFile ini(Path("n.ini"));
    TvxIniFileKey* key = ini.AddSection("s")->AddKey("k", "0");
    EXPECT_FALSE(key->AsBoolean());
    for (const char* text : {"1", "", "no"}) {
        key->SetValue(text);
        EXPECT_TRUE(key->AsBoolean()) << text;
    }
    const std::pair<const char*, int32_t> numbers[] = {
        {" 42", 42}, {"0x1F", 31}, {"7 days", 7}, {"-5", -5}, {"-5x", 5}};
    for (const auto& [text, value] : numbers) {
        key->SetValue(text);
        EXPECT_EQ(key->AsInteger(), value) << text;
    }
    key->SetAsInteger(-12);
    EXPECT_EQ(key->Value(), "-12");
    key->SetAsBoolean(false);
    EXPECT_EQ(key->Value(), "0");
}

TEST_F(Settings, AFailedSaveLeavesThePreviousFileIntact) {
    Write("keep.ini", "[K]\r\nold\r\n");
    TvxIniFile ini(Path("keep.ini"));
    ini.Sections(0)->AddKey("new", "");
    const std::string own = "keep.ini." + std::to_string(getpid()) + ".new~";
    fs::create_directory(Path(own)); // the temporary file cannot be created
    EXPECT_THROW(ini.Save(), TvxInOutError);
    EXPECT_EQ(Read("keep.ini"), "[K]\r\nold\r\n");
    fs::remove(Path(own));
    EXPECT_THROW(ini.SaveToFile(Path("no/such/folder.ini")), TvxInOutError);
    // A save killed on the way left its temporary file: the next save removes it, but not
    // the one another instance is writing now.
    Write("keep.ini.4242.new~", "[K]\r\nhalf");
    fs::last_write_time(Path("keep.ini.4242.new~"),
                        fs::file_time_type::clock::now() - std::chrono::minutes(5));
    Write("keep.ini.4343.new~", "[K]\r\nbeing written");
    ini.Save();
    EXPECT_EQ(Read("keep.ini"), "[K]\r\nold\r\nnew\r\n");
    EXPECT_FALSE(fs::exists(Path(own)));
    EXPECT_FALSE(fs::exists(Path("keep.ini.4242.new~")));
    EXPECT_TRUE(fs::exists(Path("keep.ini.4343.new~")));
}

TEST_F(Settings, ProfileReaderFollowsTheSystemRules) {
    Write("lang.lng", "[0]\r\n101 = Liste \r\n102=\"quoted\"\r\n[1]\r\n101=other\r\n");
    EXPECT_EQ(ReadProfileString(Path("lang.lng"), "0", "101", ""), "Liste");
    EXPECT_EQ(ReadProfileString(Path("lang.lng"), "0", "102", ""), "quoted");
    EXPECT_EQ(ReadProfileString(Path("lang.lng"), "0", "103", "dflt"), "dflt");
    EXPECT_EQ(ReadProfileString(Path("missing.lng"), "0", "101", ""), "");
}

TEST_F(Settings, OptionsMergeTheThreeFilesAndSaveOnlyTheUsersCopy) {
    Write("program/options.ini",
          "[General]\r\nHistorymaxCount=5\r\n[ListHistory]\r\nD:\\a.txt\r\n");
    Write("local/Orvane/Zemrun/options.ini", "[general]\r\nhistorymaxcount=20\r\n");
    InitializeOptions(Path("program/zemrun.exe"));
    EXPECT_EQ(Options().HistoryMaxCount(), 20);
    EXPECT_EQ(Options().GetHistory(hkList)->Strings(0), "D:\\a.txt");
    FinalizeOptions();
    EXPECT_EQ(Read("local/Orvane/Zemrun/options.ini"),
              "[General]\r\nHistorymaxCount=20\r\n[ListHistory]\r\nD:\\a.txt\r\n");
    EXPECT_EQ(Read("program/options.ini"),
              "[General]\r\nHistorymaxCount=5\r\n[ListHistory]\r\nD:\\a.txt\r\n");
}

TEST_F(Settings, OptionsFromTheProgramFolderAloneAreNotWritten) {
    Write("program/options.ini", "[General]\r\nLanguage=x.lng\r\n");
    InitializeOptions(Path("program/zemrun.exe"));
    Options().GetLanguageFile();
    Options().SetLanguage("x.lng"); // the value it already has
    FinalizeOptions();
    EXPECT_FALSE(fs::exists(Path("local/Orvane/Zemrun/options.ini")));
}

TEST_F(Settings, OptionsWithoutFilesWriteOnlyWhatUseCreated) {
    InitializeOptions(Path("program/zemrun.exe"));
    EXPECT_EQ(Options().HistoryMaxCount(), 10); // creates [General]
    EXPECT_EQ(Options().GetHistory(hkExe)->Count(), 0);
    FinalizeOptions();
    EXPECT_EQ(Read("local/Orvane/Zemrun/options.ini"), "[General]\r\n[ExeHistory]\r\n");
}

TEST_F(Settings, HistoriesKeepTheConfiguredNumberOfEntries) {
    InitializeOptions(Path("program/zemrun.exe"));
    TvxStringList twelve;
    for (int i = 0; i < 12; ++i)
        twelve.Add("D:\\My Lists\\" + std::to_string(i) + ".txt");
    Options().SetHistory(hkList, &twelve);
    Options().SetHistory(hkList, nullptr); // nothing happens
    auto stored = Options().GetHistory(hkList);
    ASSERT_EQ(stored->Count(), 10);
    EXPECT_EQ(stored->Strings(9), "D:\\My Lists\\9.txt");
    Options().GeneralSection()->FindKey("HistorymaxCount", nullptr, true)->SetValue("0");
    Options().SetHistory(hkBParam, &twelve);
    EXPECT_EQ(Options().GetHistory(hkBParam)->Count(), 0);
    Options().GeneralSection()->FindKey("HistorymaxCount")->SetValue("-3");
    Options().SetHistory(hkBParam, &twelve);
    EXPECT_EQ(Options().GetHistory(hkBParam)->Count(), 0);
    FinalizeOptions();
    EXPECT_NE(Read("local/Orvane/Zemrun/options.ini").find("\r\nD:\\My%20Lists\\0.txt\r\n"),
              std::string::npos);
}

TEST_F(Settings, LanguageFilesResolveInTheirOrder) {
    InitializeOptions(Path("program/zemrun.exe"));
    Options().SetLanguage("/lang/x.lng");
    EXPECT_EQ(Options().GetLanguageFile(), "/lang/x.lng");
    Options().SetLanguage("x.lng");
    EXPECT_EQ(Options().GetLanguageFile(), Path("local") + "/x.lng"); // exists nowhere
    Write("common/x.lng", "");
    EXPECT_EQ(Options().GetLanguageFile(), Path("common") + "/x.lng");
    Write("program/x.lng", "");
    EXPECT_EQ(Options().GetLanguageFile(), Path("program") + "/x.lng");
}

TEST_F(Settings, ProjectsStoreSubsetsAndLoadThemByNameWithoutCase) {
    TOptions settings;
    SetDefaultOptions(settings);
    settings.List = "D:\\l.txt";
    settings.Exe = "E:\\conv.exe";
    settings.FirstPause = 250;
    settings.WaitOpen = false;
    // The halt count is stored only where /H was given, the items per command only where
    // a command takes several.
    uint32_t halt = 0;
    for (int32_t i = 0; i < ProjectFieldCount; ++i)
        if (std::string(ProjectFields[i].key) == "Halt" ||
            std::string(ProjectFields[i].key) == "ItemsPerCommand")
            halt |= uint32_t(1) << i;
    Projects().SaveProject("Test", settings, (1 << 0) | (1 << 5) | (1 << 8) | halt);
    EXPECT_EQ(Read("local/Orvane/Zemrun/projects.ini"),
              "[Test]\r\nList=D:\\l.txt\r\nWaitOpen=0\r\nFirstPause=250\r\n");
    EXPECT_EQ(Projects().Count(), 0); // until Refresh
    Projects().SaveProject("test", settings, 1 << 1);
    EXPECT_EQ(Read("local/Orvane/Zemrun/projects.ini"), "[Test]\r\nExe=E:\\conv.exe\r\n");
    Projects().Refresh();
    ASSERT_EQ(Projects().Count(), 1);
    EXPECT_EQ(Projects().Items(0)->Name(), "Test");

    TOptions loaded;
    SetDefaultOptions(loaded);
    Projects().LoadProject("TEST", loaded);
    EXPECT_EQ(loaded.Exe, "E:\\conv.exe");
    EXPECT_EQ(loaded.List, "");
    Projects().LoadProject("Test ", loaded); // another name: nothing changes
    EXPECT_EQ(loaded.FirstPause, 1000);
}

TEST_F(Settings, EveryProjectFieldIsStoredAndLoadedAloneByItsBox) {
    TOptions changed;
    SetDefaultOptions(changed);
    // The fields of a form of their own take a value in it.
    const std::map<std::string, std::string> coded = {
        {"Jobs", "250%"}, {"MemFree", "3G"}, {"Delay", "1.5"}, {"Set", "A=1\r\nB={%0}"}};
    for (const TProjectField& field : ProjectFields) {
        if (field.text) changed.*field.text = std::string(field.key) + " value";
        if (field.flag) changed.*field.flag = !(changed.*field.flag);
        if (field.number) changed.*field.number += 7;
        if (field.parse) field.parse(coded.at(field.key), changed);
    }
    std::set<int> boxes, controls;
    for (int32_t i = 0; i < ProjectFieldCount; ++i) {
        const TProjectField& field = ProjectFields[i];
        EXPECT_TRUE(boxes.insert(field.saveBox).second) << field.key;
        // The main dialog shows every field in a control of its own, or keeps it as given.
        EXPECT_NE(field.main.kind, TMainKind::None) << field.key;
        if (field.main.kind != TMainKind::Kept) {
            EXPECT_TRUE(controls.insert(field.main.control).second) << field.key;
        }
        const bool choiceFits = field.main.kind != TMainKind::Choice ||
                                (field.flag ? field.main.last - field.main.first == 1
                                            : field.main.last > field.main.first);
        EXPECT_TRUE(choiceFits) << field.key;
        Projects().SaveProject("One", changed, uint32_t(1) << i);
        Projects().Refresh();
        TOptions loaded, expected;
        SetDefaultOptions(loaded);
        SetDefaultOptions(expected);
        Projects().LoadProject("one", loaded);
        if (field.text) expected.*field.text = changed.*field.text;
        if (field.flag) expected.*field.flag = changed.*field.flag;
        if (field.number) expected.*field.number = changed.*field.number;
        if (field.parse) field.parse(field.format(changed), expected);
        for (const TProjectField& other : ProjectFields) {
            const bool same = other.text     ? loaded.*other.text == expected.*other.text
                              : other.flag   ? loaded.*other.flag == expected.*other.flag
                              : other.number ? loaded.*other.number == expected.*other.number
                                             : other.format(loaded) == other.format(expected);
            EXPECT_TRUE(same) << "stored " << field.key << ", compared " << other.key;
        }
    }
}

TEST_F(Settings, ProjectValuesDecodeByTheirEncodings) {
    Write("local/Orvane/Zemrun/projects.ini",
          "[Convert%20pictures]\r\nwaitclose=0\r\nWaitOpen\r\nGUI=7\r\nWindow=$2\r\nEPARAM=-"
          "z\r\nJobs=$8\r\n"
          "JobLog=D:\\run%20log.tsv\r\nResume=1\r\n");
    TOptions s;
    SetDefaultOptions(s);
    s.WaitClose = true;
    s.WaitOpen = false;
    Projects().LoadProject("convert PICTURES", s);
    EXPECT_FALSE(s.WaitClose);
    EXPECT_TRUE(s.WaitOpen); // present but empty reads as true
    EXPECT_EQ(s.GUI, 7);
    EXPECT_EQ(s.Window, 2);
    EXPECT_EQ(s.Eparam, "-z");
    EXPECT_EQ(s.Priority, 0);
    EXPECT_EQ(s.Jobs, 8);
    EXPECT_EQ(s.JobLog, "D:\\run log.tsv");
    EXPECT_TRUE(s.Resume);
}

TEST_F(Settings, TwoInstancesLoseNothingOfEachOther) {
    // This run stores an executable history while another instance stores a language and
    // a list history: the save at the end keeps both.
    InitializeOptions(Path("program/zemrun.exe"));
    TvxStringList exe;
    exe.Add("E:\\t.exe");
    Options().SetHistory(hkExe, &exe);
    Write("local/Orvane/Zemrun/options.ini",
          "[General]\r\nLanguage=deutsch.lng\r\n[ListHistory]\r\nD:\\o.txt\r\n");
    FinalizeOptions();
    EXPECT_EQ(Read("local/Orvane/Zemrun/options.ini"),
              "[General]\r\nLanguage=deutsch.lng\r\n[ListHistory]\r\nD:\\o.txt\r\n[ExeHistory]"
              "\r\nE:\\t.exe\r\n");
    // A language set here wins over the one on disk.
    InitializeOptions(Path("program/zemrun.exe"));
    Options().SetLanguage("english");
    Write("local/Orvane/Zemrun/options.ini",
          "[General]\r\nLanguage=deutsch.lng\r\nHistorymaxCount=3\r\n");
    FinalizeOptions();
    EXPECT_EQ(Read("local/Orvane/Zemrun/options.ini"),
              "[General]\r\nLanguage=english\r\nHistorymaxCount=3\r\n");

    // Neither instance has read the other's project; both are kept.
    TOptions settings;
    SetDefaultOptions(settings);
    const std::string path = SettingsFile(CSIDL_LOCAL_APPDATA_ID, "projects.ini");
    TZemrunProjects first(path), second(path);
    first.SaveProject("One", settings, 0xFFFF);
    second.SaveProject("Two", settings, 1 << 9);
    TZemrunProjects reader(path);
    ASSERT_EQ(reader.Count(), 2);
    EXPECT_EQ(reader.Items(0)->Name(), "One");
    EXPECT_EQ(reader.Items(1)->Name(), "Two");
    EXPECT_EQ(Read("local/Orvane/Zemrun/projects.ini"),
              "[One]\r\nList\r\nExe\r\nBParam\r\nEparam\r\nRegExp\r\nWaitOpen=1\r\nWaitClose=0\r\n"
              "ShellExecute=0\r\nFirstPause=1000\r\nGUI=1\r\nWindow=1\r\nPriority=0\r\nJobs="
              "1\r\nJobLog\r\nResume=0\r\nEncoding\r\n[Two]\r\nGUI=1\r\n");
}

TEST_F(Settings, ProjectSwitchLoadsAtItsPosition) {
    Write("local/Orvane/Zemrun/projects.ini", "[name]\r\nExe=project.exe\r\nFirstPause=5\r\n");
    TRecordingHost host;
    std::optional<TRunRequest> request =
        ParseArguments(TvxCommandLine("z /X:tool.exe /F:9 /J:NAME"), host, host);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->settings.Exe, "project.exe");
    EXPECT_EQ(request->settings.FirstPause, 5);
    request = ParseArguments(TvxCommandLine("z /J:name /X:tool.exe /J:nothing"), host, host);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->settings.Exe, "tool.exe");
    EXPECT_EQ(request->settings.FirstPause, 5);
}

using V = std::vector<std::string>;

// The Task Scheduler's folder in memory, by name without case; it refuses everything with
// the error where one is given.
class TMemoryTasks : public TvxTaskStore {
  public:
    std::map<std::string, std::string> tasks;
    uint32_t refusal = 0;
    uint32_t Register(const std::string& name, const std::string& xml) override {
        if (!refusal) tasks[AnsiUpperCase(name)] = xml;
        return refusal;
    }
    uint32_t Remove(const std::string& name) override {
        if (!refusal) tasks.erase(AnsiUpperCase(name));
        return refusal;
    }
    std::optional<std::string> Xml(const std::string& name, uint32_t& error) override {
        error = refusal;
        const auto found = tasks.find(AnsiUpperCase(name));
        if (refusal || found == tasks.end()) return std::nullopt;
        return found->second;
    }
};

TEST_F(Settings, ScheduleRegistersTellsAndRemovesAProjectsTaskAndRefusesBadValues) {
    Write("local/Orvane/Zemrun/projects.ini",
          "[Night & Day]\r\nExe=conv.exe\r\n[Say\"hi\"]\r\n[100%25 of 5%25]\r\n[100%25]\r\n");
    TRecordingHost host;
    TMemoryTasks tasks;
    const TScheduleContext context{"C:\\Zemrun\\zemrun.exe", "PC\\me", {2026, 12, 10, 12, 0, 0, 0}};
    const auto schedule = [&](const std::string& arguments) {
        host.log.clear();
        const std::optional<TRunRequest> request =
            ParseArguments(TvxCommandLine("z " + arguments), host, host);
        return ScheduleProject(tasks, host, *request, context);
    };
    const struct {
        const char* arguments;
        uint32_t status;
        const char* told;
        size_t tasks;
    } steps[] = {
        {"\"/J:Night & Day\" /SCHEDULE:daily@02:00", 0, "schedule 0 Night & Day daily@02:00", 1},
        {"\"/J:night & day\" /SCHEDULE", 0, "schedule 2 night & day daily@02:00", 1},
        {"\"/J:Night & Day\" /SCHEDULE:weekly:sat,sun@09:15 /H", 0,
         "schedule 0 Night & Day weekly:sat,sun@09:15", 1},
        {"/SCHEDULE:daily@02:00", 87, "schedule 7 ", 1},
        {"\"/J:Night & Day\" /SCHEDULE:daily@25:00 /H", 255, "schedule 5 Night & Day daily@25:00",
         1},
        {"\"/J:Night & Day\" /SCHEDULE:hourly:0", 87, "schedule 5 Night & Day hourly:0", 1},
        {"/J:Nothing /SCHEDULE:logon", 2, "schedule 6 Nothing", 1},
        {"/J:Say\"hi\" /SCHEDULE:logon", 87, "schedule 8 Say\"hi\"", 1},
        {"\"/J:100% of 5%\" /SCHEDULE:logon /H", 255, "schedule 9 100% of 5%", 1},
        {"/J:100% /SCHEDULE:logon", 0, "schedule 0 100% logon", 2},
        {"/J:100% /SCHEDULE:off", 0, "schedule 1 100%", 1},
        {"\"/J:Night & Day\" /SCHEDULE:off", 0, "schedule 1 Night & Day", 0},
        {"\"/J:Night & Day\" /SCHEDULE", 1, "schedule 3 Night & Day", 0},
        {"\"/J:Night & Day\" /SCHEDULE /H", 1, "schedule 3 Night & Day", 0},
    };
    for (const auto& step : steps) {
        EXPECT_EQ(schedule(step.arguments), step.status) << step.arguments;
        EXPECT_EQ(host.log, V{step.told}) << step.arguments;
        EXPECT_EQ(tasks.tasks.size(), step.tasks) << step.arguments;
    }
    // The task of a project that is gone is told so, and off takes it away.
    tasks.tasks["GONE"] =
        TaskXml("Gone", context.program, *ReadSchedule("logon"), "PC\\me", context.now);
    EXPECT_EQ(schedule("/J:Gone /SCHEDULE"), 0u);
    EXPECT_EQ(host.log, V{"schedule 4 Gone logon"});
    EXPECT_EQ(schedule("/J:Gone /SCHEDULE:off"), 0u);
    EXPECT_TRUE(tasks.tasks.empty());
    // The Task Scheduler refuses (the service does not run, access is denied): nothing is
    // registered, and the system's reason is told.
    tasks.refusal = 0x80070005u;
    EXPECT_EQ(schedule("\"/J:Night & Day\" /SCHEDULE:hourly:2 /H"), 255u);
    EXPECT_EQ(host.log, V{"schedule 10 Night & Day error 2147942405"});
    EXPECT_EQ(schedule("\"/J:Night & Day\" /SCHEDULE:hourly:2"), 0x80070005u);
    EXPECT_TRUE(tasks.tasks.empty());
}

} // namespace
