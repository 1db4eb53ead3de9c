#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

class QWidget;

namespace dialogs {

// The extensions (without their dot, letter case kept) of the files beneath
// `roots`; folders' names are not looked at, and links to folders are not
// followed. A root that cannot be read adds nothing. Stops early, with what
// it has, once `cancelled` is set.
std::set<std::string> scanFileTypes(const std::vector<std::string>& roots,
                                    const std::atomic<bool>& cancelled);

// Runs scanFileTypes on a helper thread while a modal wait with a Cancel
// button shows over `parent`, so the program's windows, tray and schedules
// go on meanwhile. None when the user cancelled.
std::optional<std::set<std::string>> scanFileTypesWaiting(QWidget* parent,
                                                          const std::vector<std::string>& roots);

// Test seam: called on the helper thread before the scan starts; none to
// clear it.
void setTypeScanStartHook(std::function<void()> hook);

}  // namespace dialogs
