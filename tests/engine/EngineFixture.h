#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/FileItemList.h"
#include "engine/FolderComparer.h"
#include "model/CopyPolicy.h"
#include "model/Task.h"
#include "support/TempTree.h"

// A task over one pair of fresh folders, with its own policy, and helpers to
// plan it and read the plan as "[Operation]relative-path" lines.
class EngineFixture : public ::testing::Test {
protected:
    EngineFixture() {
        testsupport::makeDirs(mainDir());
        testsupport::makeDirs(mirrorDir());
        task.name = "T";
        task.setPolicy(&policy);
        TaskFolderItem& pair = task.folderList.addItem();
        pair.main = mainDir();
        pair.mirror = mirrorDir();
    }

    std::string mainDir() const { return dir / "main"; }
    std::string mirrorDir() const { return dir / "mirror"; }
    std::string mainPath(const std::string& rel) const { return mainDir() + "/" + rel; }
    std::string mirrorPath(const std::string& rel) const { return mirrorDir() + "/" + rel; }

    std::unique_ptr<FileItemList> plan() {
        auto list = std::make_unique<FileItemList>(&task);
        FolderComparer comparer(list.get());
        comparer.setLockWait(100);
        comparer.compareAll();
        return list;
    }

    // The plan as lines of the operation name and the shown path, relative
    // to the test folder.
    std::vector<std::string> planLines() { return linesOf(*plan()); }

    std::vector<std::string> linesOf(const FileItemList& list) const {
        std::vector<std::string> lines;
        for (const FileItem& item : list) {
            std::string path = item.logPath();
            if (path.starts_with(dir.path() + "/")) {
                path = path.substr(dir.path().size() + 1);
            }
            lines.push_back(std::string(item.operationName()) + path);
        }
        return lines;
    }

    testsupport::TempDir dir;
    CopyPolicy policy;
    Task task;
};
