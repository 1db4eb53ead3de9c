#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <memory>
#include <pugixml.hpp>
#include <set>
#include <string>
#include <vector>

#include "config/EDOMError.h"
#include "config/EFileNotFound.h"
#include "config/NormalSetting.h"
#include "config/XMLConfig.h"
#include "model/CopyPolicy.h"
#include "model/PolicyManager.h"
#include "model/Task.h"
#include "model/TaskManager.h"
#include "platform/Clock.h"
#include "support/TempTree.h"
#include "support/Unprivileged.h"

using testsupport::readFile;
using testsupport::writeFile;

namespace {

// The model as the main window holds it.
struct Model {
    platform::FixedClock clock{platform::makeDateTime(2024, 5, 6, 7, 8, 9)};
    PolicyManager policies;
    TaskManager tasks{clock};
    NormalSetting setting;

    Model() {
        policies.setTaskManager(&tasks);
        tasks.setPolicys(&policies);
    }
    const Task& task(std::size_t i) const { return *tasks.taskList().at(i); }
};

std::unique_ptr<Model> loadModel(XMLConfig& config) {
    config.load();
    auto model = std::make_unique<Model>();
    config.readNormalSetting(model->setting);
    config.readTasks(model->tasks);
    return model;
}

// The names in a folder, "." and ".." left out.
std::set<std::string> listFolder(const std::string& path) {
    std::set<std::string> names;
    if (DIR* dir = ::opendir(path.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                names.insert(name);
            }
        }
        ::closedir(dir);
    }
    return names;
}

// UTF-16 of text made of characters of the Basic Multilingual Plane.
std::string utf16(std::string_view utf8, bool bigEndian) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        char32_t c = b;
        std::size_t length = 1;
        if (b >= 0xE0) {
            c = b & 0x0F;
            length = 3;
        } else if (b >= 0xC0) {
            c = b & 0x1F;
            length = 2;
        }
        for (std::size_t k = 1; k < length; ++k) {
            c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        i += length;
        const char high = static_cast<char>(c >> 8);
        const char low = static_cast<char>(c & 0xFF);
        out += bigEndian ? high : low;
        out += bigEndian ? low : high;
    }
    return out;
}

std::unique_ptr<pugi::xml_document> parseFile(const std::string& path) {
    auto document = std::make_unique<pugi::xml_document>();
    const std::string bytes = readFile(path);
    EXPECT_TRUE(document->load_buffer(bytes.data(), bytes.size())) << path;
    return document;
}

// Every element as "path attr=value ...", in document order.
void describe(const pugi::xml_node& node, const std::string& parent,
              std::vector<std::string>& out) {
    for (const pugi::xml_node child : node.children()) {
        if (child.type() != pugi::node_element) {
            continue;
        }
        std::string path = parent.empty() ? child.name() : parent + "/" + child.name();
        std::string line = path;
        for (const pugi::xml_attribute attribute : child.attributes()) {
            line += std::string(" ") + attribute.name() + "=" + attribute.value();
        }
        out.push_back(line);
        describe(child, path, out);
    }
}

class XMLConfigTest : public ::testing::Test {
protected:
    std::string folder() const { return dir / "cfg/"; }
    std::string configFile() const { return dir / "cfg/config.xml"; }
    std::string defaultFile() const { return dir / "default.xml"; }

    void writeConfig(std::string_view bytes) const {
        testsupport::makeDirs(folder());
        writeFile(configFile(), bytes);
    }
    // A configuration file written by the program itself from `model`.
    void saveModel(const Model& model) const {
        writeConfig("<config/>");
        XMLConfig config(folder(), defaultFile());
        config.load();
        const XMLConfig::SaveResult result = config.saveAll(model.tasks, model.setting);
        ASSERT_TRUE(result.ok()) << result.message;
    }

    testsupport::TempDir dir;
};

// A model with every kind of value.
void fillModel(Model& model) {
    model.policies.addPolicy().name = std::string(DefaultPolicyName);
    CopyPolicy& exact = model.policies.addPolicy();
    exact.name = "Exact";
    exact.setCopyIfAttributesDiffer(true);
    exact.setDeleteToRecycleBin(false);
    CopyPolicy& odd = model.policies.addPolicy();
    odd.name = "Odd";
    odd.setFlags(0x80000000u | DefaultPolicyFlags);

    Task& full = model.tasks.addTask();
    full.name = "Photos & <Docs> \"2024\" caf\xc3\xa9";
    full.setPolicy(&odd);
    full.enableLog = true;
    full.logFile = "/var/log/photos.log";
    for (const auto& [main, mirror] :
         {std::pair{"/data/photos", "/backup/photos"}, std::pair{"/data/docs", "/backup/docs"}}) {
        TaskFolderItem& item = full.folderList.addItem();
        item.main = main;
        item.mirror = mirror;
    }
    full.include.addFile("/etc/fstab");
    full.include.addFile("/home/u/Notes.TXT");
    full.exclude.addFile("/data/photos/Cache");
    full.exclude.setFileTypes("tmp;bak");
    full.exclude.setFileAttrs("HIDDEN;SYSTEM");
    full.schedule.intervalEnabled = true;
    full.schedule.setInterval("15");
    full.schedule.fixupEnabled = true;
    full.schedule.setFixup("2024-05-06 07:30:00");
    full.schedule.runMissed = true;
    full.schedule.setFixupHandledUntil(platform::makeDateTime(2024, 5, 5, 7, 30, 0));
    full.schedule.simulate = false;
    full.versions.enabled = true;
    full.versions.folder = "/backup/kept";
    full.versions.keepDays = 30;
    full.versions.keepVersions = 5;

    model.tasks.addTask().setPolicy(&exact);
    model.setting.showDetail = true;
    model.setting.showWizard = true;
}

TEST_F(XMLConfigTest, FirstStartCopiesTheShippedDefaultAndReadsIt) {
    const std::string shipped = readFile(TF_SHIPPED_DEFAULT_XML);
    writeFile(defaultFile(), shipped);
    // The folder does not exist yet, nor does its parent.
    XMLConfig config(dir / "xdg/twinfold", defaultFile());
    const auto model = loadModel(config);

    EXPECT_EQ(readFile(dir / "xdg/twinfold/config.xml"), shipped);
    EXPECT_EQ(readFile(defaultFile()), shipped);
    ASSERT_EQ(model->policies.policyList().size(), 1u);
    EXPECT_EQ(model->policies.policyList()[0]->name, DefaultPolicyName);
    EXPECT_EQ(model->policies.policyList()[0]->getFlags(), 17830161u);
    EXPECT_TRUE(model->tasks.taskList().empty());
    EXPECT_FALSE(model->setting.showDetail);
    EXPECT_TRUE(model->setting.showWizard);
    EXPECT_EQ(model->setting.configVersion, "1.0");
    EXPECT_EQ(listFolder(dir / "xdg/twinfold"), std::set<std::string>{"config.xml"});
}

TEST_F(XMLConfigTest, NoFileAndNoDefaultIsFileNotFoundAndNothingIsWritten) {
    XMLConfig config(folder(), defaultFile());
    EXPECT_THROW(config.load(), EFileNotFound);
    EXPECT_TRUE(config.hasError());

    Model model;
    fillModel(model);
    EXPECT_FALSE(config.saveAll(model.tasks, model.setting).ok());
    EXPECT_FALSE(testsupport::pathExists(folder()));
}

TEST_F(XMLConfigTest, UnreadableDocumentIsDOMErrorAndIsNeverWrittenOver) {
    const struct {
        const char* name;
        std::string bytes;
    } rows[] = {
        {"not well-formed", "<config><policyList></config>"},
        {"empty file", ""},
        {"no config root", "<settings><policyList/></settings>"},
        {"config only inside a comment", "<!-- <config/> -->"},
        {"binary junk", std::string("\xff\xfe<\0c\0\x01\x02", 8)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        writeConfig(row.bytes);
        XMLConfig config(folder(), defaultFile());
        EXPECT_THROW(config.load(), EDOMError);
        EXPECT_TRUE(config.hasError());

        Model model;
        fillModel(model);
        config.writeTasks(model.tasks);
        config.writeNormalSetting(model.setting);
        const XMLConfig::SaveResult result = config.save();
        EXPECT_FALSE(result.ok());
        EXPECT_EQ(readFile(configFile()), row.bytes);
        EXPECT_EQ(listFolder(folder()), std::set<std::string>{"config.xml"});
    }
}

TEST_F(XMLConfigTest, WrittenFileIsUtf16WithItsDeclarationAndTheFixedOrder) {
    Model model;
    model.policies.addPolicy().name = std::string(DefaultPolicyName);
    Task& task = model.tasks.addTask();
    task.name = "T";
    task.id = "id-1";
    task.setPolicy(model.policies.defaultPolicy());
    TaskFolderItem& item = task.folderList.addItem();
    item.main = "/m";
    item.mirror = "/r";
    task.include.addFile("/i");
    task.exclude.addFile("/x");
    task.exclude.setFileTypes("exe");
    task.exclude.setFileAttrs("HIDDEN");
    task.schedule.setFixup("07:30:00");
    saveModel(model);

    const std::string bytes = readFile(configFile());
    const std::string start =
        "\xff\xfe" + utf16("<?xml version=\"1.0\" encoding=\"utf-16\"?>", false);
    EXPECT_EQ(bytes.substr(0, start.size()), start);

    std::vector<std::string> elements;
    describe(*parseFile(configFile()), "", elements);
    const std::vector<std::string> expected = {
        "config",
        "config/policyList",
        "config/policyList/policy name=< default copy policy > value=17830161",
        "config/taskList",
        "config/taskList/task name=T policy=< default copy policy > enableLog=false logFile= "
        "id=id-1",
        "config/taskList/task/folderList",
        "config/taskList/task/folderList/folder main=/m mirror=/r",
        "config/taskList/task/include",
        "config/taskList/task/include/fileList",
        "config/taskList/task/include/fileList/file path=/i",
        "config/taskList/task/exclude",
        "config/taskList/task/exclude/fileList",
        "config/taskList/task/exclude/fileList/file path=/x",
        "config/taskList/task/exclude/fileType type=exe;",
        "config/taskList/task/exclude/fileAttr attr=HIDDEN;",
        "config/taskList/task/schedule",
        "config/taskList/task/schedule/interval enabled=false value=5",
        "config/taskList/task/schedule/fixup enabled=false value=07:30:00 runMissed=false "
        "handledUntil=2024-05-06 07:08:09",
        "config/taskList/task/schedule/simulate value=true",
        "config/taskList/task/versions enabled=false folder= keepDays=0 keepVersions=0",
        "config/normalSetting showDetail=false showWizard=false configVersion=1.0 "
        "maxDeletePercent=50 maxDeleteMinimum=10 overdueDays=7 startWithSession=false "
        "runMissedDefault=false",
    };
    EXPECT_EQ(elements, expected);
}

TEST_F(XMLConfigTest, ProgramWrittenFileReadsBackWholeAndSavesByteForByte) {
    Model original;
    fillModel(original);
    saveModel(original);
    const std::string first = readFile(configFile());

    XMLConfig config(folder(), defaultFile());
    const auto model = loadModel(config);
    ASSERT_EQ(model->policies.policyList().size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(model->policies.policyList()[i]->name, original.policies.policyList()[i]->name);
        EXPECT_EQ(model->policies.policyList()[i]->getFlags(),
                  original.policies.policyList()[i]->getFlags());
    }
    ASSERT_EQ(model->tasks.taskList().size(), 2u);
    const Task& full = model->task(0);
    const Task& want = original.task(0);
    EXPECT_EQ(full.name, want.name);
    EXPECT_EQ(full.id, want.id);
    EXPECT_EQ(full.getPolicy(), model->policies.findPolicy("Odd"));
    EXPECT_TRUE(full.enableLog);
    EXPECT_EQ(full.logFile, want.logFile);
    ASSERT_EQ(full.folderList.count(), 2u);
    EXPECT_EQ(full.folderList.items()[1].main, "/data/docs");
    EXPECT_EQ(full.folderList.items()[1].mirror, "/backup/docs");
    EXPECT_EQ(full.include.fileList(), want.include.fileList());
    EXPECT_EQ(full.exclude.fileList(), want.exclude.fileList());
    EXPECT_EQ(full.exclude.getFileTypes(), "bak;tmp;");
    EXPECT_EQ(full.exclude.fileAttr(), want.exclude.fileAttr());
    EXPECT_TRUE(full.schedule.intervalEnabled);
    EXPECT_EQ(full.schedule.interval(), "15");
    EXPECT_TRUE(full.schedule.fixupEnabled);
    // Kept in the stored form whatever form it was given in.
    EXPECT_EQ(full.schedule.fixup(), "07:30:00");
    EXPECT_TRUE(full.schedule.runMissed);
    EXPECT_DOUBLE_EQ(full.schedule.fixupHandledUntil(), platform::makeDateTime(2024, 5, 5, 7, 30));
    EXPECT_FALSE(model->task(1).schedule.runMissed);
    EXPECT_FALSE(full.schedule.simulate);
    EXPECT_EQ(full.versions, want.versions);
    EXPECT_EQ(model->task(1).versions, VersionSettings());
    EXPECT_EQ(model->task(1).getPolicy(), model->policies.findPolicy("Exact"));
    EXPECT_EQ(model->task(1).id, original.task(1).id);
    EXPECT_TRUE(model->setting.showDetail);
    EXPECT_TRUE(model->setting.showWizard);

    // The main window turns the wizard off after its first start.
    model->setting.showWizard = false;
    const XMLConfig::SaveResult result = config.saveAll(model->tasks, model->setting);
    ASSERT_TRUE(result.ok()) << result.message;
    std::string expected = first;
    const std::string on = utf16("showWizard=\"true\"", false);
    ASSERT_NE(expected.find(on), std::string::npos);
    expected.replace(expected.find(on), on.size(), utf16("showWizard=\"false\"", false));
    EXPECT_EQ(readFile(configFile()), expected);
}

// Each row is a rule word as a file may hold it. A word that cannot be read
// must not become the default word, which deletes: it reads as the default
// rules without deletion, and the user is told which policy it was.
TEST_F(XMLConfigTest, PolicyWordsReadDecimalOrHexAndUnreadableOnesNeverDelete) {
    const struct {
        const char* name;
        const char* value;  // nullptr: no value attribute
        std::uint32_t flags;
        bool readable;
    } rows[] = {
        {"decimal", "17830161", DefaultPolicyFlags, true},
        {"unknown bit kept", "2165313809", 0x80000000u | DefaultPolicyFlags, true},
        {"every bit", "4294967295", 0xFFFFFFFFu, true},
        {"zero", "0", 0u, true},
        {"blanks around", " 273 ", 273u, true},
        {"hexadecimal", "0x1111", 0x1111u, true},
        {"hexadecimal, upper-case prefix", "0X01101111", DefaultPolicyFlags, true},
        {"hexadecimal with blanks", "\t0x10 ", 0x10u, true},
        {"empty", "", NonDeletingPolicyFlags, false},
        {"letters", "abc", NonDeletingPolicyFlags, false},
        {"trailing letter", "12x", NonDeletingPolicyFlags, false},
        {"minus", "-1", NonDeletingPolicyFlags, false},
        {"plus", "+5", NonDeletingPolicyFlags, false},
        {"bare hex prefix", "0x", NonDeletingPolicyFlags, false},
        {"signed hex", "0x-1", NonDeletingPolicyFlags, false},
        {"not a hex digit", "0xg", NonDeletingPolicyFlags, false},
        {"beyond 32 bits", "4294967296", NonDeletingPolicyFlags, false},
        {"beyond 32 bits in hex", "0x100000000", NonDeletingPolicyFlags, false},
        {"no value at all", nullptr, NonDeletingPolicyFlags, false},
    };
    std::string xml = "<config><policyList>";
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        xml += "<policy name=\"p" + std::to_string(i) + "\"";
        if (rows[i].value != nullptr) {
            xml += std::string(" value=\"") + rows[i].value + "\"";
        }
        xml += "/>";
    }
    xml += "</policyList><taskList><task name=\"T\" policy=\"p8\"/></taskList></config>";
    writeConfig(xml);

    XMLConfig config(folder(), defaultFile());
    const auto model = loadModel(config);
    const auto& policies = model->policies.policyList();
    // The file lacks the default policy: it is added after the others.
    ASSERT_EQ(policies.size(), std::size(rows) + 1);
    std::size_t unreadable = 0;
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(rows[i].name);
        EXPECT_EQ(policies[i]->getFlags(), rows[i].flags);
        const std::string quotedName = "\"p" + std::to_string(i) + "\"";
        const bool told = std::any_of(config.notices().begin(), config.notices().end(),
                                      [&](const std::string& notice) {
                                          return notice.find(quotedName) != std::string::npos;
                                      });
        EXPECT_EQ(told, !rows[i].readable);
        unreadable += rows[i].readable ? 0 : 1;
    }
    EXPECT_EQ(config.notices().size(), unreadable) << "one notice per policy";
    EXPECT_FALSE(model->task(0).getPolicy()->isDeleteMirrorOnly());
    EXPECT_EQ(policies.back()->name, DefaultPolicyName);
    EXPECT_EQ(policies.back()->getFlags(), DefaultPolicyFlags);

    // Written back as the words they run with: the next start reads them
    // without a notice and still without deletion.
    ASSERT_TRUE(config.saveAll(model->tasks, model->setting).ok());
    const auto document = parseFile(configFile());
    const pugi::xml_node written = document->child("config").child("policyList");
    EXPECT_STREQ(written.find_child_by_attribute("name", "p1").attribute("value").value(),
                 "2165313809");
    EXPECT_STREQ(written.find_child_by_attribute("name", "p5").attribute("value").value(), "4369");
    EXPECT_STREQ(written.find_child_by_attribute("name", "p9").attribute("value").value(), "4369");
    EXPECT_STREQ(written.last_child().attribute("name").value(), "< default copy policy >");
    XMLConfig again(folder(), defaultFile());
    const auto reread = loadModel(again);
    EXPECT_TRUE(again.notices().empty());
    EXPECT_EQ(reread->policies.findPolicy("p9")->getFlags(), NonDeletingPolicyFlags);
}

TEST_F(XMLConfigTest, HandEditedTasksReadSafelyAndAreWrittenBackWhole) {
    writeConfig(R"(<?xml version="1.0" encoding="UTF-8"?>
<!-- edited by hand -->
<config>
  <policyList>
    <policy name="&lt; default copy policy &gt;" value="17830161"/>
    <!-- a comment among the policies -->
    <policy name="Exact" value="1118481"/>
  </policyList>
  <taskList>
    <!-- a comment among the tasks -->
    <task name="A" policy="Exact" enableLog="True" logFile="" id="id-a">
      <folderList>
        <!-- a comment among the pairs -->
        <folder main="/m1//" mirror="/r1/./"/>
        stray text
        <pair main="/m2" mirror="/r2"/>
      </folderList>
      <exclude><fileList><file path="/M1/./Secret.key"/></fileList>
        <fileType type="exe;;*.BAT; .bak"/><fileAttr attr="hidden;SYSTEM"/></exclude>
    </task>
    <task name="B" policy="Gone" enableLog="true" id="">
      <versions enabled="true" folder="/kept" keepDays="-3" keepVersions="x"/>
    </task>
    <task name="C" id="id-a"/>
    <task name="D"/>
  </taskList>
  <normalSetting showDetail="1" showWizard="true" configVersion="0.9"/>
</config>
)");
    XMLConfig config(folder(), defaultFile());
    const auto model = loadModel(config);
    CopyPolicy* fallback = model->policies.defaultPolicy();
    ASSERT_EQ(model->policies.policyList().size(), 2u);
    ASSERT_EQ(model->tasks.taskList().size(), 4u);

    const Task& a = model->task(0);
    EXPECT_EQ(a.getPolicy(), model->policies.findPolicy("Exact"));
    EXPECT_FALSE(a.enableLog) << "only the exact text true is true";
    EXPECT_EQ(a.id, "id-a");
    ASSERT_EQ(a.folderList.count(), 2u);
    EXPECT_EQ(a.folderList.items()[0].main, "/m1");
    EXPECT_EQ(a.folderList.items()[0].mirror, "/r1");
    EXPECT_EQ(a.folderList.items()[1].mirror, "/r2");
    EXPECT_EQ(a.exclude.fileList(), std::set<std::string>{"/m1/secret.key"});
    EXPECT_EQ(a.exclude.getFileTypes(), "bak;bat;exe;");
    EXPECT_EQ(a.exclude.getFileAttrs(), "SYSTEM;");
    EXPECT_FALSE(a.schedule.intervalEnabled);
    EXPECT_EQ(a.schedule.interval(), "5");
    EXPECT_TRUE(a.schedule.simulate);
    EXPECT_EQ(a.versions, VersionSettings()) << "a file from before versions keeps none";

    // Tasks naming no policy of the file run without deletion, each told once,
    // never under the default policy, which deletes.
    for (std::size_t i = 1; i < 4; ++i) {
        SCOPED_TRACE(model->task(i).name);
        EXPECT_TRUE(model->task(i).hasMissingPolicy());
        EXPECT_NE(model->task(i).getPolicy(), fallback);
        EXPECT_FALSE(model->task(i).getPolicy()->isDeleteMirrorOnly());
    }
    EXPECT_EQ(model->task(1).getPolicyName(), "Gone") << "unknown policy name";
    EXPECT_EQ(model->task(2).getPolicyName(), "") << "no policy attribute";
    EXPECT_TRUE(model->task(1).versions.enabled);
    EXPECT_EQ(model->task(1).versions.folder, "/kept");
    EXPECT_EQ(model->task(1).versions.keepDays, 0) << "a bad limit reads as off";
    EXPECT_EQ(model->task(1).versions.keepVersions, 0);
    EXPECT_TRUE(model->task(1).enableLog);
    ASSERT_EQ(config.notices().size(), 3u);
    EXPECT_EQ(config.notices()[0].find("task \"B\": no copy policy is named \"Gone\""), 0u)
        << config.notices()[0];
    // Empty, taken and missing identifiers keep fresh ones: all differ.
    std::set<std::string> ids;
    for (const auto& task : model->tasks.taskList()) {
        EXPECT_FALSE(task->id.empty());
        ids.insert(task->id);
    }
    EXPECT_EQ(ids.size(), 4u);

    EXPECT_FALSE(model->setting.showDetail);
    EXPECT_TRUE(model->setting.showWizard);
    EXPECT_EQ(model->setting.configVersion, "0.9");

    // A task still being made in a dialog has no policy yet.
    model->tasks.addTask();
    ASSERT_TRUE(config.saveAll(model->tasks, model->setting).ok());
    const auto document = parseFile(configFile());
    const pugi::xml_node root = document->child("config");
    const pugi::xml_node taskA = root.child("taskList").first_child();
    EXPECT_STREQ(taskA.attribute("enableLog").value(), "false");
    EXPECT_STREQ(taskA.child("exclude").child("fileType").attribute("type").value(),
                 "bak;bat;exe;");
    EXPECT_STREQ(taskA.child("folderList").first_child().attribute("main").value(), "/m1");
    EXPECT_STREQ(taskA.child("folderList").last_child().name(), "folder");
    const pugi::xml_node schedule = taskA.child("schedule");
    EXPECT_STREQ(schedule.child("interval").attribute("value").value(), "5");
    EXPECT_STREQ(schedule.child("fixup").attribute("enabled").value(), "false");
    EXPECT_STREQ(schedule.child("fixup").attribute("value").value(), a.schedule.fixup().c_str());
    EXPECT_STREQ(schedule.child("simulate").attribute("value").value(), "true");
    EXPECT_STREQ(taskA.next_sibling().attribute("policy").value(), "Gone");
    EXPECT_STREQ(root.child("taskList").last_child().attribute("policy").value(),
                 "< default copy policy >");
    EXPECT_STREQ(root.child("normalSetting").attribute("configVersion").value(), "1.0");
}

// A task whose policy is missing keeps the stored name through every save,
// so that no later start resolves it to a deleting policy behind the user's
// back, until a policy is picked for it.
TEST_F(XMLConfigTest, MissingPolicyNameSurvivesSavesUntilAPolicyIsPicked) {
    writeConfig(
        "<config><policyList><policy name=\"&lt; default copy policy &gt;\" value=\"17830161\"/>"
        "<policy name=\"Keep\" value=\"0x1\"/></policyList><taskList>"
        "<task name=\"line&#10;FORGED\" policy=\"Gone\"/></taskList></config>");
    for (int start = 0; start < 2; ++start) {
        SCOPED_TRACE(start);
        XMLConfig config(folder(), defaultFile());
        const auto model = loadModel(config);
        ASSERT_TRUE(model->task(0).hasMissingPolicy());
        EXPECT_EQ(model->task(0).getPolicyName(), "Gone");
        ASSERT_EQ(config.notices().size(), 1u);
        EXPECT_EQ(config.notices()[0].find('\n'), std::string::npos) << "one line per notice";
        ASSERT_TRUE(config.saveAll(model->tasks, model->setting).ok());
    }

    XMLConfig config(folder(), defaultFile());
    const auto model = loadModel(config);
    Task& task = *model->tasks.taskList()[0];
    model->policies.assignPolicy(task, "Keep");  // picked in a dialog
    ASSERT_TRUE(config.saveAll(model->tasks, model->setting).ok());
    XMLConfig again(folder(), defaultFile());
    const auto reread = loadModel(again);
    EXPECT_TRUE(again.notices().empty());
    EXPECT_EQ(reread->task(0).getPolicy(), reread->policies.findPolicy("Keep"));
}

TEST_F(XMLConfigTest, GeneralSettingsRoundTripAndOutOfRangeValuesReadAsDefaults) {
    writeConfig(R"(<config><normalSetting maxDeletePercent="101" maxDeleteMinimum="-1"
        overdueDays="x" startWithSession="true" runMissedDefault="true"/></config>)");
    XMLConfig config(folder(), defaultFile());
    auto model = loadModel(config);
    const NormalSetting defaults;
    EXPECT_EQ(model->setting.maxDeletePercent, defaults.maxDeletePercent);
    EXPECT_EQ(model->setting.maxDeleteMinimum, defaults.maxDeleteMinimum);
    EXPECT_EQ(model->setting.overdueDays, defaults.overdueDays);
    EXPECT_TRUE(model->setting.startWithSession);
    EXPECT_TRUE(model->setting.runMissedDefault);

    model->setting.maxDeletePercent = 100;
    model->setting.maxDeleteMinimum = 0;
    model->setting.overdueDays = 0;
    ASSERT_TRUE(config.saveAll(model->tasks, model->setting).ok());
    XMLConfig again(folder(), defaultFile());
    const auto reread = loadModel(again);
    EXPECT_EQ(reread->setting.maxDeletePercent, 100);
    EXPECT_EQ(reread->setting.maxDeleteMinimum, 0);
    EXPECT_EQ(reread->setting.overdueDays, 0);
}

TEST_F(XMLConfigTest, ReadsEveryEncodingTheParserKnows) {
    const std::string body = "<config><taskList><task name=\"Caf\xc3\xa9\"/></taskList></config>";
    const struct {
        const char* name;
        std::string bytes;
    } rows[] = {
        {"UTF-8", body},
        {"UTF-8 with byte-order mark", "\xef\xbb\xbf" + body},
        {"ISO-8859-1",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"
         "<config><taskList><task name=\"Caf\xe9\"/></taskList></config>"},
        {"UTF-16 LE", "\xff\xfe" + utf16(body, false)},
        {"UTF-16 BE", "\xfe\xff" + utf16(body, true)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        writeConfig(row.bytes);
        XMLConfig config(folder(), defaultFile());
        const auto model = loadModel(config);
        ASSERT_EQ(model->tasks.taskList().size(), 1u);
        EXPECT_EQ(model->task(0).name, "Caf\xc3\xa9");
    }
}

TEST_F(XMLConfigTest, PathsWithAnyBytesSurviveSaveAndLoad) {
    Model original;
    original.policies.addPolicy().name = std::string(DefaultPolicyName);
    Task& task = original.tasks.addTask();
    task.setPolicy(original.policies.defaultPolicy());
    task.name = "ctrl\x01name\xff";
    task.logFile = "/logs/new\nline\tand\rreturn.log";
    TaskFolderItem& item = task.folderList.addItem();
    item.main = "/data/caf\xe9/\xc0\xaf/\xed\xa0\x80";              // Latin-1, overlong, surrogate
    item.mirror = "/backup/\xef\x9c\x81real-private-use/\xe6\x97";  // and a cut-off sequence
    task.include.addFile(
        "/home/u/donn\xc3\xa9"
        "es/&<>\"'.txt");
    task.exclude.addFile("/data/caf\xe9/tmp");
    saveModel(original);

    // Valid non-ASCII text stays readable in the file.
    EXPECT_NE(readFile(configFile())
                  .find(utf16("donn\xc3\xa9"
                              "es",
                              false)),
              std::string::npos);

    XMLConfig config(folder(), defaultFile());
    const auto model = loadModel(config);
    const Task& read = model->task(0);
    EXPECT_EQ(read.name, task.name);
    EXPECT_EQ(read.logFile, task.logFile);
    EXPECT_EQ(read.folderList.items()[0].main, item.main);
    EXPECT_EQ(read.folderList.items()[0].mirror, item.mirror);
    EXPECT_EQ(read.include.fileList(), task.include.fileList());
    EXPECT_EQ(read.exclude.fileList(), task.exclude.fileList());
}

TEST_F(XMLConfigTest, FailedSaveLeavesTheOldFileAndNoTemporaryFile) {
    Model original;
    fillModel(original);
    saveModel(original);
    const std::string before = readFile(configFile());
    // The unprivileged child must reach and read the file.
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(configFile().c_str(), 0644), 0);

    const struct {
        const char* name;
        mode_t folderMode;
        rlim_t fileSizeLimit;
        int error;
    } rows[] = {
        {"read-only folder", 0555, RLIM_INFINITY, EACCES},
        {"disk full in the middle of the write", 0777, 64, EFBIG},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_EQ(::chmod(folder().c_str(), row.folderMode), 0);
        const int outcome = testsupport::runUnprivileged([&]() {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{row.fileSizeLimit, row.fileSizeLimit};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                return 10;
            }
            try {
                XMLConfig config(folder(), defaultFile());
                const auto model = loadModel(config);
                model->tasks.addTask().setPolicy(model->policies.defaultPolicy());
                const XMLConfig::SaveResult result = config.saveAll(model->tasks, model->setting);
                if (result.ok()) {
                    return 11;
                }
                return result.error == row.error ? 0 : 12;
            } catch (...) {
                return 13;
            }
        });
        EXPECT_EQ(outcome, 0);
        EXPECT_EQ(readFile(configFile()), before);
        EXPECT_EQ(listFolder(folder()), std::set<std::string>{"config.xml"});
    }
}

TEST_F(XMLConfigTest, ReadOnlyModeNeverSeedsNorWrites) {
    writeFile(defaultFile(), readFile(TF_SHIPPED_DEFAULT_XML));
    XMLConfig missing(XMLConfig::ReadOnlyFile{dir / "config.xml"});
    EXPECT_THROW(missing.load(), EFileNotFound);
    EXPECT_FALSE(testsupport::pathExists(dir / "config.xml"));

    Model original;
    fillModel(original);
    saveModel(original);
    const std::string before = readFile(configFile());
    XMLConfig config(XMLConfig::ReadOnlyFile{configFile()});
    const auto model = loadModel(config);
    EXPECT_EQ(model->tasks.taskList().size(), 2u);
    const XMLConfig::SaveResult result = config.saveAll(model->tasks, model->setting);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(readFile(configFile()), before);

    // Nor does a configuration that was never loaded write over a file.
    XMLConfig unloaded(folder(), defaultFile());
    model->tasks.addTask().setPolicy(model->policies.defaultPolicy());
    EXPECT_FALSE(unloaded.saveAll(model->tasks, model->setting).ok());
    EXPECT_EQ(readFile(configFile()), before);
}

TEST_F(XMLConfigTest, SavingThroughALinkReplacesItsTargetAndKeepsTheLink) {
    testsupport::makeTree(
        dir.path(), "dotfiles/twinfold.xml=<config/>\ncfg/config.xml->../dotfiles/twinfold.xml\n");
    Model original;
    fillModel(original);
    XMLConfig config(folder(), defaultFile());
    config.load();
    ASSERT_TRUE(config.saveAll(original.tasks, original.setting).ok());

    struct stat st {};
    ASSERT_EQ(::lstat(configFile().c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(listFolder(dir / "dotfiles"), std::set<std::string>{"twinfold.xml"});
    XMLConfig again(folder(), defaultFile());
    EXPECT_EQ(loadModel(again)->tasks.taskList().size(), 2u);
}

}  // namespace
